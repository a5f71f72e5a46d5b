#include "ScheduleSwipeFilter.h"

#include "schedule/ScheduleSwipe.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <cmath>

ScheduleSwipeFilter::ScheduleSwipeFilter(QWidget* screen, Handler handler)
    : QObject(screen)
    , m_screen(screen)
    , m_handler(std::move(handler))
{
    m_clock.start();
    qApp->installEventFilter(this);
}

ScheduleSwipeFilter::~ScheduleSwipeFilter()
{
    qApp->removeEventFilter(this);
}

namespace {
bool ownsHorizontalDrag(QWidget* w)
{
    for (; w; w = w->parentWidget()) {
        if (w->property("handlesHorizontalDrag").toBool())
            return true;
    }
    return false;
}
}

bool ScheduleSwipeFilter::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // Each event reaches the filter once per widget it passes; the window
    // sees it first, so only widgets of the screen count.
    if (!widget || !m_screen || !widget->isWidgetType() || !(widget == m_screen || m_screen->isAncestorOf(widget)))
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPointF at = mouse->globalPosition();
    const qint64 now = m_clock.elapsed();
    if (type == QEvent::MouseButtonPress) {
        // A press a child ignored reaches its parents too: the child decides.
        if (now == m_pressMs && at == m_start)
            return false;
        m_pressMs = now;
        m_tracking = mouse->button() == Qt::LeftButton && !ownsHorizontalDrag(widget);
        m_start = at;
        m_samples = {{now, at.x()}};
        return false;
    }
    if (!m_tracking)
        return false;
    if (!m_samples.isEmpty() && m_samples.last().ms == now && m_samples.last().x == at.x())
        return false; // the same event seen on a parent
    m_samples.append({now, at.x()});
    while (m_samples.size() > 2 && now - m_samples.first().ms > 100)
        m_samples.removeFirst();
    if (type != QEvent::MouseButtonRelease)
        return false;
    m_tracking = false;
    const QPointF translation = at - m_start;
    if (std::hypot(translation.x(), translation.y()) < ScheduleSwipe::kMinimumDistance)
        return false;
    const Sample& first = m_samples.first();
    const double seconds = std::max<qint64>(1, now - first.ms) / 1000.0;
    if (m_handler)
        m_handler(translation, (at.x() - first.x) / seconds);
    return false;
}
