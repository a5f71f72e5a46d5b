#include "Toast.h"

#include "ui/AppTheme.h"
#include "ui/Fader.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QPainter>

// The plate's shadow, drawing the plate and itself at the fade's opacity: a
// widget takes only one effect.
class FadingShadow : public QGraphicsDropShadowEffect
{
public:
    using QGraphicsDropShadowEffect::QGraphicsDropShadowEffect;

    void setOpacity(qreal opacity)
    {
        m_opacity = opacity;
        update();
    }

protected:
    void draw(QPainter* painter) override
    {
        const qreal was = painter->opacity();
        painter->setOpacity(was * m_opacity);
        QGraphicsDropShadowEffect::draw(painter);
        painter->setOpacity(was);
    }

private:
    qreal m_opacity = 1;
};

Toast::Toast(QWidget* parent)
    : QWidget(parent)
    , m_icon(new ThemedLabel(Symbols::glyph(QStringLiteral("checkmark.circle.fill")), Symbols::font(16),
                             SystemColors::green, this))
    , m_text(new ThemedLabel(QString(), Fonts::system(13, QFont::Medium), AppTheme::textPrimary, this))
{
    setObjectName(QStringLiteral("toast"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_text->setObjectName(QStringLiteral("toastText"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(20, 12, 20, 12);
    row->setSpacing(8);
    row->addWidget(m_icon);
    row->addWidget(m_text);
    m_shadow = new FadingShadow(this);
    m_shadow->setBlurRadius(20);
    m_shadow->setOffset(0, 5);
    m_shadow->setColor(QColor(0, 0, 0, 77));
    setGraphicsEffect(m_shadow);
    m_fader = new Fader(this, Fader::kDefaultMs, false, [this](qreal level) { m_shadow->setOpacity(level); });
    m_shadow->setOpacity(0);
    m_hideTimer.setParent(this);
    m_hideTimer.setSingleShot(true);
    m_hideTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_hideTimer, &QTimer::timeout, m_fader, [this] { m_fader->setShown(false); });
    parent->installEventFilter(this);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void Toast::showMessage(const QString& message, int bottomMargin, int msecs)
{
    m_text->setText(message);
    m_bottomMargin = bottomMargin;
    place();
    m_fader->setShown(true);
    raise();
    m_hideTimer.start(msecs);
}

QString Toast::message() const
{
    return m_text->text();
}

void Toast::place()
{
    adjustSize();
    // A parent taller than its scroll area would put the toast below the
    // fold: it goes at the bottom of the part the user sees.
    const QRect seen = visiblePartOfParent();
    move(seen.x() + (seen.width() - width()) / 2, seen.y() + seen.height() - height() - m_bottomMargin);
    // Scrolling moves an ancestor, not the parent: each one is watched.
    for (QWidget* w = parentWidget(); w && !w->isWindow(); w = w->parentWidget())
        w->installEventFilter(this);
}

QRect Toast::visiblePartOfParent() const
{
    QWidget* p = parentWidget();
    QRect seen = p->rect();
    QPoint origin; // of the current ancestor, in the parent's coordinates
    for (QWidget* w = p; !w->isWindow() && w->parentWidget(); w = w->parentWidget()) {
        origin -= w->pos();
        seen &= QRect(origin, w->parentWidget()->size());
    }
    return seen.isEmpty() ? p->rect() : seen;
}

bool Toast::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::Resize || type == QEvent::Move) && isVisible() && watched->isWidgetType()
        && static_cast<QWidget*>(watched)->isAncestorOf(this))
        place();
    return QWidget::eventFilter(watched, event);
}

void Toast::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(AppTheme::searchBackground());
    p.drawRoundedRect(rect(), 10, 10);
}
