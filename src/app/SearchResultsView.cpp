#include "SearchResultsView.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/LightScrollBar.h"
#include "ui/Symbols.h"
#include "ui/ThemeObserver.h"

#include <QAbstractButton>
#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

std::optional<HighlightRange> highlightRange(const QString& title, const QString& query)
{
    const QString q = query.trimmed();
    if (q.isEmpty())
        return std::nullopt;
    // Searched in the title itself, so positions never shift when lower-casing
    // changes a string's length.
    const qsizetype at = title.indexOf(q, 0, Qt::CaseInsensitive);
    if (at < 0)
        return std::nullopt;
    return HighlightRange{at, q.size()};
}

namespace {
const QColor kAccent = QColor::fromRgbF(0.804f, 0.357f, 0.169f);
constexpr int kRowPadH = 10;
constexpr int kRowPadV = 8;

// One result: icon, title with the match set off, subtitle. Painted, so
// names from users are never read as markup.
class ResultRow : public QAbstractButton
{
public:
    ResultRow(const SearchItem& item, const QString& query, bool selected, QWidget* parent)
        : QAbstractButton(parent)
        , m_item(item)
        , m_query(query)
        , m_selected(selected)
    {
        setObjectName(QStringLiteral("searchResultRow"));
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
        setAccessibleName(item.title);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    const SearchItem& item() const { return m_item; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected)
    {
        if (selected != m_selected) {
            m_selected = selected;
            update();
        }
    }

    QSize sizeHint() const override
    {
        const int h = QFontMetrics(Fonts::system(13)).height() + 2 + QFontMetrics(Fonts::system(11)).height();
        return QSize(SearchResultsView::kWidth - 20, h + 2 * kRowPadV);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath plate;
        plate.addRoundedRect(QRectF(rect()), 6, 6);
        p.fillPath(plate, m_selected ? AppTheme::withOpacity(kAccent, 0.3) : QColor(255, 255, 255, 13));

        const QRect inner = rect().adjusted(kRowPadH, kRowPadV, -kRowPadH, -kRowPadV);
        p.setPen(AppTheme::textGold());
        p.setFont(Symbols::font(13));
        p.drawText(QRect(inner.left(), inner.top(), 20, inner.height()), Qt::AlignCenter, Symbols::glyph(m_item.icon));

        const int textLeft = inner.left() + 20 + 10;
        const QFont titleFont = Fonts::system(13);
        QFont boldFont = Fonts::system(13, QFont::Bold);
        const QFontMetrics titleMetrics(titleFont);
        const int titleBaseline = inner.top() + titleMetrics.ascent();
        int x = textLeft;
        auto run = [&](const QString& text, const QFont& font, const QColor& color) {
            if (text.isEmpty())
                return;
            p.setFont(font);
            p.setPen(color);
            p.drawText(x, titleBaseline, text);
            x += QFontMetrics(font).horizontalAdvance(text);
        };
        if (const auto range = highlightRange(m_item.title, m_query)) {
            run(m_item.title.left(range->start), titleFont, AppTheme::textPrimary());
            run(m_item.title.mid(range->start, range->length), boldFont, AppTheme::textGold());
            run(m_item.title.mid(range->start + range->length), titleFont, AppTheme::textPrimary());
        } else {
            run(m_item.title, titleFont, AppTheme::textPrimary());
        }
        const QFont subFont = Fonts::system(11);
        p.setFont(subFont);
        p.setPen(AppTheme::withOpacity(AppTheme::textPrimary(), 0.4));
        const int subTop = inner.top() + titleMetrics.height() + 2;
        const QString sub = QFontMetrics(subFont).elidedText(m_item.subtitle, Qt::ElideRight, inner.right() - textLeft);
        p.drawText(QRect(textLeft, subTop, inner.right() - textLeft, QFontMetrics(subFont).height()),
                   Qt::AlignLeft | Qt::AlignVCenter, sub);
    }

private:
    SearchItem m_item;
    QString m_query;
    bool m_selected = false;
};
}

SearchResultsView::SearchResultsView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("searchResults"));
    // A drop-down over the screen below the top bar.
    setProperty("layoutOverlay", true);
    setAttribute(Qt::WA_StyledBackground, false);
    setFixedWidth(kWidth);
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor(0, 0, 0, 153));
    shadow->setBlurRadius(24);
    shadow->setOffset(0, 6);
    setGraphicsEffect(shadow);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(1, 1, 1, 1);
    // The list paints its own rounded plate; the scroll area stays see-through.
    m_scroll = LightScrollBar::makeVerticalScrollArea(this);
    m_content = new QWidget;
    m_layout = new QVBoxLayout(m_content);
    m_layout->setContentsMargins(10, 10, 10, 10);
    m_layout->setSpacing(4);
    m_scroll->setWidget(m_content);
    m_content->setAutoFillBackground(false);
    outer->addWidget(m_scroll);

    m_empty = new QLabel(QStringLiteral("未找到相关结果"), m_content);
    m_empty->setObjectName(QStringLiteral("searchResultsEmpty"));
    m_empty->setTextFormat(Qt::PlainText);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setFont(Fonts::system(13));
    m_empty->setContentsMargins(0, 24, 0, 24);
    m_layout->addWidget(m_empty);
    m_layout->addStretch(1);
    // Rows read the theme as they paint; the empty line keeps a palette.
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] {
        colourEmptyLine();
        update();
    });
    colourEmptyLine();
}

int SearchResultsView::heightFor(int contentHeight, int available)
{
    // The floor wins over a short screen, so the bounds never cross.
    const int maximum = qMax(kMinHeight, int(0.6 * available));
    return qMin(qMax(kMinHeight, contentHeight), maximum);
}

void SearchResultsView::setResults(const QList<SearchItem>& items, const QString& query, std::optional<int> selected)
{
    // New results, or a list opened again, are read from their first row; a
    // shown list rebuilt with the same rows keeps its place.
    const bool changed = items != m_items || query != m_query || !isVisible();
    m_items = items;
    m_query = query;
    for (QWidget* row : std::as_const(m_rows))
        delete row;
    m_rows.clear();
    for (int i = 0; i < items.size(); ++i) {
        auto* row = new ResultRow(items.at(i), query, selected == i, m_content);
        connect(row, &QAbstractButton::clicked, this, [this, i] { Q_EMIT itemClicked(i); });
        m_layout->insertWidget(i, row);
        // Shown now, not a turn later as a child added to an open list is:
        // the height below is taken from the rows that show.
        row->show();
        m_rows.append(row);
    }
    m_empty->setVisible(items.isEmpty());
    fitHeight();
    if (changed)
        m_scroll->verticalScrollBar()->setValue(0);
    update();
}

void SearchResultsView::colourEmptyLine()
{
    QPalette pal = m_empty->palette();
    pal.setColor(QPalette::WindowText, AppTheme::readableText(AppTheme::withOpacity(AppTheme::textPrimary(), 0.4)));
    m_empty->setPalette(pal);
}

void SearchResultsView::setSelectedIndex(std::optional<int> selected)
{
    for (int i = 0; i < m_rows.size(); ++i) {
        auto* row = static_cast<ResultRow*>(m_rows.at(i));
        row->setSelected(selected == i);
        if (selected == i)
            m_scroll->ensureWidgetVisible(row, 0, 10);
    }
}

void SearchResultsView::fitHeight()
{
    m_layout->activate();
    const int content = m_layout->sizeHint().height() + 2;
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const int available = screen ? screen->availableGeometry().height() : 600;
    setFixedHeight(heightFor(content, available));
}

void SearchResultsView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    p.fillPath(path, AppTheme::sidebarBackground());
    p.setPen(QPen(QColor(255, 255, 255, 26), 1));
    p.drawPath(path);
}
