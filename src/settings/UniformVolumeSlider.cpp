#include "UniformVolumeSlider.h"

#include "ui/ThemeObserver.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

UniformVolumeSlider::UniformVolumeSlider(Look look, QWidget* parent)
    : QWidget(parent)
    , m_look(std::move(look))
{
    setObjectName(QStringLiteral("volumeSlider"));
    setFixedHeight(int(m_look.thumbSize));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, qOverload<>(&QWidget::update));
}

void UniformVolumeSlider::setValue(double value)
{
    if (value == m_value)
        return;
    m_value = value;
    update();
}

std::optional<double> UniformVolumeSlider::valueAt(qreal x, qreal width, double lower, double upper)
{
    if (!(width > 0) || !(upper > lower))
        return std::nullopt;
    return std::clamp(lower + x / width * (upper - lower), lower, upper);
}

QRectF UniformVolumeSlider::trackRect() const
{
    // Half a thumb is kept free at each end, so the thumb shows whole, and
    // can be grabbed, at both ends of the range.
    const qreal half = m_look.thumbSize / 2;
    return QRectF(half, 0, std::max(0.0, width() - m_look.thumbSize), height());
}

QRectF UniformVolumeSlider::thumbRect() const
{
    const double span = m_look.upper - m_look.lower;
    const double fraction = span > 0 ? std::clamp((m_value - m_look.lower) / span, 0.0, 1.0) : 0.0;
    const QRectF track = trackRect();
    const qreal centre = track.left() + fraction * track.width();
    return QRectF(centre - m_look.thumbSize / 2, 0, m_look.thumbSize, m_look.thumbSize);
}

QSize UniformVolumeSlider::sizeHint() const { return QSize(200 + int(m_look.thumbSize), int(m_look.thumbSize)); }

void UniformVolumeSlider::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_look.tickCount > 0) {
        const QRectF track = trackRect();
        const qreal share = track.width() / m_look.tickCount;
        const QColor tick = m_look.tickColor ? m_look.tickColor() : QColor(Qt::gray);
        const qreal top = (height() - m_look.tickHeight) / 2;
        for (int i = 0; i < m_look.tickCount; ++i) {
            const qreal centre = track.left() + share * (i + 0.5);
            p.fillRect(QRectF(centre - m_look.tickWidth / 2, top, m_look.tickWidth, m_look.tickHeight), tick);
        }
    }
    const QRectF thumb = thumbRect();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 38));
    p.drawEllipse(thumb.translated(0, 1).adjusted(-1, -1, 1, 1));
    p.setBrush(m_look.thumbColor ? m_look.thumbColor() : QColor(Qt::white));
    p.drawEllipse(thumb);
}

void UniformVolumeSlider::mousePressEvent(QMouseEvent* event)
{
    QPainterPath thumb;
    thumb.addEllipse(thumbRect());
    m_dragging = event->button() == Qt::LeftButton && thumb.contains(event->position());
    if (m_dragging)
        mouseMoveEvent(event);
}

void UniformVolumeSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return;
    const QRectF track = trackRect();
    if (const auto v = valueAt(event->position().x() - track.left(), track.width(), m_look.lower, m_look.upper))
        Q_EMIT valueDragged(*v);
}

void UniformVolumeSlider::mouseReleaseEvent(QMouseEvent*) { m_dragging = false; }
