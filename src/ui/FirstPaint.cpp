#include "FirstPaint.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

// Watches every event until the first paint: a paint may reach only the
// children that cover the window, never the window itself.
class PaintWatcher : public QObject
{
public:
    PaintWatcher(QWidget* window, QObject* context, std::function<void()> work)
        : QObject(context)
        , m_window(window)
        , m_work(std::move(work))
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() && m_window
            && static_cast<QWidget*>(watched)->window() == m_window) {
            QCoreApplication::instance()->removeEventFilter(this);
            // The frame is flushed once every widget has painted, before the
            // loop turns.
            QTimer::singleShot(0, parent(), std::move(m_work));
            deleteLater();
        }
        return false;
    }

private:
    QPointer<QWidget> m_window;
    std::function<void()> m_work;
};

}

namespace FirstPaint {

void after(QWidget* widget, QObject* context, std::function<void()> work)
{
    new PaintWatcher(widget->window(), context, std::move(work));
}

}
