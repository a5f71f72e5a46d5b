#include "FeedbackMessageRow.h"

#include "online/PlateLook.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {
QColor accent() { return QColor::fromRgbF(0.804f, 0.357f, 0.169f); }
QColor darkSurface() { return QColor::fromRgbF(0.15f, 0.15f, 0.15f); }
}

// The text drawn as given (no markup, no links), wrapped at word
// boundaries, or anywhere in a word longer than the line.
class FeedbackMessageRow::Bubble : public QWidget
{
public:
    Bubble(const FeedbackMessage& message, QWidget* parent)
        : QWidget(parent)
        , m_isUser(message.isUser)
        , m_notice(message.isNotice())
        , m_padding(m_notice ? QMargins(10, 6, 10, 6) : QMargins(14, 10, 14, 10))
    {
        setObjectName(QStringLiteral("messageBubble"));
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        m_layout.setText(message.text);
        m_layout.setFont(Fonts::system(m_notice ? 10 : 13));
        m_layout.setTextOption(option);
        connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
    }

    QString text() const { return m_layout.text(); }

    QColor fill() const
    {
        const bool dark = AppTheme::isDark();
        if (m_isUser)
            return dark ? accent() : AppTheme::menuSelectedBackground();
        return dark ? darkSurface() : QColor(Qt::white);
    }

    QColor textColor() const
    {
        if (m_notice)
            return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4);
        if (m_isUser || AppTheme::isDark())
            return Qt::white;
        return AppTheme::textPrimary();
    }

    void layOut(int maxWidth)
    {
        const int lineWidth = std::max(1, maxWidth - m_padding.left() - m_padding.right());
        if (lineWidth == m_lineWidth)
            return;
        m_lineWidth = lineWidth;
        qreal height = 0;
        qreal widest = 0;
        m_layout.beginLayout();
        for (QTextLine line = m_layout.createLine(); line.isValid(); line = m_layout.createLine()) {
            line.setLineWidth(lineWidth);
            line.setPosition(QPointF(0, height));
            height += line.height();
            widest = std::max(widest, line.naturalTextWidth());
        }
        m_layout.endLayout();
        setFixedSize(int(std::ceil(widest)) + m_padding.left() + m_padding.right(),
                     int(std::ceil(height)) + m_padding.top() + m_padding.bottom());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath plate;
        plate.addRoundedRect(QRectF(rect()), 10, 10);
        p.fillPath(plate, fill());
        p.setPen(textColor());
        m_layout.draw(&p, QPointF(m_padding.left(), m_padding.top()));
    }

private:
    bool m_isUser;
    bool m_notice;
    QMargins m_padding;
    QTextLayout m_layout;
    int m_lineWidth = -1;
};

FeedbackMessageRow::FeedbackMessageRow(const FeedbackMessage& message, QWidget* parent)
    : QWidget(parent)
    , m_id(message.id)
    , m_bubble(new Bubble(message, this))
{
    setObjectName(message.isUser ? QStringLiteral("userMessage") : QStringLiteral("authorMessage"));
    const Qt::Alignment side = message.isUser ? Qt::AlignRight : Qt::AlignLeft;
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    column->addWidget(m_bubble, 0, side);

    auto* caption = new QHBoxLayout;
    caption->setContentsMargins(4, 0, 4, 0);
    caption->setSpacing(8);
    if (message.isWithdrawable()) {
        auto* withdraw = new PlateButton(
            QStringLiteral("撤回"),
            plateLook(nullptr, [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.5); }, Fonts::system(9), {}),
            this);
        withdraw->setObjectName(QStringLiteral("withdrawButton"));
        connect(withdraw, &QAbstractButton::clicked, this, [this] { Q_EMIT withdrawRequested(m_id); });
        caption->addWidget(withdraw);
    }
    if (!message.time.isEmpty()) {
        auto* time = new ThemedLabel(message.time, Fonts::system(9),
                                     [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); }, this);
        time->setObjectName(QStringLiteral("messageTime"));
        caption->addWidget(time);
    }
    // An empty caption still keeps its line.
    caption->addStrut(QFontMetrics(Fonts::system(9)).height());
    column->addLayout(caption);
    column->setAlignment(caption, side);
}

QString FeedbackMessageRow::text() const { return m_bubble->text(); }
QColor FeedbackMessageRow::bubbleFill() const { return m_bubble->fill(); }
QColor FeedbackMessageRow::bubbleText() const { return m_bubble->textColor(); }

void FeedbackMessageRow::setAvailableWidth(int width) { m_bubble->layOut(width); }
