#pragma once

#include "ui/ThemedPanel.h"

#include <functional>

// Stands in for a screen that is not built yet, clearly marked as such, so
// navigation to it works end to end. `onBack`, when given, adds a back button.
class PendingScreenView : public ThemedPanel
{
    Q_OBJECT
public:
    PendingScreenView(const QString& screenTitle, const QString& screenClass, QWidget* parent = nullptr,
                      std::function<void()> onBack = {});

    QString screenTitle() const { return m_title; }
    QString screenClass() const { return m_class; }

private:
    QString m_title;
    QString m_class;
};
