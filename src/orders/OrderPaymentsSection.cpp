#include "OrderPaymentsSection.h"

#include "orderbook/Money.h"
#include "orders/OrderFormBlocks.h"
#include "orders/OrderFormModel.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/ThemedLabel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

std::function<QColor()> faded(qreal opacity)
{
    return [opacity] { return AppTheme::withOpacity(AppTheme::textPrimary(), opacity); };
}

}

QString OrderPaymentsSection::dateTimeString(const QDateTime& moment)
{
    return moment.toLocalTime().toString(QStringLiteral("MM-dd HH:mm"));
}

OrderPaymentsSection::OrderPaymentsSection(OrderFormModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* totals = new QHBoxLayout;
    totals->setSpacing(12);
    auto* left = new QVBoxLayout;
    left->setSpacing(2);
    left->addWidget(new ThemedLabel(QStringLiteral("已收总额"), Fonts::system(10), faded(0.4), this));
    m_received = new ThemedLabel(QString(), Fonts::system(16, QFont::Bold), &SystemColors::green, this);
    m_received->setObjectName(QStringLiteral("receivedTotal"));
    left->addWidget(m_received);
    totals->addLayout(left, 1);
    auto* right = new QHBoxLayout;
    right->setSpacing(8);
    right->addStretch(1);
    auto* owed = new QVBoxLayout;
    owed->setSpacing(2);
    owed->addWidget(new ThemedLabel(QStringLiteral("待收尾款"), Fonts::system(10), faded(0.4), this));
    m_pending = new ThemedLabel(QString(), Fonts::system(14, QFont::Bold), &SystemColors::orange, this);
    m_pending->setObjectName(QStringLiteral("pendingTotal"));
    owed->addWidget(m_pending);
    right->addLayout(owed);

    PlateButton::Look balance;
    balance.text = &AppTheme::onGoldText;
    balance.font = Fonts::system(11, QFont::Medium);
    balance.padding = QMargins(10, 5, 10, 5);
    balance.radius = 6;
    m_balanceButton = new PlateButton(QStringLiteral("登记尾款"), balance, this);
    m_balanceButton->setObjectName(QStringLiteral("registerBalanceButton"));
    connect(m_balanceButton, &QAbstractButton::clicked, this, [this] { m_model.startBalancePayment(); });
    right->addWidget(m_balanceButton);

    PlateButton::Look complete;
    // Dark text on both fills: white on either reads below 4.5:1.
    complete.text = [] { return AppTheme::isDark() ? AppTheme::background() : AppTheme::textPrimary(); };
    complete.fill = [] { return AppTheme::isDark() ? SystemColors::blue() : colorFromHex(0xE9B52E); };
    complete.font = Fonts::system(11, QFont::Medium);
    complete.symbol = QStringLiteral("camera.fill");
    complete.symbolSize = 11;
    complete.padding = QMargins(10, 5, 10, 5);
    complete.radius = 6;
    m_completeButton = new PlateButton(QStringLiteral("标记拍摄完成"), complete, this);
    m_completeButton->setObjectName(QStringLiteral("markShootCompletedButton"));
    connect(m_completeButton, &QAbstractButton::clicked, this, [this] { m_model.requestShootCompletion(); });
    right->addWidget(m_completeButton);
    totals->addLayout(right, 1);
    column->addLayout(totals);

    m_settled = new QWidget(this);
    m_settled->setObjectName(QStringLiteral("settledBadge"));
    auto* settled = new QHBoxLayout(m_settled);
    settled->setContentsMargins(0, 6, 0, 6);
    settled->setSpacing(6);
    settled->addStretch(1);
    settled->addWidget(new ThemedLabel(Symbols::glyph(QStringLiteral("checkmark.circle.fill")), Symbols::font(14),
                                       &SystemColors::green, m_settled));
    settled->addWidget(
        new ThemedLabel(QStringLiteral("订单已结清"), Fonts::system(13, QFont::Medium), &SystemColors::green, m_settled));
    settled->addStretch(1);
    column->addWidget(m_settled);
    column->addWidget(OrderFormBlocks::divider(this));

    m_history = new QVBoxLayout;
    m_history->setSpacing(4);
    auto* title = new ThemedLabel(QStringLiteral("收款流水"), Fonts::system(11, QFont::Medium), faded(0.5), this);
    title->setContentsMargins(0, 0, 0, 4);
    m_history->addWidget(title);
    column->addLayout(m_history);
    refresh();
}

void OrderPaymentsSection::refresh()
{
    m_received->setText(m_model.receivedText());
    m_pending->setText(m_model.balanceText());
    const bool owed = m_model.canRegisterBalance();
    PlateButton::Look look = m_balanceButton->look();
    look.fill = [owed] {
        // The theme's gold: the fixed #CD5B2B holds white text at only 4.1:1.
        if (!AppTheme::isDark())
            return AppTheme::gold();
        return owed ? AppTheme::gold() : AppTheme::withOpacity(AppTheme::gold(), 0.3);
    };
    m_balanceButton->setLook(look);
    m_balanceButton->setEnabled(owed);
    m_completeButton->setVisible(m_model.canMarkShootCompleted());
    m_settled->setVisible(m_model.isOrderFullyPaid());
    const QList<PaymentRecord> payments = m_model.paymentHistory();
    if (!m_historyBuilt || payments != m_shown)
        rebuildHistory(payments);
}

void OrderPaymentsSection::rebuildHistory(const QList<PaymentRecord>& payments)
{
    while (m_history->count() > 1) {
        QLayoutItem* item = m_history->takeAt(1);
        delete item->widget();
        delete item;
    }
    m_shown = payments;
    m_historyBuilt = true;
    if (payments.isEmpty()) {
        m_history->addWidget(new ThemedLabel(QStringLiteral("暂无收款记录"), Fonts::system(12), faded(0.3), this));
        return;
    }
    for (const PaymentRecord& p : payments) {
        auto* row = new QWidget(this);
        row->setObjectName(QStringLiteral("paymentRow"));
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 2, 0, 2);
        if (!p.note.isEmpty()) {
            PlateButton::Look tag;
            tag.fill = [] { return AppTheme::withOpacity(QColor(Qt::white), 0.1); };
            tag.text = faded(0.6);
            tag.font = Fonts::system(10);
            tag.padding = QMargins(6, 2, 6, 2);
            tag.radius = 4;
            auto* note = new PlateButton(p.note, tag, row);
            note->setAttribute(Qt::WA_TransparentForMouseEvents);
            line->addWidget(note);
        }
        line->addWidget(new ThemedLabel(Money::yuanText(p.amount), Fonts::system(13, QFont::Medium), &AppTheme::gold, row));
        line->addStretch(1);
        line->addWidget(new ThemedLabel(dateTimeString(p.date), Fonts::system(11), faded(0.4), row));
        m_history->addWidget(row);
    }
}
