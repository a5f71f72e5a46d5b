#include "FeedbackMessageRow.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kCaptionInset = 4;
constexpr int kCaptionSpacing = 8;
constexpr int kBubbleToCaption = 4;

const QFont& captionFont()
{
    static const QFont font = Fonts::system(9);
    return font;
}

QString withdrawText() { return QStringLiteral("撤回"); }
}

FeedbackMessageRow::FeedbackMessageRow(const FeedbackMessage& message, QWidget* parent)
    : QWidget(parent)
    , m_id(message.id)
    , m_isUser(message.isUser)
    , m_notice(message.isNotice())
    , m_withdrawable(message.isWithdrawable())
    , m_time(message.time)
    , m_padding(m_notice ? QMargins(10, 6, 10, 6) : QMargins(14, 10, 14, 10))
{
    setObjectName(m_isUser ? QStringLiteral("userMessage") : QStringLiteral("authorMessage"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(m_withdrawable);
    // Drawn as given: no markup, no links; a word longer than the line breaks anywhere.
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_text.setText(message.text);
    m_text.setFont(Fonts::system(m_notice ? 10 : 13));
    m_text.setTextOption(option);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

QColor FeedbackMessageRow::bubbleFill() const
{
    const bool dark = AppTheme::isDark();
    if (m_isUser)
        return dark ? QColor::fromRgbF(0.804f, 0.357f, 0.169f) : AppTheme::menuSelectedBackground();
    return dark ? QColor::fromRgbF(0.15f, 0.15f, 0.15f) : QColor(Qt::white);
}

QColor FeedbackMessageRow::bubbleText() const
{
    if (m_notice)
        return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4);
    if (m_isUser || AppTheme::isDark())
        return Qt::white;
    return AppTheme::textPrimary();
}

QRect FeedbackMessageRow::bubbleRect() const
{
    return {m_isUser ? width() - m_bubble.width() : 0, 0, m_bubble.width(), m_bubble.height()};
}

// The caption's items sit together on the bubble's side: "撤回" first, then the time.
QRect FeedbackMessageRow::captionRect(int x, const QString& text) const
{
    const QFontMetrics fm(captionFont());
    return {x, m_bubble.height() + kBubbleToCaption, fm.horizontalAdvance(text), fm.height()};
}

QRect FeedbackMessageRow::withdrawRect() const
{
    if (!m_withdrawable)
        return {};
    const QFontMetrics fm(captionFont());
    int captionWidth = fm.horizontalAdvance(withdrawText());
    if (!m_time.isEmpty())
        captionWidth += kCaptionSpacing + fm.horizontalAdvance(m_time);
    const int x = m_isUser ? width() - kCaptionInset - captionWidth : kCaptionInset;
    return captionRect(x, withdrawText());
}

void FeedbackMessageRow::setAvailableWidth(int width)
{
    const int lineWidth = std::max(1, width - m_padding.left() - m_padding.right());
    if (lineWidth == m_lineWidth)
        return;
    m_lineWidth = lineWidth;
    qreal height = 0;
    qreal widest = 0;
    m_text.beginLayout();
    for (QTextLine line = m_text.createLine(); line.isValid(); line = m_text.createLine()) {
        line.setLineWidth(lineWidth);
        line.setPosition(QPointF(0, height));
        height += line.height();
        widest = std::max(widest, line.naturalTextWidth());
    }
    m_text.endLayout();
    m_bubble = QSize(int(std::ceil(widest)) + m_padding.left() + m_padding.right(),
                     int(std::ceil(height)) + m_padding.top() + m_padding.bottom());
    // An empty caption still keeps its line.
    setFixedHeight(m_bubble.height() + kBubbleToCaption + QFontMetrics(captionFont()).height());
    update();
}

void FeedbackMessageRow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect bubble = bubbleRect();
    QPainterPath plate;
    plate.addRoundedRect(QRectF(bubble), 10, 10);
    p.fillPath(plate, bubbleFill());
    p.setPen(bubbleText());
    m_text.draw(&p, bubble.topLeft() + QPoint(m_padding.left(), m_padding.top()));

    p.setFont(captionFont());
    const QRect withdraw = withdrawRect();
    int x = withdraw.isValid() ? withdraw.right() + 1 + kCaptionSpacing : 0;
    if (withdraw.isValid()) {
        p.setPen(AppTheme::withOpacity(AppTheme::textPrimary(), 0.5));
        p.drawText(withdraw, Qt::AlignLeft | Qt::AlignVCenter, withdrawText());
    }
    if (!m_time.isEmpty()) {
        if (!withdraw.isValid())
            x = m_isUser ? width() - kCaptionInset - QFontMetrics(captionFont()).horizontalAdvance(m_time) : kCaptionInset;
        p.setPen(AppTheme::withOpacity(AppTheme::textPrimary(), 0.4));
        p.drawText(captionRect(x, m_time), Qt::AlignLeft | Qt::AlignVCenter, m_time);
    }
}

void FeedbackMessageRow::mouseMoveEvent(QMouseEvent* event)
{
    setCursor(withdrawRect().contains(event->position().toPoint()) ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void FeedbackMessageRow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && withdrawRect().contains(event->position().toPoint()))
        Q_EMIT withdrawRequested(m_id);
}
