#include "CalendarWidgets.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QFontMetrics>
#include <QMenu>
#include <QPainter>

ChevronButton::ChevronButton(const QString& symbol, int count, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
    , m_count(count)
{
    setCursor(Qt::PointingHandCursor);
    setFixedSize(sizeHint());
}

QSize ChevronButton::sizeHint() const
{
    return m_count > 1 ? QSize(36, 32) : QSize(32, 32);
}

void ChevronButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(AppTheme::searchBackground());
    p.drawRoundedRect(rect(), 8, 8);
    const qreal size = m_count > 1 ? 12 : 14;
    p.setFont(Symbols::font(size));
    p.setPen(AppTheme::gold());
    const QString glyph = Symbols::glyph(m_symbol);
    const qreal w = QFontMetricsF(p.font()).horizontalAdvance(glyph);
    // Overlapping by 4, as one double chevron.
    const qreal total = m_count * w - (m_count - 1) * 4;
    qreal x = (width() - total) / 2;
    for (int i = 0; i < m_count; ++i, x += w - 4)
        p.drawText(QRectF(x, 0, w, height()), Qt::AlignCenter, glyph);
}

FilterMenuBox::FilterMenuBox(int width, int narrowest, std::function<QStringList()> entries,
                             std::function<void(const QString&)> chosen, QWidget* parent)
    : QToolButton(parent)
{
    setFixedHeight(28);
    setMinimumWidth(narrowest + 16);
    setMaximumWidth(width + 16);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setPopupMode(QToolButton::InstantPopup);
    setCursor(Qt::PointingHandCursor);
    auto* menu = new QMenu(this);
    setMenu(menu);
    connect(menu, &QMenu::aboutToShow, this, [menu, entries, chosen] {
        menu->setStyleSheet(AppTheme::menuStyleSheet());
        menu->clear();
        for (const QString& entry : entries()) {
            QString text = entry;
            QAction* action = menu->addAction(text.replace(QLatin1Char('&'), QStringLiteral("&&")));
            QObject::connect(action, &QAction::triggered, menu, [chosen, entry] { chosen(entry); });
        }
    });
}

void FilterMenuBox::setLabel(const QString& label)
{
    m_label = label;
    setAccessibleName(label);
    update();
}

void FilterMenuBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(AppTheme::searchBackground());
    p.drawRoundedRect(rect(), 8, 8);
    const QFont textFont = Fonts::system(13);
    const QFont chevronFont = Symbols::font(9);
    const QString chevron = Symbols::glyph(QStringLiteral("chevron.up.chevron.down"));
    const int chevronWidth = QFontMetrics(chevronFont).horizontalAdvance(chevron);
    const int room = width() - 16 - chevronWidth - 4;
    const QString text = QFontMetrics(textFont).elidedText(m_label, Qt::ElideRight, room);
    const int textWidth = QFontMetrics(textFont).horizontalAdvance(text);
    int x = (width() - textWidth - 4 - chevronWidth) / 2;
    p.setFont(textFont);
    p.setPen(AppTheme::withOpacity(AppTheme::textPrimary(), 0.9));
    p.drawText(QRect(x, 0, textWidth, height()), Qt::AlignVCenter | Qt::AlignLeft, text);
    p.setFont(chevronFont);
    p.setPen(AppTheme::isDark() ? Qt::white : Qt::black);
    p.drawText(QRect(x + textWidth + 4, 0, chevronWidth, height()), Qt::AlignCenter, chevron);
}

SectionPanel::SectionPanel(QWidget* parent)
    : QWidget(parent)
{
}

void SectionPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(AppTheme::isDark() ? QColor(255, 255, 255, 13) : QColor(Qt::white));
    p.drawRoundedRect(rect(), 8, 8);
}

EmptyStateView::EmptyStateView(const QString& symbol, qreal symbolSize, std::function<QColor()> symbolColor,
                               const QString& text, qreal textSize, bool plate, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_symbolSize(symbolSize)
    , m_symbolColor(std::move(symbolColor))
    , m_text(text)
    , m_textSize(textSize)
    , m_plate(plate)
{
    setMinimumHeight(400);
}

void EmptyStateView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_plate) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 8));
        p.drawRoundedRect(rect(), 8, 8);
    }
    const QFont symbolFont = Symbols::font(m_symbolSize);
    const QFont textFont = Fonts::system(m_textSize);
    const int symbolHeight = QFontMetrics(symbolFont).height(), textHeight = QFontMetrics(textFont).height();
    const int spacing = m_plate ? 8 : 16;
    const int top = (height() - symbolHeight - spacing - textHeight) / 2;
    p.setFont(symbolFont);
    p.setPen(m_symbolColor());
    p.drawText(QRect(0, top, width(), symbolHeight), Qt::AlignCenter, Symbols::glyph(m_symbol));
    p.setFont(textFont);
    p.setPen(AppTheme::withOpacity(AppTheme::textPrimary(), 0.4));
    p.drawText(QRect(0, top + symbolHeight + spacing, width(), textHeight), Qt::AlignCenter, m_text);
}
