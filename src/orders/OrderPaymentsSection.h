#pragma once

#include "orderbook/PaymentRecord.h"

#include <QWidget>

class OrderFormModel;
class PlateButton;
class QVBoxLayout;
class ThemedLabel;

// "收款管理" of an edited order: received and owed amounts of the stored
// order, the balance and shoot-completion buttons, the settled badge and
// the payment history, newest first.
class OrderPaymentsSection : public QWidget
{
    Q_OBJECT
public:
    OrderPaymentsSection(OrderFormModel& model, QWidget* parent = nullptr);
    void refresh();
    // "MM-dd HH:mm" in local time.
    static QString dateTimeString(const QDateTime& moment);

private:
    void rebuildHistory(const QList<PaymentRecord>& payments);

    OrderFormModel& m_model;
    ThemedLabel* m_received = nullptr;
    ThemedLabel* m_pending = nullptr;
    PlateButton* m_balanceButton = nullptr;
    PlateButton* m_completeButton = nullptr;
    QWidget* m_settled = nullptr;
    QVBoxLayout* m_history = nullptr;
    QList<PaymentRecord> m_shown;
    bool m_historyBuilt = false;
};
