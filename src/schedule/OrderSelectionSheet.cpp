#include "OrderSelectionSheet.h"

#include "orderbook/Money.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/SystemColors.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemedPanel.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace {

class Dot : public QWidget
{
public:
    Dot(QColor color, QWidget* parent) : QWidget(parent), m_color(color) { setFixedSize(10, 10); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(m_color);
        p.drawEllipse(rect());
    }

private:
    QColor m_color;
};

// The platform's spinning indicator: twelve spokes fading behind the lead
// one, drawn at 0.8 of its standard 32-point frame. It turns only while shown.
class ActivityIndicator : public QWidget
{
public:
    explicit ActivityIndicator(QWidget* parent) : QWidget(parent), m_timer(this)
    {
        setFixedSize(32, 32);
        m_timer.setInterval(80);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_step = (m_step + 1) % kSpokes;
            update();
        });
    }

protected:
    void showEvent(QShowEvent*) override { m_timer.start(); }
    void hideEvent(QHideEvent*) override { m_timer.stop(); }
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(width() / 2.0, height() / 2.0);
        p.scale(0.8, 0.8);
        const QColor ink = AppTheme::textPrimary();
        for (int i = 0; i < kSpokes; ++i) {
            const int age = (m_step - i + kSpokes) % kSpokes;
            p.setPen(QPen(AppTheme::withOpacity(ink, 1.0 - 0.07 * age), 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(0, -7), QPointF(0, -13));
            p.rotate(360.0 / kSpokes);
        }
    }

private:
    static constexpr int kSpokes = 12;
    QTimer m_timer;
    int m_step = 0;
};

// The strip at the foot of the sheet while the day's calendar is checked.
QWidget* syncBar(QWidget* parent)
{
    auto* bar = new ThemedPanel(&AppTheme::sidebarBackground, parent);
    bar->setObjectName(QStringLiteral("orderSelectionSyncBar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 12, 0, 12);
    row->setSpacing(8);
    row->addStretch(1);
    row->addWidget(new ActivityIndicator(bar));
    row->addWidget(new ThemedLabel(QStringLiteral("正在同步日历档期，请稍候…"), Fonts::system(12),
                                   [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.6); }, bar));
    row->addStretch(1);
    return bar;
}

QWidget* card(const Order& order, QWidget* parent, const std::function<void()>& onClick)
{
    PlateButton::Look look;
    look.fill = &AppTheme::cardBackground;
    look.padding = QMargins(0, 0, 0, 0);
    auto* button = new PlateButton(QString(), look, parent);
    button->setObjectName(QStringLiteral("orderSelectionCard"));
    button->setCursor(Qt::PointingHandCursor);
    button->setMinimumHeight(44);
    auto* row = new QHBoxLayout(button);
    row->setContentsMargins(16, 12, 16, 12);
    row->setSpacing(12);
    row->addWidget(new Dot(OrderSelectionSheet::statusColor(order.status), button));
    auto* name = new ThemedLabel(order.customerName, Fonts::system(14, QFont::Medium), &AppTheme::textPrimary, button);
    row->addWidget(name);
    row->addStretch(1);
    row->addWidget(new ThemedLabel(order.packageType, Fonts::system(12),
                                   [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.6); }, button));
    auto* amount = new ThemedLabel(OrderSelectionSheet::amountText(order.totalAmount),
                                   Fonts::system(14, QFont::Medium), &AppTheme::gold, button);
    amount->setFixedWidth(80);
    amount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(amount);
    for (QLabel* l : button->findChildren<QLabel*>())
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
    QObject::connect(button, &QAbstractButton::clicked, button, onClick);
    return button;
}

}

OrderSelectionSheet::OrderSelectionSheet(const QList<Order>& orders, Pick onPick, QWidget* parent)
    : QDialog(parent)
    , m_onPick(std::move(onPick))
{
    setObjectName(QStringLiteral("orderSelectionSheet"));
    setWindowTitle(QStringLiteral("选择要编辑的订单"));
    setMinimumSize(460, 320);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(24, 16, 24, 16);
    header->addWidget(new ThemedLabel(QStringLiteral("选择要编辑的订单"), Fonts::system(18, QFont::Bold),
                                      &AppTheme::textGold, this));
    header->addStretch(1);
    PlateButton::Look cancelLook;
    cancelLook.fill = &AppTheme::searchBackground;
    cancelLook.text = [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.6); };
    cancelLook.font = Fonts::system(13, QFont::Medium);
    cancelLook.padding = QMargins(16, 6, 16, 6);
    auto* cancel = new PlateButton(QStringLiteral("取消"), cancelLook, this);
    cancel->setObjectName(QStringLiteral("orderSelectionCancel"));
    connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    header->addWidget(cancel);
    column->addLayout(header);

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setStyleSheet(QStringLiteral("background: transparent;"));
    m_list = new QWidget(scroll);
    m_cards = new QVBoxLayout(m_list);
    m_cards->setContentsMargins(24, 24, 24, 24);
    m_cards->setSpacing(8);
    auto* none = new ThemedLabel(QStringLiteral("当天暂无订单"), Fonts::system(14),
                                 [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); }, m_list);
    none->setObjectName(QStringLiteral("orderSelectionEmpty"));
    none->setAlignment(Qt::AlignCenter);
    none->setContentsMargins(0, 40, 0, 40);
    m_cards->addWidget(none);
    m_cards->addStretch(1);
    m_empty = none;
    scroll->setWidget(m_list);
    column->addWidget(scroll, 1);

    m_syncBar = syncBar(this);
    m_syncBar->setVisible(false);
    column->addWidget(m_syncBar);
    setOrders(orders);
}

void OrderSelectionSheet::setOrders(const QList<Order>& orders)
{
    for (QAbstractButton* old : m_list->findChildren<QAbstractButton*>(QStringLiteral("orderSelectionCard"))) {
        m_cards->removeWidget(old);
        old->deleteLater();
    }
    // Cards go between the empty text and the closing stretch.
    int at = 1;
    for (const Order& order : orders) {
        m_cards->insertWidget(at++, card(order, m_list, [this, order] {
            accept();
            if (m_onPick)
                m_onPick(order);
        }));
    }
    m_hasOrders = !orders.isEmpty();
    refreshEmptyText();
}

void OrderSelectionSheet::setSyncing(bool syncing)
{
    m_syncing = syncing;
    m_syncBar->setVisible(syncing);
    refreshEmptyText();
}

void OrderSelectionSheet::refreshEmptyText()
{
    m_empty->setVisible(!m_hasOrders && !m_syncing);
}

QColor OrderSelectionSheet::statusColor(OrderStatus status)
{
    switch (status) {
    case OrderStatus::pendingDeposit: return SystemColors::yellow();
    case OrderStatus::pendingShoot: return SystemColors::red();
    case OrderStatus::pendingBalance: return SystemColors::orange();
    case OrderStatus::completed: return AppTheme::gold();
    case OrderStatus::cancelled: return SystemColors::gray();
    }
    return SystemColors::gray();
}

QString OrderSelectionSheet::amountText(double total)
{
    return Money::yuanText(total);
}

void OrderSelectionSheet::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), AppTheme::background());
}
