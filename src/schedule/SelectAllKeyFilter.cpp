#include "SelectAllKeyFilter.h"

#include "schedule/CalendarBatchSelection.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

// The A key's scan code under X11 and Wayland (evdev 30 + 8), so a layout
// that puts another letter there still counts, as the physical key does.
constexpr quint32 aKeyScanCode = 38;

bool isSelectAllKey(const QKeyEvent* key)
{
    if (!(key->modifiers() & Qt::ControlModifier))
        return false;
    return key->key() == Qt::Key_A || key->nativeScanCode() == aKeyScanCode;
}

bool takesText(const QWidget* widget)
{
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget)
        || qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget)
        || widget->testAttribute(Qt::WA_InputMethodEnabled);
}

}

SelectAllKeyFilter::SelectAllKeyFilter(CalendarBatchSelection& selection, QObject* parent)
    : QObject(parent)
    , m_selection(selection)
{
}

void SelectAllKeyFilter::setActive(bool active)
{
    if (active == m_active || !QCoreApplication::instance())
        return;
    m_active = active;
    if (active)
        QCoreApplication::instance()->installEventFilter(this);
    else
        QCoreApplication::instance()->removeEventFilter(this);
}

bool SelectAllKeyFilter::calendarHasKeyboard() const
{
    const auto* calendar = qobject_cast<const QWidget*>(parent());
    if (!calendar || !calendar->isVisible() || QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return false;
    const QWidget* window = calendar->window();
    if (QApplication::activeWindow() && QApplication::activeWindow() != window)
        return false;
    const QWidget* focus = QApplication::focusWidget();
    return !focus || (focus->window() == window && !takesText(focus));
}

bool SelectAllKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) && m_selection.isBatchMode()
        && isSelectAllKey(static_cast<QKeyEvent*>(event)) && calendarHasKeyboard()) {
        // The override is claimed so no shortcut fires; the press does the work
        // where it is first seen (the window), so it acts once and never
        // reaches the focused widget.
        if (type == QEvent::KeyPress && !static_cast<QKeyEvent*>(event)->isAutoRepeat())
            m_selection.selectAllKeyPressed();
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
