#include "OrdersFixture.h"

#include "orders/PackageRowList.h"
#include "orders/PackageSettingsView.h"
#include "ui/Fonts.h"
#include "ui/LightScrollBar.h"
#include "ui/SheetDialog.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QWindow>

namespace {

class PackageSettingsTest : public OrdersFixture
{
protected:
    void SetUp() override
    {
        OrdersFixture::SetUp();
        view = std::make_unique<PackageSettingsView>(*packages);
        view->show();
    }
    QStringList storedNames() const
    {
        QStringList names;
        for (const auto& v : storedArray("schedulePackages"))
            names.append(v.toObject().value("name").toString());
        return names;
    }
    QString rowAmount(int row, const char* column) const
    {
        QApplication::processEvents();
        QWidget* col = child(view->rowList()->row(row), column);
        return col ? child<ThemedLabel>(col, "amount")->text() : QString();
    }
    // The rows follow the store one turn later and show one more later.
    static void settleRows()
    {
        QApplication::processEvents();
        QApplication::processEvents();
    }
    SheetDialog* edit(int row)
    {
        settleRows();
        UserInput::click(child(view->rowList()->row(row), "priceColumn"));
        return openSheet<SheetDialog>("packageEditSheet");
    }
    SheetDialog* add(const QString& name)
    {
        UserInput::click(child(view.get(), "addPackageButton"));
        SheetDialog* sheet = openSheet<SheetDialog>("packageAddSheet");
        if (sheet)
            type(sheet, "newPackageName", name);
        return sheet;
    }
    void type(QWidget* sheet, const char* field, const QString& text) { retype(child(sheet, field), text); }
    std::unique_ptr<PackageSettingsView> view;
};

TEST_F(PackageSettingsTest, AmountsReadOnlyAsPlainNumbers)
{
    struct Row { QString text; double value; };
    const Row rows[] = {{"1e3", 1000}, {"12.5", 12.5}, {"-50", -50}, {"1,999", 0}, {" 12", 0}, {"12 ", 0},
                        {"１２", 0}, {"¥12", 0}, {"", 0}, {"nan", 0}, {"inf", 0}, {"1e400", 0}, {"0x10", 0}};
    for (const Row& r : rows)
        EXPECT_EQ(PackageSettingsView::readAmount(r.text), r.value) << r.text.toStdString();
}

TEST_F(PackageSettingsTest, AddSheetRefusesEmptyAndBlankNamesAndTrims)
{
    const qsizetype before = packages->packages().size();
    for (const QString name : {"", "   ", " 外景 ", "婚纱套系", "婚纱套系"}) {
        SheetDialog* sheet = add(name);
        ASSERT_TRUE(sheet);
        type(sheet, "newPackagePrice", "1e3");
        UserInput::click(child(sheet, "addConfirmButton"));
        EXPECT_EQ(sheet->isVisible(), name.trimmed().isEmpty());
        if (name.trimmed().isEmpty())
            UserInput::click(child(sheet, "addCancelButton"));
    }
    ASSERT_EQ(packages->packages().size(), before + 3);
    EXPECT_EQ(packages->packages().last().name, "婚纱套系");
    EXPECT_EQ(packages->packages()[before].name, "外景");
    EXPECT_EQ(packages->packages().last().price, 1000);
    QApplication::processEvents();
    EXPECT_TRUE(view->rowList()->row(int(before))->findChild<QWidget*>("deleteButton"));
}

TEST_F(PackageSettingsTest, EditKeepsUntouchedAmountsRefusesNegativesAndShowsStoredOnesAsUnset)
{
    const QUuid id = packages->packages().first().id;
    packages->updatePackage(id, 1999.9, 300.75);
    SheetDialog* sheet = edit(0);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(child<QLineEdit>(sheet, "editPrice")->text(), "1999");
    EXPECT_EQ(child<QLineEdit>(sheet, "editDeposit")->text(), "300");
    UserInput::click(child(sheet, "editSaveButton"));
    EXPECT_EQ(packages->packages().first().price, 1999.9) << "the prefill does not truncate the stored price";
    EXPECT_EQ(rowAmount(0, "priceColumn"), "¥1999");

    sheet = edit(0);
    type(sheet, "editDeposit", "-50");
    type(sheet, "editPrice", "");
    UserInput::click(child(sheet, "editSaveButton"));
    EXPECT_TRUE(sheet->isVisible()) << "a negative deposit is refused";
    EXPECT_EQ(packages->packages().first().deposit, 300.75);
    UserInput::click(child(sheet, "editCancelButton"));

    // A negative amount stored before (an old backup) shows as unset and
    // saves back untouched.
    packages->updatePackage(id, 0, -50);
    EXPECT_EQ(rowAmount(0, "depositColumn"), "未设置");
    EXPECT_EQ(rowAmount(0, "priceColumn"), "未设置");
    sheet = edit(0);
    EXPECT_EQ(child<QLineEdit>(sheet, "editDeposit")->text(), "-50");
    UserInput::click(child(sheet, "editSaveButton"));
    EXPECT_EQ(packages->packages().first().deposit, -50);
}

TEST_F(PackageSettingsTest, SheetsStoreOnlyAmountsTheyCanAndSayWhyNot)
{
    struct Row { const char* field; QString typed; QString reason; };
    const Row rows[] = {{"newPackagePrice", "abc", "基础价格：「abc」不是有效金额"},
                        {"newPackageDeposit", "５００", "定金金额：「５００」不是有效金额"},
                        {"newPackagePrice", "100000000", "基础价格：金额不能超过"},
                        {"editPrice", "3,999", "基础价格：「3,999」不是有效金额"},
                        {"editDeposit", "1e9", "定金金额：金额不能超过"}};
    const QList<Package> before = packages->packages();
    for (const Row& r : rows) {
        const bool adding = QString(r.field).startsWith("new");
        SCOPED_TRACE(r.typed.toStdString());
        SheetDialog* sheet = adding ? add("外景") : edit(0);
        ASSERT_TRUE(sheet);
        type(sheet, r.field, r.typed);
        EXPECT_TRUE(child(sheet, r.field)->property("invalidAmount").toBool());
        UserInput::click(child(sheet, adding ? "addConfirmButton" : "editSaveButton"));
        EXPECT_TRUE(sheet->isVisible());
        auto* said = child<QLabel>(sheet, adding ? "addProblem" : "editProblem");
        EXPECT_TRUE(said->text().startsWith(r.reason));
        EXPECT_EQ(packages->packages(), before);
        // Typing over the amount takes the reason away, and the sheet keeps its size.
        const QSize size = sheet->size();
        type(sheet, r.field, "1");
        QApplication::processEvents();
        EXPECT_FALSE(said->isVisible());
        EXPECT_EQ(sheet->size(), size);
        UserInput::click(child(sheet, adding ? "addCancelButton" : "editCancelButton"));
    }
}

TEST_F(PackageSettingsTest, TrashDeletesOnARealClickAndBuiltInsHaveNone)
{
    packages->addPackage("外景", 800, 100);
    settleRows();
    PackageRowList* list = view->rowList();
    for (int i = 0; i < list->rowCount(); ++i)
        EXPECT_EQ(bool(list->row(i)->findChild<QWidget*>("deleteButton")), !packages->packages()[i].isBuiltin);
    const int last = list->rowCount() - 1;
    UserInput::scrollIntoView(child(list->row(last), "deleteButton"));
    UserInput::click(child(list->row(last), "deleteButton"));
    QApplication::processEvents();
    EXPECT_FALSE(storedNames().contains("外景"));
    EXPECT_EQ(list->rowCount(), last);
}

TEST_F(PackageSettingsTest, DraggingTheLastRowToTheTopIsStoredAtOnce)
{
    QApplication::processEvents();
    PackageRowList* list = view->rowList();
    const int last = list->rowCount() - 1;
    const QString moved = packages->packages().last().name;
    // Through the window, pressing on the row's name as a user would.
    QWidget* top = view.get();
    QWindow* window = top->windowHandle();
    const QPoint from = child(list->row(last), "packageName")->mapTo(top, QPoint(4, 8));
    const QPoint to = list->row(0)->mapTo(top, QPoint(20, 2));
    ASSERT_EQ(UserInput::widgetUnder(list->row(last), list->row(last)->mapFrom(top, from)),
              child(list->row(last), "packageName"));
    QTest::mousePress(window, Qt::LeftButton, {}, from);
    QTest::mouseMove(window, from + QPoint(0, -10));
    QTest::mouseMove(window, to);
    QTest::mouseRelease(window, Qt::LeftButton, {}, to);
    EXPECT_EQ(storedNames().constFirst(), moved);
    QApplication::processEvents();
    EXPECT_EQ(child<ThemedLabel>(list->row(0), "packageName")->text(), moved);
}

// The platform's light bar with arrows showed on the dark list.
TEST_F(PackageSettingsTest, TheListScrollsWithTheAppsOverlayBar)
{
    auto* area = view->findChild<QScrollArea*>();
    ASSERT_TRUE(area);
    EXPECT_EQ(area->verticalScrollBar()->style(), LightScrollBar::overlayStyle());
}

TEST_F(PackageSettingsTest, Screenshots)
{
    Fonts::installApplicationFont();
    for (const AppThemeStyle style : {AppThemeStyle::dark, AppThemeStyle::light}) {
        ThemeObserver::shared().setStyle(style);
        const QString theme = AppThemeStyles::rawValue(style);
        saveShot(view.get(), "packages-" + theme);
        expectCleanLayout(view.get());
        SheetDialog* sheet = edit(1);
        ASSERT_TRUE(sheet);
        saveShot(sheet, "packages-edit-" + theme);
        expectCleanLayout(sheet);
        sheet->reject();
    }
}

}
