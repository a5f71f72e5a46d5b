#pragma once

#include <QObject>

class CalendarBatchSelection;

// Ctrl+A (with any further modifiers, on the A key whatever the layout) in
// batch mode picks the whole displayed month, or clears it when all of it is
// picked, while the calendar's own window has the keyboard: no sheet, dialog
// or menu is up and no text field has the focus (there Ctrl+A selects the
// text, as everywhere else). Installed on the application only while the
// calendar is on screen; its parent is the calendar it serves.
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
    bool calendarHasKeyboard() const;

    CalendarBatchSelection& m_selection;
    bool m_active = false;
};
