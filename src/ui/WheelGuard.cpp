#include "WheelGuard.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QScrollBar>

namespace {
// Qt hands focus to a menu or spin box on the first wheel turn over it,
// before any filter sees the turn, and so would let that turn change it.
void takeNoFocusFromTheWheel(QWidget* widget)
{
    if (widget->focusPolicy() == Qt::WheelFocus)
        widget->setFocusPolicy(Qt::StrongFocus);
}

class WheelGuardFilter : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::Wheel && type != QEvent::Polish)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || !WheelGuard::guards(widget))
            return false;
        if (type == QEvent::Polish) {
            takeNoFocusFromTheWheel(widget);
            return false;
        }
        if (widget->hasFocus())
            return false;
        // Ignored and filtered: Qt offers the turn to the parents, up to the
        // scroll area under the pointer.
        event->ignore();
        return true;
    }
};
}

namespace WheelGuard {

void install()
{
    static bool installed = false;
    if (installed || !qApp)
        return;
    installed = true;
    for (QWidget* widget : QApplication::allWidgets())
        if (guards(widget))
            takeNoFocusFromTheWheel(widget);
    qApp->installEventFilter(new WheelGuardFilter(qApp));
}

bool guards(const QWidget* widget)
{
    if (qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget))
        return true;
    // Scroll bars are what the wheel is for.
    return qobject_cast<const QAbstractSlider*>(widget) && !qobject_cast<const QScrollBar*>(widget);
}

}
