#pragma once

#include <QObject>

class CalendarBatchSelection;

// Ctrl+A (with any further modifiers, on the A key whatever the layout) in
// batch mode picks the whole displayed month, or clears it when all of it is
// picked, before a focused text field can select its text. Installed on the
// application only while the calendar is on screen.
class SelectAllKeyFilter : public QObject
{
    Q_OBJECT
public:
    explicit SelectAllKeyFilter(CalendarBatchSelection& selection, QObject* parent = nullptr);
    void setActive(bool active);
    bool isActive() const { return m_active; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CalendarBatchSelection& m_selection;
    bool m_active = false;
};
