#include "StatsView.h"

#include "orderbook/Money.h"
#include "orderbook/OrderManager.h"
#include "orders/OrderFormBlocks.h"
#include "orders/PackageShareView.h"
#include "orders/RevenueTrendChart.h"
#include "orders/StatCard.h"
#include "orders/StatsExportSheet.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/RoundedPanel.h"
#include "ui/SystemColors.h"
#include "ui/ThemedLabel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>


StatsView::StatsView(OrderManager& store, const QString& searchText, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_engine(store, searchText)
    , m_exportStart(QDate::currentDate())
    , m_exportEnd(QDate::currentDate())
{
    setObjectName(QStringLiteral("statsView"));
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 16, 0, 24);
    page->setSpacing(16);

    // Header: the mode switch over its line, the export button beside them.
    auto* header = new QHBoxLayout;
    header->setContentsMargins(24, 0, 24, 0);
    header->setSpacing(12);
    auto* switchColumn = new QVBoxLayout;
    switchColumn->setSpacing(8);
    auto* modeRow = new QHBoxLayout;
    modeRow->setSpacing(0);
    const QString modeTexts[2] = {QStringLiteral("按当月实收计算收入"), QStringLiteral("按订单结束才计算收入")};
    for (int mode = 0; mode < 2; ++mode) {
        auto* button = new PlateButton(modeTexts[mode], PlateButton::Look{}, this);
        button->setObjectName(QStringLiteral("statsModeButton%1").arg(mode));
        button->setFixedWidth(140);
        connect(button, &QAbstractButton::clicked, this, [this, mode] { setStatsMode(mode); });
        modeRow->addWidget(button);
        m_modeButtons[mode] = button;
    }
    modeRow->addStretch(1);
    switchColumn->addLayout(modeRow);
    m_explanation = new ThemedLabel(explanation(0), Fonts::system(10),
                                    [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); }, this);
    m_explanation->setObjectName(QStringLiteral("statsExplanation"));
    m_explanation->setFixedWidth(360);
    switchColumn->addWidget(m_explanation);
    header->addStretch(1);
    header->addLayout(switchColumn);
    PlateButton::Look exportLook;
    exportLook.text = &AppTheme::gold;
    exportLook.outline = [] { return AppTheme::withOpacity(AppTheme::gold(), 0.5); };
    exportLook.font = Fonts::system(12, QFont::Medium);
    exportLook.padding = QMargins(12, 6, 12, 6);
    exportLook.radius = 6;
    exportLook.symbol = QStringLiteral("square.and.arrow.up");
    auto* exportButton = new PlateButton(QStringLiteral("导出Excel"), exportLook, this);
    exportButton->setObjectName(QStringLiteral("statsExportButton"));
    connect(exportButton, &QAbstractButton::clicked, this, &StatsView::showExportSheet);
    header->addWidget(exportButton, 0, Qt::AlignTop);
    header->addStretch(1);
    page->addLayout(header);

    struct CardSpec { const char* title; const char* symbol; std::function<QColor()> color; const char* subtitle; };
    const CardSpec specs[8] = {
        {"今日收入", "sun.max", &SystemColors::orange, ""},
        {"本月收入", "calendar", &SystemColors::blue, ""},
        {"本年收入", "calendar.circle", &SystemColors::green, ""},
        {"已收总额", "checkmark.circle", &SystemColors::mint, "实际已到账资金，不含未收尾款"},
        {"本月订单数", "doc.text", &SystemColors::purple, ""},
        {"待收款总额", "clock", &SystemColors::red, ""},
        {"平均客单价", "chart.bar", &SystemColors::pink, ""},
        {"累计总收入", "dollarsign.circle", &AppTheme::gold, "所有订单合同总金额"},
    };
    auto* grid = new QGridLayout;
    grid->setContentsMargins(24, 0, 24, 0);
    grid->setSpacing(10);
    for (int i = 0; i < 8; ++i) {
        const CardSpec& s = specs[i];
        m_cards[i] = new StatCard(QString::fromUtf8(s.title), QString::fromLatin1(s.symbol), s.color,
                                  QString::fromUtf8(s.subtitle), this);
        m_cards[i]->setObjectName(QStringLiteral("statCard%1").arg(i + 1));
        grid->addWidget(m_cards[i], i / 4, i % 4);
    }
    for (int c = 0; c < 4; ++c)
        grid->setColumnStretch(c, 1);
    page->addLayout(grid);

    m_chart = new RevenueTrendChart;
    m_share = new PackageShareView;
    for (RoundedPanel* card : {OrderFormBlocks::formSection(QStringLiteral("近12个月收入趋势"), m_chart, this, 16, 10),
                               OrderFormBlocks::formSection(QStringLiteral("套系类型收入占比"), m_share, this, 16, 10)}) {
        auto* margin = new QHBoxLayout;
        margin->setContentsMargins(24, 0, 24, 0);
        margin->addWidget(card);
        page->addLayout(margin);
    }
    page->addStretch(1);

    connect(&m_engine, &StatsEngine::changed, this, &StatsView::refresh);
    styleModeButtons();
    refresh();
}

QString StatsView::explanation(int mode)
{
    return mode == 0 ? QStringLiteral("如6月收定金就算6月的收入，7月收尾款就算7月的收入")
                     : QStringLiteral("不按每笔收款分开算，要等整个订单的钱全部收齐，才计入收入");
}

void StatsView::setSearchText(const QString& text)
{
    m_engine.setSearchText(text);
}

void StatsView::setStatsMode(int mode)
{
    mode = mode == 0 ? 0 : 1;
    if (mode == m_mode)
        return;
    m_mode = mode;
    m_explanation->setText(explanation(mode));
    styleModeButtons();
    refresh();
}

void StatsView::styleModeButtons()
{
    for (int mode = 0; mode < 2; ++mode) {
        const bool selected = mode == m_mode;
        PlateButton::Look look;
        look.fill = selected ? std::function<QColor()>(&AppTheme::gold)
                             : [] { return AppTheme::withOpacity(QColor(Qt::white), 0.12); };
        look.text = selected ? &AppTheme::background : &AppTheme::textPrimary;
        look.font = Fonts::system(12);
        look.padding = QMargins(0, 6, 0, 6);
        look.radius = 6;
        m_modeButtons[mode]->setLook(look);
    }
}

void StatsView::refresh()
{
    const StatsFigures& f = m_engine.figures();
    const ModeFigures& m = f.modes[m_mode];
    const qint64 money[8] = {m.today, m.month, m.year, f.receivedTotal, 0, f.pendingTotal, m.average, m.cumulative};
    for (int i = 0; i < 8; ++i) {
        m_cards[i]->setValue(i == 4 ? QString::number(f.monthOrderCount) + QStringLiteral("单")
                                    : Money::centsYuanText(money[i]));
    }
    m_chart->setData(m_engine.trend(), m_mode);
    m_share->setRows(m_engine.shareRows(m_mode));
}

void StatsView::showExportSheet()
{
    auto* sheet = new StatsExportSheet(m_store, m_exportStart, m_exportEnd, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    // The range stays for the next opening of this screen's sheet.
    connect(sheet, &QDialog::finished, this, [this, sheet] {
        m_exportStart = sheet->startDate();
        m_exportEnd = sheet->endDate();
    });
    sheet->open();
}
