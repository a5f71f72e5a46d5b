#include "orderbook/CalendarSyncFixture.h"

#include "SaveFaults.h"
#include "UserInput.h"
#include "schedule/ScheduleIncomeView.h"

#include <QAbstractButton>
#include <QDialog>
#include <QMessageBox>
#include <QTest>

#include <cerrno>

namespace {

class OrderSaveFailureTest : public CalendarSyncFixture
{
};

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The disk refuses the new order: the form stays open with what was typed,
// the alert names the cause, and nothing is stored; the next try goes in.
TEST_F(OrderSaveFailureTest, ARefusedSaveKeepsTheFormOpenAndSaysWhy)
{
    ScheduleIncomeView view(*orders, *manager, *store);
    view.resize(1100, 760);
    view.show();
    settle();
    UserInput::click(view.findChild<QAbstractButton*>("scheduleNewOrderButton"));
    auto* form = view.findChild<QDialog*>("scheduleOrderForm");
    ASSERT_TRUE(form);
    (void)QTest::qWaitForWindowExposed(form);
    UserInput::type(form->findChild<QWidget*>("customerName"), "王女士");
    const QByteArray before = fileBytes(store->filePath());
    {
        SaveFaults::Fail fail(Paths::SaveStep::Write, 0, ENOSPC);
        UserInput::click(form->findChild<QWidget*>("saveButton"));
        settle();
    }
    QMessageBox* alert = view.lastAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text(), "保存失败：磁盘空间不足");
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(orders->orders().isEmpty());
    EXPECT_EQ(fileBytes(store->filePath()), before);

    alert->accept();
    settle();
    UserInput::click(form->findChild<QWidget*>("saveButton"));
    settle();
    ASSERT_EQ(orders->orders().size(), 1);
    EXPECT_EQ(orders->orders().first().customerName, "王女士");
}

}
