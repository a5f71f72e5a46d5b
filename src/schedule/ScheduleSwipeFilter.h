#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>

#include <functional>

class QWidget;

// Watches mouse drags anywhere inside `screen` without taking them from the
// widgets under the pointer, and reports each finished drag's translation and
// its speed over the last 100 ms. A drag that starts on a widget (or inside
// one) with the property "handlesHorizontalDrag" set belongs to it.
class ScheduleSwipeFilter : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(QPointF translation, double velocityX)>;
    ScheduleSwipeFilter(QWidget* screen, Handler handler);
    ~ScheduleSwipeFilter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Sample {
        qint64 ms;
        double x;
    };
    QPointer<QWidget> m_screen;
    Handler m_handler;
    bool m_tracking = false;
    QPointF m_start;
    qint64 m_pressMs = -1;
    QList<Sample> m_samples;
    QElapsedTimer m_clock;
};
