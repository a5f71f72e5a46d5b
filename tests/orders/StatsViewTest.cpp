#include "OrdersFixture.h"

#include "orders/CsvExportFile.h"
#include "orders/PackageShareView.h"
#include "orders/StatCard.h"
#include "orders/StatsExportSheet.h"
#include "orders/StatsView.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemedPanel.h"

#include <QStandardPaths>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QVBoxLayout>

namespace {

class StatsViewTest : public OrdersFixture
{
protected:
    void fill()
    {
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime lastMonth = now.addMonths(-1);
        orders->addOrder(order("张三", now, 3000, {pay(1000, lastMonth), pay(2000, now)}, OrderStatus::completed));
        Order o = order("李四", now, 5000, {pay(1500, now)}, OrderStatus::pendingShoot);
        o.packageType = "婚纱套系";
        orders->addOrder(o);
    }
    // Opens the export sheet of a fresh statistics screen and clicks export.
    void exportThroughTheSheet()
    {
        StatsView view(*orders, "");
        view.show();
        view.showExportSheet();
        auto* sheet = openSheet<StatsExportSheet>("statsExportSheet");
        ASSERT_TRUE(sheet);
        UserInput::click(child(sheet, "exportCsvButton"));
        EXPECT_EQ(openSheet<StatsExportSheet>("statsExportSheet"), nullptr);
    }
    QStringList cards(const StatsView& view) const
    {
        QStringList values;
        for (int i = 1; i <= 8; ++i)
            values.append(child<StatCard>(&view, QString("statCard%1").arg(i))->value());
        return values;
    }
};

TEST_F(StatsViewTest, ModeSwitchChangesOnlyTheModeCardsAndTheLine)
{
    fill();
    StatsView view(*orders, "");
    view.show();
    const QStringList cash = cards(view);
    EXPECT_EQ(cash, QStringList({"¥3500", "¥3500", "¥4500", "¥4500", "2单", "¥3500", "¥1750", "¥4500"}));
    UserInput::click(child(&view, "statsModeButton1"));
    const QStringList done = cards(view);
    EXPECT_EQ(done, QStringList({"¥3000", "¥3000", "¥3000", "¥4500", "2单", "¥3500", "¥3000", "¥3000"}));
    EXPECT_EQ(child<ThemedLabel>(&view, "statsExplanation")->text(), StatsView::explanation(1));
    UserInput::click(child(&view, "statsModeButton1"));
    EXPECT_EQ(cards(view), done);
    EXPECT_EQ(child<PackageShareView>(&view, "packageShareView")->rows().size(), 1);
}

TEST_F(StatsViewTest, StoreAndSearchChangesRedraw)
{
    StatsView view(*orders, "  ");
    EXPECT_EQ(cards(view), QStringList({"¥0", "¥0", "¥0", "¥0", "0单", "¥0", "¥0", "¥0"}));
    fill();
    EXPECT_EQ(cards(view)[3], "¥4500");
    view.setSearchText("李");
    EXPECT_EQ(cards(view)[3], "¥1500");
    EXPECT_EQ(child<PackageShareView>(&view, "packageShareView")->rows().size(), 2) << "the share ignores the search";
}

TEST_F(StatsViewTest, ExportWritesTheStoreTextOrWarnsAndAlwaysCloses)
{
    fill();
    const QDate today = QDate::currentDate();
    EXPECT_EQ(CsvExportFile::proposedName(QDate(2026, 3, 1), QDate(2026, 3, 31)), "档期收入明细_03-01_03-31.csv");
    EXPECT_EQ(CsvExportFile::proposedName(QDate(2025, 12, 20), QDate(2026, 1, 5)), "档期收入明细_12-20_01-05.csv");
    QStringList warnings;
    StatsExportSheet::setWarner([&](QWidget*, const QString& m) { warnings.append(m); });
    // A file where the folder should be: unwritable even for root.
    QFile blocker(dir.path() + "/locked");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    struct Row { QString path; bool written; int warned; };
    const Row rows[] = {{dir.path() + "/out.csv", true, 0}, {"", false, 0}, {dir.path() + "/locked/out.csv", false, 1}};
    for (const Row& r : rows) {
        QString proposed;
        StatsExportSheet::setFileChooser([&](QWidget*, const QString& name) {
            proposed = name;
            return r.path;
        });
        exportThroughTheSheet();
        EXPECT_EQ(proposed, CsvExportFile::proposedName(today, today));
        EXPECT_EQ(warnings.size(), r.warned);
        if (r.path.isEmpty())
            continue;
        QFile file(r.path);
        EXPECT_EQ(file.exists(), r.written);
        if (r.written) {
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), orders->exportCSV(today, today).toUtf8()) << "UTF-8, no BOM";
        }
    }
    EXPECT_TRUE(warnings.value(0).startsWith("导出失败："));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3) << "out.csv, locked, defaults only";
}

TEST_F(StatsViewTest, ClicksOnTheRangeFieldsNeverStepThemOnlyAPickInThePopupDoes)
{
    fill();
    const QDate today = QDate::currentDate();
    QStringList proposed;
    StatsExportSheet::setFileChooser([&](QWidget*, const QString& name) {
        proposed.append(name);
        return QString();
    });
    for (const bool pick : {false, true}) {
        StatsView view(*orders, "");
        view.show();
        view.showExportSheet();
        auto* sheet = openSheet<StatsExportSheet>("statsExportSheet");
        ASSERT_TRUE(sheet);
        for (const char* name : {"exportStartDate", "exportEndDate"}) {
            QWidget* field = child(sheet, name);
            if (pick)
                ASSERT_TRUE(pickNextDayInPopup(field));
            else
                clickAllOver(field);
        }
        UserInput::click(child(sheet, "exportCsvButton"));
        const QDate shown = pick ? today.addDays(1) : today;
        EXPECT_EQ(proposed.value(int(pick)), CsvExportFile::proposedName(shown, shown)) << pick;
    }
}

TEST_F(StatsViewTest, ExportedTextThatLooksLikeAFormulaReadsAsText)
{
    struct Row { QString name, phone, package, note; double total; };
    const Row rows[] = {
        {"=1+2", "+8613800000000", "@SUM(A1)", "-2+3", 800},
        {"\tTAB", "138", "婚纱套系", "\r=cmd|' /C calc'!A0", 1999.5},
        {"王女士", "-", "=HYPERLINK(\"x\",\"y\")", "外景,草坪", 0},
        {"李 = 先生", "13800000000", "标准套系", "备注 -1", 5000},
    };
    const QDateTime now = QDateTime::currentDateTime();
    for (const Row& r : rows) {
        Order o = order(r.name, now, r.total, {});
        o.phone = r.phone;
        o.packageType = r.package;
        o.note = r.note;
        ASSERT_TRUE(orders->addOrder(o));
    }
    const QString path = dir.path() + "/export.csv";
    StatsExportSheet::setFileChooser([&](QWidget*, const QString&) { return path; });
    exportThroughTheSheet();

    // What a spreadsheet's CSV reader takes from the file.
    QProcess python;
    python.start("python3", {"-c", "import csv, json, sys\n"
                                   "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                   "    print(json.dumps(list(csv.reader(f))))",
                             path});
    ASSERT_TRUE(python.waitForFinished(30000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray read = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    ASSERT_EQ(read.size(), 1 + int(std::size(rows)));
    auto asText = [](const QString& t) {
        const bool formula = !t.isEmpty() && QString("=+-@\t\r").contains(t.front());
        return formula ? "'" + t : t;
    };
    for (int i = 0; i < int(std::size(rows)); ++i) {
        const Row& r = rows[i];
        const QJsonArray cells = read[i + 1].toArray();
        SCOPED_TRACE(r.name.toStdString());
        ASSERT_EQ(cells.size(), 10);
        EXPECT_EQ(cells[0].toString(), asText(r.name));
        EXPECT_EQ(cells[1].toString(), asText(r.phone));
        EXPECT_EQ(cells[2].toString(), asText(r.package));
        EXPECT_EQ(cells[9].toString(), asText(r.note));
        EXPECT_EQ(cells[5].toString(), QString::number(r.total, 'f', 2)) << "amounts stay numbers";
        EXPECT_EQ(cells[7].toString(), QString::number(r.total, 'f', 2));
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(",800.00,0.00,800.00,")) << "amount cells are never quoted";
}

TEST_F(StatsViewTest, SaveDialogStartsOnTheDesktopOrAtHome)
{
    const QString home = QDir::homePath();
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    for (const bool hasDesktop : {false, true}) {
        if (hasDesktop)
            ASSERT_TRUE(QDir().mkpath(desktop));
        EXPECT_EQ(StatsExportSheet::startFolder(), hasDesktop ? desktop : home);
    }
}

TEST_F(StatsViewTest, Screenshots)
{
    Fonts::installApplicationFont();
    StatsExportSheet::setFileChooser([](QWidget*, const QString&) { return QString(); });
    for (const AppThemeStyle style : {AppThemeStyle::dark, AppThemeStyle::light}) {
        ThemeObserver::shared().setStyle(style);
        const QString theme = AppThemeStyles::rawValue(style);
        for (const bool withData : {false, true}) {
            if (withData)
                fill();
            ThemedPanel backdrop(&AppTheme::background);
            auto* layout = new QVBoxLayout(&backdrop);
            layout->setContentsMargins(0, 0, 0, 0);
            auto* view = new StatsView(*orders, "", &backdrop);
            layout->addWidget(view);
            backdrop.resize(1000, 760);
            // The page's width beside the sidebar at the window's minimum; it scrolls, so its height is its own.
            backdrop.setMinimumSize(900 - 220, backdrop.sizeHint().height());
            backdrop.show();
            saveShot(&backdrop, QString("stats-%1-%2").arg(withData ? "data" : "empty", theme));
            expectCleanLayout(&backdrop);
            if (withData) {
                view->showExportSheet();
                auto* sheet = openSheet<StatsExportSheet>("statsExportSheet");
                ASSERT_TRUE(sheet);
                saveShot(sheet, "stats-export-" + theme);
                sheet->reject();
            }
        }
        orders->setOrders({});
    }
}

}
