#include "orderbook/CalendarSyncFixture.h"

#include "schedule/CalendarBatchSelection.h"
#include "schedule/ScheduleIncomeView.h"
#include "UserInput.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLineEdit>
#include <QTest>

namespace {

class BatchSelectAllKeyTest : public CalendarSyncFixture
{
};

// Ctrl+A in the order form over a calendar in batch mode is the form's: the
// name typed over it replaces the selected text, and the month's selection
// behind the sheet stays as it was.
TEST_F(BatchSelectAllKeyTest, CtrlAInTheOrderFormSelectsItsTextNotTheMonthBehind)
{
    const QDateTime shoot(QDate::currentDate().addDays(2), QTime(10, 0));
    orders->addOrder(Order("甲", "", "标准套系", shoot, shoot, ShootTimeSlot::morning, 2000, 0, {}, "",
                           OrderStatus::pendingShoot, false, QString("提前1天"), "", false));
    ScheduleIncomeView view(*orders, *manager, *store);
    view.resize(1100, 760);
    view.show();
    settle();
    auto* selection = view.findChild<CalendarBatchSelection*>();
    ASSERT_TRUE(selection);
    UserInput::clickInView(view.findChild<QWidget*>("batchToggle"));
    ASSERT_TRUE(selection->isBatchMode());
    const QSet<QDate> days = selection->selectedDates();
    const bool allSelected = selection->isCurrentMonthAllSelected();

    UserInput::click(view.findChild<QAbstractButton*>("scheduleNewOrderButton"));
    auto* form = view.findChild<QDialog*>("scheduleOrderForm");
    ASSERT_TRUE(form);
    (void)QTest::qWaitForWindowExposed(form);
    auto* name = form->findChild<QLineEdit*>("customerName");
    UserInput::type(name, "abc");
    UserInput::key(name, Qt::Key_A, Qt::ControlModifier);
    UserInput::key(name, Qt::Key_X);
    EXPECT_EQ(name->text(), "x");
    EXPECT_EQ(selection->selectedDates(), days);
    EXPECT_EQ(selection->isCurrentMonthAllSelected(), allSelected);
    form->reject();
    settle();

    // Back on the calendar, the key is the month's again.
    UserInput::clickInView(view.findChild<QWidget*>("monthTitle"));
    UserInput::key(&view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_NE(selection->isCurrentMonthAllSelected(), allSelected);
}

}
