#include "ui/PlateButton.h"
#include "ui/SheetHeader.h"
#include "ui/ThemedLabel.h"
#include "UserInput.h"

#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QTest>
#include <QWidget>

TEST(SheetHeaderTest, DoneButtonRunsTheActionOncePerClick)
{
    QWidget sheet;
    auto* row = new QHBoxLayout(&sheet);
    int done = 0;
    const SheetHeader header = makeSheetHeader("套系设定", [&] { ++done; }, &sheet);
    header.addTo(row);
    sheet.show();
    EXPECT_EQ(header.title->text(), QString("套系设定"));
    EXPECT_EQ(header.doneButton->text(), QString("完成"));
    UserInput::click(header.doneButton);
    EXPECT_EQ(done, 1);
    EXPECT_GT(header.doneButton->x(), header.title->x() + header.title->width());
}
