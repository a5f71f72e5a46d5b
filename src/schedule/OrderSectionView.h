#pragma once

#include "schedule/CalendarRequest.h"

#include "schedule/CalendarWidgets.h"

#include <QWidget>

class CalendarBatchSelection;
class EmptyStateView;
class FilterMenuBox;
class OrderRowsModel;
class PlateButton;
class QListView;
class QLabel;
class RevealBox;

// The left half under the month grid: "订单明细" with the batch buttons, the
// filter row, the edit hint and the listed orders (or an empty state).
class OrderListPanel : public SectionPanel
{
    Q_OBJECT
public:
    explicit OrderListPanel(CalendarBatchSelection& selection, QWidget* parent = nullptr);

Q_SIGNALS:
    void requested(const CalendarRequest& request);
    void batchDeleteClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();

    CalendarBatchSelection& m_selection;
    PlateButton* m_deleteButton;
    PlateButton* m_toggle;
    PlateButton* m_selectAll;
    FilterMenuBox* m_year;
    FilterMenuBox* m_month;
    FilterMenuBox* m_package;
    FilterMenuBox* m_status;
    QLabel* m_editHint;
    // What batch mode brings in and takes away, faded and sized as it goes.
    QList<RevealBox*> m_batchOnly;
    RevealBox* m_editHintBox;
    EmptyStateView* m_noOrders;
    EmptyStateView* m_noMatches;
    QListView* m_list;
    OrderRowsModel* m_rows;
};

// The right half: the first ten balances still to collect.
class PendingBalancePanel : public SectionPanel
{
    Q_OBJECT
public:
    explicit PendingBalancePanel(CalendarBatchSelection& selection, QWidget* parent = nullptr);
    // Its width beside the order list.
    static constexpr int kWidth = 260;
    int shownCount() const;

private:
    class Rows;
    void refresh();

    CalendarBatchSelection& m_selection;
    EmptyStateView* m_empty;
    Rows* m_rows;
};
