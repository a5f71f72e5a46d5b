#include "ScheduleSettingsFixture.h"

#include "schedule/ScheduleSettingsSheet.h"
#include "ScheduleTestSupport.h"
#include "UserInput.h"

#include <QLineEdit>
#include <QScrollArea>
#include <QToolTip>

namespace {

class PackageListAmountsTest : public ScheduleSettingsFixture
{
protected:
    void SetUp() override
    {
        ScheduleSettingsFixture::SetUp();
        sheet = std::make_unique<ScheduleSettingsSheet>(*state);
        sheet->resize(560, 900);
        sheet->show();
        answers();
        UserInput::click(sheet->findChild<QWidget*>("packageEntry"));
        ScheduleTestSupport::waitForFades(sheet.get());
    }
    void TearDown() override
    {
        sheet.reset();
        ScheduleSettingsFixture::TearDown();
    }
    std::unique_ptr<ScheduleSettingsSheet> sheet;
};

TEST_F(PackageListAmountsTest, AFieldThatStoresNothingShowsWhy)
{
    struct Row { QString typed; double stored; bool invalid; };
    // Each keystroke stores what reads (clearing stores 0): a refused text
    // keeps the last amount that read, and the field shows why.
    const Row rows[] = {{"abc", 0, true}, {"3,999", 3, true}, {"100000000", 1e7, true}, {"", 0, false}, {"350", 350, false}};
    for (const Row& r : rows) {
        auto* price = sheet->findChild<QLineEdit*>("packagePrice");
        ASSERT_TRUE(price);
        UserInput::click(price);
        UserInput::key(price, Qt::Key_A, Qt::ControlModifier);
        UserInput::key(price, Qt::Key_Delete);
        if (!r.typed.isEmpty())
            UserInput::type(price, r.typed);
        price = sheet->findChild<QLineEdit*>("packagePrice");
        EXPECT_EQ(price->property("invalidAmount").toBool(), r.invalid) << r.typed.toStdString();
        EXPECT_EQ(price->toolTip().isEmpty(), !r.invalid);
        EXPECT_EQ(packages->packages().first().price, r.stored) << r.typed.toStdString();
    }
}

TEST_F(PackageListAmountsTest, ABuiltInTrashSaysWhyItStays)
{
    packages->addPackage("外景", 800, 100);
    UserInput::click(sheet->findChild<QWidget*>("deleteModeToggle"));
    answers();
    const QList<QWidget*> trash = sheet->findChildren<QWidget*>("packageDelete");
    ASSERT_EQ(trash.size(), packages->packages().size());
    const qsizetype count = packages->packages().size();
    UserInput::click(trash.first());
    EXPECT_EQ(packages->packages().size(), count);
    EXPECT_EQ(QToolTip::text(), "内置套系不能删除");
}

}
