#include "RevealBox.h"

#include "ui/Fader.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>

#include <cmath>

RevealBox::RevealBox(QWidget* content, int msecs, bool shown, QWidget* parent)
    : QWidget(parent)
    , m_content(content)
    , m_effect(new QGraphicsOpacityEffect(this))
{
    setObjectName(content->objectName() + QStringLiteral("Box"));
    setSizePolicy(content->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    content->setParent(this);
    content->show();
    setGraphicsEffect(m_effect);
    m_effect->setEnabled(false);
    m_fader = new Fader(this, msecs, shown, [this](qreal level) {
        m_effect->setOpacity(level);
        // Drawn straight while fully there: the effect's off-screen pass costs.
        m_effect->setEnabled(level < 1);
        updateGeometry();
        placeContent();
    });
}

void RevealBox::setShown(bool shown, bool animated)
{
    m_fader->setShown(shown, animated);
}

bool RevealBox::isShown() const
{
    return m_fader->isShown();
}

int RevealBox::fullHeight(int width) const
{
    return m_content->hasHeightForWidth() ? boundedHeight(m_content->heightForWidth(width))
                                          : boundedHeight(m_content->sizeHint().height());
}

int RevealBox::boundedHeight(int height) const
{
    return qBound(m_content->minimumHeight(), height, m_content->maximumHeight());
}

int RevealBox::shownHeight(int full) const
{
    return int(std::lround(full * m_fader->level()));
}

QSize RevealBox::sizeHint() const
{
    const QSize hint = m_content->sizeHint();
    return {hint.width(), shownHeight(boundedHeight(hint.height()))};
}

QSize RevealBox::minimumSizeHint() const
{
    const QSize hint = m_content->minimumSizeHint();
    return {hint.width(), shownHeight(boundedHeight(hint.height()))};
}

bool RevealBox::hasHeightForWidth() const
{
    return m_content->hasHeightForWidth();
}

int RevealBox::heightForWidth(int width) const
{
    return shownHeight(fullHeight(width));
}

bool RevealBox::event(QEvent* event)
{
    // The content's size changed: the column has to make room for it.
    if (event->type() == QEvent::LayoutRequest) {
        updateGeometry();
        placeContent();
    }
    return QWidget::event(event);
}

void RevealBox::resizeEvent(QResizeEvent* event)
{
    placeContent();
    QWidget::resizeEvent(event);
}

void RevealBox::placeContent()
{
    // At its own height while the box is still opening or closing; the box clips it.
    const int full = m_fader->isRunning() ? fullHeight(width()) : height();
    m_content->setGeometry(0, 0, width(), qMax(full, height()));
}
