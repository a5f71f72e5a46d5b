#pragma once

#include "app/TopBarView.h"

class QDialog;
class QWidget;

// The sheets of the top bar, window-modal over `parent`. The settings sheet
// calls `onPackageSettings` when the settings screen asks for the package sheet.
namespace TopBarSheets {
QDialog* make(TopBarView::Sheet sheet, QWidget* parent, std::function<void()> onPackageSettings);
}
