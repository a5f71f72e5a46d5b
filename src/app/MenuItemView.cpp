#include "MenuItemView.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/ThemeObserver.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>

namespace {
constexpr int kPadding = 12;
constexpr int kTitleSize = 14;
constexpr int kSubtitleSize = 11;
constexpr int kTitleLines = 2;
// The icon font draws its glyphs smaller within the em than the symbols the
// layout was made with; these sizes give them the same optical size as the
// 14 pt icon and the 10 pt chevron.
constexpr int kIconGlyphSize = 17;
constexpr int kChevronGlyphSize = 15;
const QString kComingSoon = QStringLiteral("敬请期待");

// Lines are set 1.2 em apart: the CJK font's own line gap would make the
// rows much taller than the layout was drawn for.
struct TextBlock {
    QList<QPair<QPointF, QString>> lines; // top-left of each line box, text
    qreal height = 0;
};

TextBlock layoutText(const QString& text, const QFont& font, qreal width, int maxLines)
{
    TextBlock block;
    const qreal lineHeight = qCeil(font.pixelSize() * 1.2);
    // QTextLayout breaks only at a line separator, not at '\n'; a subtitle
    // written on two lines must show on two lines.
    QString laidOut = text;
    laidOut.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(laidOut, font);
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (;;) {
        if (maxLines > 0 && block.lines.size() >= maxLines)
            break;
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        const QString part = laidOut.mid(line.textStart(), line.textLength()).remove(QChar::LineSeparator);
        block.lines.append({QPointF(0, block.lines.size() * lineHeight), part});
    }
    layout.endLayout();
    block.height = block.lines.size() * lineHeight;
    return block;
}

void drawBlock(QPainter& painter, const TextBlock& block, const QPointF& origin, const QFont& font)
{
    painter.setFont(font);
    const qreal lineHeight = qCeil(font.pixelSize() * 1.2);
    // Centre the glyphs' em box in the line box.
    const qreal baseline = (lineHeight - font.pixelSize()) / 2 + font.pixelSize() * 0.88;
    for (const auto& [pos, text] : block.lines)
        painter.drawText(origin + pos + QPointF(0, baseline), text);
}

QColor blackAt(qreal opacity) { return QColor(0, 0, 0, qRound(255 * opacity)); }
QColor whiteAt(qreal opacity) { return QColor(255, 255, 255, qRound(255 * opacity)); }
}

MenuItemView::MenuItemView(const MenuItem& item, QWidget* parent)
    : QAbstractButton(parent)
    , m_item(item)
{
    setText(item.title);
    setObjectName(QStringLiteral("menuRow"));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void MenuItemView::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    m_layoutCache.clear();
    updateGeometry();
    update();
}

void MenuItemView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        // A dimmed row ignores clicks; it should not look clickable either.
        setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
        update();
    }
    QAbstractButton::changeEvent(event);
}

QColor MenuItemView::selectedColor() const { return AppTheme::onGoldText(); }

QColor MenuItemView::iconColor() const
{
    if (m_selected)
        return selectedColor();
    if (isEnabled())
        return AppTheme::menuTextNormal();
    return AppTheme::withOpacity(AppTheme::textPrimary(), 0.25);
}

QColor MenuItemView::backgroundColor() const
{
    return m_selected ? AppTheme::menuSelectedBackground() : AppTheme::cardBackground();
}

QString MenuItemView::markerText() const
{
    if (m_item.isComingSoon)
        return kComingSoon;
    if (m_item.hasSubmenu)
        return Symbols::glyph(m_selected ? QStringLiteral("chevron.down") : QStringLiteral("chevron.right"));
    return {};
}

QFont MenuItemView::titleFont() const
{
    return Fonts::system(kTitleSize, m_selected ? QFont::Bold : QFont::Normal);
}

QFont MenuItemView::markerFont() const
{
    return m_item.isComingSoon ? Fonts::system(8) : Symbols::font(kChevronGlyphSize);
}

QSizeF MenuItemView::markerSize() const
{
    const QString text = markerText();
    if (text.isEmpty())
        return {0, 0};
    const QFontMetricsF fm(markerFont());
    if (m_item.isComingSoon)
        return {fm.horizontalAdvance(text) + 6, fm.height() + 4};
    return {fm.horizontalAdvance(text), fm.height()};
}

MenuItemView::Geometry MenuItemView::layoutFor(int width) const
{
    auto cached = m_layoutCache.constFind(width);
    if (cached == m_layoutCache.cend())
        cached = m_layoutCache.insert(width, computeLayout(width));
    return *cached;
}

MenuItemView::Geometry MenuItemView::computeLayout(int width) const
{
    Geometry g;
    // Every title starts at one x: a coming-soon row's narrower icon block
    // and gap would set its title 6 px left of the others.
    const qreal iconWidth = 24;
    const qreal iconGap = 10;
    const qreal spacing = m_item.isComingSoon ? 6 : 10;
    const QFontMetricsF iconFm(Symbols::font(kIconGlyphSize));
    const QSizeF marker = markerSize();

    qreal textWidth = width - 2 * kPadding - iconWidth - iconGap;
    if (marker.width() > 0)
        textWidth -= spacing + marker.width();
    textWidth = qMax<qreal>(10, textWidth);

    const qreal titleHeight = layoutText(m_item.title, titleFont(), textWidth, kTitleLines).height;
    qreal textHeight = titleHeight;
    qreal subtitleHeight = 0;
    if (m_selected && !m_item.subtitle.isEmpty()) {
        subtitleHeight = layoutText(m_item.subtitle, Fonts::system(kSubtitleSize), textWidth, 0).height;
        textHeight += 2 + subtitleHeight;
    }
    const qreal content = std::max({textHeight, iconFm.height(), marker.height()});
    g.height = qCeil(content + 2 * kPadding);

    const qreal mid = kPadding + content / 2;
    qreal x = kPadding;
    g.icon = QRectF(x, mid - iconFm.height() / 2, iconWidth, iconFm.height());
    x += iconWidth + iconGap;
    g.title = QRectF(x, mid - textHeight / 2, textWidth, titleHeight);
    if (subtitleHeight > 0)
        g.subtitle = QRectF(x, g.title.bottom() + 2, textWidth, subtitleHeight);
    if (marker.width() > 0)
        g.marker = QRectF(width - kPadding - marker.width(), mid - marker.height() / 2, marker.width(), marker.height());
    return g;
}

int MenuItemView::heightForWidth(int width) const { return layoutFor(width).height; }

QSize MenuItemView::sizeHint() const
{
    const int w = width() > 0 ? width() : 196;
    return {196, heightForWidth(w)};
}

void MenuItemView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const bool dark = AppTheme::isDark();
    const Geometry g = layoutFor(width());

    QPainterPath plate;
    plate.addRoundedRect(QRectF(rect()), 10, 10);
    painter.fillPath(plate, backgroundColor());

    // Icon, centred in its block, with the "Ai" badge off its top-trailing corner.
    painter.setFont(Symbols::font(kIconGlyphSize));
    painter.setPen(iconColor());
    const QString glyph = Symbols::glyph(m_item.icon);
    painter.drawText(g.icon, Qt::AlignCenter, glyph);
    if (m_item.screen == ScreenId::deleteRejects) {
        const qreal glyphWidth = QFontMetricsF(Symbols::font(kIconGlyphSize)).horizontalAdvance(glyph);
        const QPointF corner(g.icon.center().x() + glyphWidth / 2, g.icon.top());
        QFont badge = Fonts::system(8, QFont::Bold);
        painter.setFont(badge);
        painter.setPen(m_selected ? selectedColor() : AppTheme::gold());
        const QFontMetricsF fm(badge);
        const QString ai = QStringLiteral("Ai");
        const QSizeF s(fm.horizontalAdvance(ai), fm.height());
        painter.drawText(QRectF(QPointF(corner.x() - s.width() / 2 + 5, corner.y() - s.height() / 2 - 4), s),
                         Qt::AlignCenter, ai);
    }

    painter.setPen(iconColor());
    drawBlock(painter, layoutText(m_item.title, titleFont(), g.title.width(), kTitleLines), g.title.topLeft(),
              titleFont());

    if (!g.subtitle.isEmpty()) {
        const QFont subtitleFont = Fonts::system(kSubtitleSize);
        painter.setPen(dark ? blackAt(0.55) : whiteAt(0.85));
        drawBlock(painter, layoutText(m_item.subtitle, subtitleFont, g.subtitle.width(), 0), g.subtitle.topLeft(),
                  subtitleFont);
    }

    if (!g.marker.isEmpty()) {
        painter.setFont(markerFont());
        if (m_item.isComingSoon) {
            QPainterPath badge;
            badge.addRoundedRect(g.marker, 3, 3);
            painter.fillPath(badge, m_selected ? (dark ? blackAt(0.08) : whiteAt(0.18))
                                               : AppTheme::withOpacity(AppTheme::gold(), 0.12));
            painter.setPen(m_selected ? (dark ? blackAt(0.5) : whiteAt(0.85))
                                      : AppTheme::withOpacity(AppTheme::textGold(), 0.55));
        } else {
            painter.setPen(m_selected ? (dark ? blackAt(0.6) : QColor(Qt::white)) : SystemColors::gray());
        }
        painter.drawText(g.marker, Qt::AlignCenter, markerText());
    }
}
