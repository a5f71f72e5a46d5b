#pragma once

#include "platform/PreferenceKey.h"

#include <QString>

#include <functional>

class QWidget;
class ThemedLabel;
class ToggleSwitch;

// Building blocks of the settings page.
namespace SettingsRows {
// A label column (title 14 in gold text, hint 11 dimmed) with a switch at the
// trailing end. `read` gives the state to show; `write` runs on each flip.
// With `compact`, the title is a plain 12 label, as in the backup choices.
QWidget* switchRow(const QString& title, const QString& hint, std::function<bool()> read,
                   std::function<void(bool)> write, QWidget* parent, const QString& objectName, bool compact = false);
// A switch bound to a boolean preference; it follows writes made elsewhere.
QWidget* preferenceSwitch(const PreferenceKey<bool>& key, const QString& title, const QString& hint,
                          QWidget* parent);
// A wrapped plain-text note in the primary text colour at `opacity`.
ThemedLabel* note(const QString& text, qreal size, qreal opacity, QWidget* parent);
}
