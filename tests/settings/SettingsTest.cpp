#include "orderbook/BackupManager.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"
#include "orderbook/OrderManager.h"
#include "platform/Paths.h"
#include "settings/AppIconManager.h"
#include "settings/EasedLevel.h"
#include "settings/LauncherIconSync.h"
#include "settings/SettingsView.h"
#include "settings/UniformVolumeSlider.h"
#include "ui/AppTheme.h"
#include "ui/Fader.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/ThemeObserver.h"
#include "ui/ToggleSwitch.h"
#include "UserInput.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QLabel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

inline void PrintTo(const QString& text, std::ostream* os) { *os << text.toStdString(); }
inline void PrintTo(const QStringList& list, std::ostream* os) { *os << list.join(" | ").toStdString(); }

namespace {
struct LogCapture {
    QStringList lines;
    Log::Sink previous = Log::setSink([this](const QString& l) { lines << l; });
    ~LogCapture() { Log::setSink(previous); }
};

QString dataHome() { return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation); }
QString hicolor() { return dataHome() + "/icons/hicolor"; }
QString desktopFile() { return dataHome() + "/applications/tessary.desktop"; }
QString readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}
QStringList filesUnder(const QString& dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(dir).relativeFilePath(it.next());
    out.sort();
    return out;
}

// Cache tools on PATH that record their arguments and exit with a chosen code.
class IconSyncTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QDir(dataHome()).removeRecursively();
        UserDefaults::standard().remove("launchpadSync");
        writeTool("update-desktop-database", 0);
        writeTool("gtk-update-icon-cache", 0);
        qputenv("PATH", (tools.path() + ":/usr/bin:/bin").toUtf8());
    }
    // Back to the style the isolation's reset of the settings leads to, so that reset
    // queues no launcher sync that would run into the process's exit.
    void TearDown() override
    {
        AppIconManager::apply(AppIconStyle::classic);
        LauncherIconSync::waitForIdle();
    }
    void writeTool(const QString& name, int code)
    {
        const QString path = tools.path() + "/" + name;
        writeFile(path, QStringLiteral("#!/bin/sh\necho \"%1 $*\" >> %2/calls\nexit %3\n").arg(name, tools.path()).arg(code).toUtf8());
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QStringList calls() { return readAll(tools.path() + "/calls").split('\n', Qt::SkipEmptyParts); }

    QTemporaryDir tools;
    LogCapture log;
};
}

TEST_F(IconSyncTest, WithSyncOffApplyStoresAndSetsTheWindowIconOnly)
{
    UserDefaults::standard().set("launchpadSync", false);
    AppIconManager::apply(AppIconStyle::cameraGold);
    LauncherIconSync::waitForIdle();
    EXPECT_EQ(UserDefaults::standard().string("appIconStyle"), "cameraGold");
    EXPECT_FALSE(QGuiApplication::windowIcon().isNull());
    EXPECT_FALSE(QDir(hicolor()).exists());
    EXPECT_TRUE(log.lines.isEmpty());
}

// A restored backup's icon style reaches the running icon at once, and the
// launcher when its sync is on.
TEST_F(IconSyncTest, ARestoredBackupShowsItsIconStyle)
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/icon.kvbak";
    for (const bool sync : {false, true}) {
        SCOPED_TRACE(sync ? "sync on" : "sync off");
        QFile::remove(desktopFile());
        UserDefaults::standard().set("launchpadSync", false);
        AppIconManager::apply(AppIconStyle::classic);
        AppIconManager::applySaved();
        UserDefaults::standard().set("launchpadSync", sync);
        const qint64 iconBefore = QGuiApplication::windowIcon().cacheKey();
        writeFile(file, R"({"appName":"Kelvara","data":{"appIconStyle":"cameraGold"}})");
        ASSERT_TRUE(BackupManager::shared().importBackup(file).success);
        LauncherIconSync::waitForIdle();
        EXPECT_EQ(AppIconManager::savedStyle(), AppIconStyle::cameraGold);
        EXPECT_NE(QGuiApplication::windowIcon().cacheKey(), iconBefore);
        EXPECT_EQ(readAll(desktopFile()).contains("\nIcon=tessary-cameraGold\n"), sync);
    }
}

TEST_F(IconSyncTest, InstallsEverySizeAndTheEntryAndRunsOnlyTheToolsThatApply)
{
    ASSERT_EQ(LauncherIconSync::run(AppIconStyle::cameraOrange), std::nullopt);
    for (int size : LauncherIconSync::kSizes) {
        const QImage png(QStringLiteral("%1/%2x%2/apps/tessary-cameraOrange.png").arg(hicolor()).arg(size));
        EXPECT_EQ(png.size(), QSize(size, size)) << size;
    }
    const QString entry = readAll(desktopFile());
    EXPECT_TRUE(entry.contains("\nIcon=tessary-cameraOrange\n"));
    EXPECT_TRUE(entry.contains("\nName=Kelvara\n"));
    EXPECT_TRUE(entry.contains("\nExec=\"" + QCoreApplication::applicationFilePath() + "\"\n"));
    EXPECT_EQ(calls(), QStringList({"update-desktop-database -q " + dataHome() + "/applications"}));

    QFile(hicolor() + "/icon-theme.cache").open(QIODevice::WriteOnly);
    AppIconManager::apply(AppIconStyle::cameraGold);
    AppIconManager::apply(AppIconStyle::cameraOrange);
    LauncherIconSync::waitForIdle();
    EXPECT_TRUE(calls().contains("gtk-update-icon-cache -q -t -f " + hicolor()));
    EXPECT_TRUE(readAll(desktopFile()).contains("\nIcon=tessary-cameraOrange\n")) << "the style chosen last wins";
    EXPECT_EQ(log.lines.last(), "✅ 启动台图标已同步: cameraOrange");
    for (const QString& f : filesUnder(dataHome()))
        EXPECT_FALSE(f.contains(".tmp") || f.contains("~")) << f.toStdString();

    EXPECT_EQ(LauncherIconSync::execValue("/opt/my app/te\"s$t\\x%"), "\"/opt/my app/te\\\\\"s\\\\$t\\\\\\\\x%%\"");
}

TEST_F(IconSyncTest, AFailingToolOrFolderFailsTheRunAndKeepsThePreviousInstall)
{
    ASSERT_EQ(LauncherIconSync::run(AppIconStyle::cameraOrange), std::nullopt);

    writeTool("update-desktop-database", 3);
    LauncherIconSync::request(AppIconStyle::classic);
    LauncherIconSync::waitForIdle();
    ASSERT_FALSE(log.lines.isEmpty());
    EXPECT_EQ(log.lines.last(), "⚠️ 启动台图标同步失败: update-desktop-database 退出码 3");

    writeTool("update-desktop-database", 0);
    // A folder where the icon belongs cannot be replaced, even by root.
    QDir().mkpath(hicolor() + "/32x32/apps/tessary-cameraGold.png");
    const auto failure = LauncherIconSync::run(AppIconStyle::cameraGold);
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(QFile::exists(hicolor() + "/16x16/apps/tessary-cameraOrange.png"));
    EXPECT_TRUE(readAll(desktopFile()).contains("Icon=tessary-classic")) << "the entry of the last good run stays";
    for (const QString& f : filesUnder(dataHome()))
        EXPECT_TRUE(f.endsWith(".png") || f.endsWith(".desktop") || f == "icons/hicolor/icon-theme.cache")
            << f.toStdString();
}

namespace {
// Scrolled into view, as a user does on the long page.
void reveal(QWidget* w)
{
    for (QWidget* p = w ? w->parentWidget() : nullptr; p; p = p->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(p)) {
            area->ensureWidgetVisible(w, 10, 10);
            break;
        }
}
void tap(QWidget* w)
{
    reveal(w);
    UserInput::click(w);
}

class SettingsViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const QString& key : UserDefaults::standard().dictionaryRepresentation().keys())
            UserDefaults::standard().remove(key);
        UserDefaults::standard().set("launchpadSync", false);
    }
    // With the file dialogs scripted unless `realDialogs`.
    std::unique_ptr<SettingsView> make(bool realDialogs = false)
    {
        auto view = std::make_unique<SettingsView>();
        view->setMessageHideInterval(50);
        if (!realDialogs)
            view->setFileChooser({[this](QWidget*, const QString& name, std::function<void(QString)> done) {
                                      suggested = name;
                                      done(savePath);
                                  },
                                  [this](QWidget*, std::function<void(QString)> done) { done(openPath); }});
        view->resize(560, 580);
        view->show();
        return view;
    }
    template <class T> T* child(SettingsView& v, const QString& name) { return v.findChild<T*>(name); }
    void settle() { QTest::qWait(5); }

    QString savePath, openPath, suggested;
    QTemporaryDir dir;
    LogCapture log;
};
}

TEST_F(SettingsViewTest, ShowsDefaultsWithoutWritingAndTapsWriteAtOnce)
{
    const QVariantMap before = UserDefaults::standard().dictionaryRepresentation();
    auto view = make();
    EXPECT_TRUE(child<ToggleSwitch>(*view, "autoImportSoundSwitch")->isChecked());
    EXPECT_FALSE(child<ToggleSwitch>(*view, "missingRawListSwitch")->isChecked());
    EXPECT_TRUE(child<ToggleSwitch>(*view, "autoBackupEnabledSwitch")->isChecked());
    EXPECT_EQ(child<QLabel>(*view, "volumeLabel")->text(), "音量：80%");
    EXPECT_EQ(child<PlateButton>(*view, "launchPage_自动导片")->fillColor(), AppTheme::gold());
    EXPECT_EQ(UserDefaults::standard().dictionaryRepresentation(), before);

    UserDefaults::standard().set("defaultLaunchPage", "不存在");
    for (const QString& page : SettingsView::launchPages())
        EXPECT_NE(child<PlateButton>(*view, "launchPage_" + page)->fillColor(), AppTheme::gold());
    tap(child<PlateButton>(*view, "launchPage_FTP传输"));
    EXPECT_EQ(UserDefaults::standard().string("defaultLaunchPage"), "FTP传输");
    tap(child<ToggleSwitch>(*view, "autoBackupEnabledSwitch"));
    EXPECT_EQ(UserDefaults::standard().object("autoBackupEnabled"), QVariant(false));

    UserDefaults::standard().set("appIconStyle", "orange");
    EXPECT_EQ(AppIconManager::savedStyle(), AppIconStyle::classic);
    EXPECT_EQ(UserDefaults::standard().string("appIconStyle"), "orange");
    tap(child<QWidget>(*view, "iconChoice_cameraGold"));
    EXPECT_EQ(UserDefaults::standard().string("appIconStyle"), "cameraGold");

    UserDefaults::standard().set("autoImportVolume", 250);
    EXPECT_EQ(child<QLabel>(*view, "volumeLabel")->text(), "音量：100%");
}

// At either end of the range the whole thumb shows and a drag from its
// outer half, where a user grabs it, carries the volume across.
TEST_F(SettingsViewTest, TheVolumeThumbIsWholeAndGrabbableAtBothEnds)
{
    struct Case { int stored; qreal grabFromCentre; int draggedTo; };
    const QList<Case> cases{{0, -7, 100}, {100, 7, 0}, {80, 0, 0}};
    auto view = make();
    auto* slider = child<UniformVolumeSlider>(*view, "volumeSlider");
    ASSERT_TRUE(slider);
    reveal(slider);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        UserDefaults::standard().set("autoImportVolume", c.stored);
        const QRectF thumb = slider->thumbRect();
        EXPECT_TRUE(QRectF(slider->rect()).contains(thumb));
        EXPECT_TRUE(slider->visibleRegion().contains(thumb.toAlignedRect())) << "nothing covers or clips it";
        const QImage drawn = slider->grab().toImage();
        for (const qreal dx : {-7.0, 7.0})
            EXPECT_EQ(drawn.pixelColor((thumb.center() + QPointF(dx, 0)).toPoint()), AppTheme::textPrimary()) << dx;

        QWindow* window = slider->window()->windowHandle();
        const auto inWindow = [slider](QPointF p) { return slider->mapTo(slider->window(), p.toPoint()); };
        const QPoint grab = inWindow(thumb.center() + QPointF(c.grabFromCentre, 0));
        const QPoint end = inWindow(QPointF(c.draggedTo == 100 ? slider->width() + 40 : -40, thumb.center().y()));
        QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, grab);
        QTest::mouseMove(window, end);
        QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, end);
        EXPECT_EQ(UserDefaults::standard().integer("autoImportVolume"), c.draggedTo);
    }
}

TEST(VolumeSlider, MapsPositionsIntoTheRangeAndStoresWholePercents)
{
    struct Case { qreal x, width; double lower, upper; std::optional<double> value; };
    const QList<Case> cases{
        {200, 400, 0, 100, 50}, {-30, 400, 0, 100, 0}, {900, 400, 0, 100, 100},
        {100, 400, 20, 60, 30}, {10, 0, 0, 100, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UniformVolumeSlider::valueAt(c.x, c.width, c.lower, c.upper), c.value) << c.x << " " << c.width;
    struct Round { double in; int out; };
    for (const Round& r : QList<Round>{{79.5, 80}, {80.49, 80}, {33.5, 34}, {100, 100}, {-4, 0}, {130, 100}})
        EXPECT_EQ(SettingsView::volumeToStore(r.in), r.out) << r.in;
}

namespace {
// The open message box of `view`'s window, its button `text` clicked.
QString answer(SettingsView& view, const QString& text)
{
    QPointer<QMessageBox> box;
    (void)QTest::qWaitFor([&] {
        for (QMessageBox* b : view.window()->findChildren<QMessageBox*>())
            if (b->isVisible())
                box = b;
        return !box.isNull();
    }, 2000);
    if (!box) {
        ADD_FAILURE() << "no question";
        return {};
    }
    const QString asked = box->text();
    for (QAbstractButton* b : box->buttons())
        if (b->text() == text) {
            tap(b); // the box goes with the click
            break;
        }
    QTest::qWait(5);
    return asked;
}

Order named(const QString& name)
{
    Order o = Order::blank();
    o.customerName = name;
    o.shootDate = QDateTime(QDate(2025, 3, 1), QTime(0, 0));
    o.shootTime = QDateTime(QDate(2025, 3, 1), QTime(10, 0));
    return o;
}
}

TEST_F(SettingsViewTest, ExportsTheChosenContentAndImportsItBack)
{
    UserDefaults::standard().set("autoImportSound", false);
    auto view = make();
    savePath = dir.path() + "/" + SettingsView::suggestedBackupName(QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5)));
    tap(child<QWidget>(*view, "exportBackupButton"));
    settle();
    EXPECT_TRUE(suggested.startsWith("Kelvara备份_") && suggested.endsWith(".kvbak"));
    EXPECT_TRUE(readAll(savePath).contains("autoImportSound"));
    const QString size = QString::number(QFileInfo(savePath).size());
    EXPECT_EQ(view->backupMessage(), "✅ 备份导出成功！\n文件：Kelvara备份_20250102_030405.kvbak\n大小：" + size + " 字节");
    EXPECT_TRUE(child<QLabel>(*view, "backupMessage")->isVisible());
    EXPECT_EQ(log.lines.first(), "💾 开始导出备份到: " + savePath);
    EXPECT_EQ(log.lines.last(), "💾 备份文件已生成: " + savePath + ", 大小: " + size + " 字节");
    QTest::qWait(120);
    EXPECT_FALSE(child<QLabel>(*view, "backupMessage")->isVisible());

    writeFile(dir.path() + "/list.kvbak", "[]");
    struct Refusal { const char* button; QString path, message; };
    for (const Refusal& r : {Refusal{"exportBackupButton", dir.path() + "/missing/folder/x.kvbak", "❌ 导出失败：文件夹不存在"},
                             Refusal{"importBackupButton", dir.path() + "/list.kvbak", "❌ 导入失败：备份文件格式无效"},
                             Refusal{"importBackupButton", dir.path() + "/gone.kvbak", "❌ 导入失败：文件不存在"}}) {
        savePath = openPath = r.path;
        tap(child<QWidget>(*view, r.button));
        settle();
        EXPECT_EQ(view->backupMessage(), r.message) << r.path.toStdString();
        EXPECT_EQ(view->window()->findChild<QMessageBox*>(), nullptr) << "nothing to ask about";
    }

    log.lines.clear();
    openPath.clear();
    savePath.clear();
    tap(child<QWidget>(*view, "importBackupButton"));
    tap(child<QWidget>(*view, "exportBackupButton"));
    EXPECT_EQ(log.lines, QStringList({"💾 用户取消了导入备份", "💾 用户取消了导出备份"}));
}

TEST_F(SettingsViewTest, TheExportCarriesExactlyTheOptionalContentSwitchedOn)
{
    const QList<QStringList> groups{{"scheduleListColumnWidths", "scheduleListHiddenColumns", "scheduleListDefaultSort",
                                     "scheduleListFilterPresets"},
                                    {"scheduleCustomStatsTemplates"}, {"scheduleRecycleBin"}, {"schedulePrintTemplates"}};
    const QList<QList<bool>> cases{{true, true, true, true}, {true, false, true, true}, {false, true, false, false},
                                   {true, false, false, false}, {false, false, false, true}};
    for (const QList<bool>& choice : cases) {
        SetUp();
        for (const QStringList& group : groups)
            for (const QString& key : group)
                UserDefaults::standard().set(key, "[1]");
        auto view = make();
        tap(child<QWidget>(*view, "backupChoiceHeader"));
        QTest::qWait(Fader::kDefaultMs + 100);
        QStringList expected;
        for (int i = 0; i < 4; ++i) {
            if (!choice[i])
                tap(child<ToggleSwitch>(*view, QString("backupChoice%1").arg(i)));
            else
                expected += groups[i];
        }
        savePath = dir.path() + "/choice.kvbak";
        tap(child<QWidget>(*view, "exportBackupButton"));
        settle();
        QStringList written;
        const QJsonObject data = QJsonDocument::fromJson(readAll(savePath).toUtf8()).object()["data"].toObject();
        for (const QStringList& group : groups)
            for (const QString& key : group)
                if (data.contains(key))
                    written << key;
        EXPECT_EQ(written, expected) << choice[0] << choice[1] << choice[2] << choice[3];
    }
}

TEST_F(SettingsViewTest, AnImportAsksWithBothOrderCountsAndKeepsTheDataItReplaces)
{
    OrderManager& orders = OrderManager::shared();
    ASSERT_TRUE(orders.setOrders({named("甲"), named("乙")}));
    orders.save();
    ASSERT_TRUE(BackupManager::shared().exportBackup(dir.path() + "/two.kvbak", true, true, true, true));
    ASSERT_TRUE(orders.setOrders({named("丙")}));
    orders.save();
    auto view = make();
    openPath = dir.path() + "/two.kvbak";

    tap(child<QWidget>(*view, "importBackupButton"));
    const QString asked = answer(*view, "取消");
    EXPECT_TRUE(asked.startsWith("备份文件中有 2 个订单，当前有 1 个订单。")) << asked.toStdString();
    EXPECT_EQ(orders.orders().size(), 1);
    EXPECT_EQ(log.lines.last(), "💾 用户取消了导入备份");

    tap(child<QWidget>(*view, "importBackupButton"));
    answer(*view, "导入");
    ASSERT_EQ(orders.orders().size(), 2);
    const QStringList kept = QDir(Paths::dataDir() + "/AutoBackups").entryList({"before_import_*.kvbak"});
    ASSERT_EQ(kept.size(), 1);
    const QString keptPath = Paths::dataDir() + "/AutoBackups/" + kept.first();
    EXPECT_EQ(view->backupMessage(), "✅ 导入完成，请重启软件生效\n备份导入成功，请重启软件使全部数据生效\n导入前的数据已备份到："
                                         + keptPath);
    EXPECT_EQ(BackupManager::shared().readBackup(keptPath).orderCount(), 1);
    // The automatic backups' retention leaves it alone.
    UserDefaults::standard().set("autoBackupEnabled", true);
    for (int i = 0; i < 6; ++i)
        BackupManager::shared().performAutoBackupIfEnabled();
    EXPECT_TRUE(QFile::exists(keptPath));

    openPath = dir.path() + "/broken.kvbak";
    writeFile(openPath, "{\"data\":");
    tap(child<QWidget>(*view, "importBackupButton"));
    settle();
    EXPECT_TRUE(view->backupMessage().startsWith("❌ 导入失败：文件不是有效的 JSON（")) << view->backupMessage().toStdString();
}

// The outcome line sits below the buttons, under the fold of the page; it
// comes into view as it appears, and a failure names its cause once.
TEST_F(SettingsViewTest, TheBackupOutcomeComesIntoViewAndNamesItsCauseOnce)
{
    writeFile(dir.path() + "/broken.kvbak", "{\"data\":");
    struct Case { const char* button; QString path, message, logLine; };
    const QList<Case> cases{
        {"exportBackupButton", dir.path() + "/out.kvbak", "✅ 备份导出成功！", "💾 备份文件已生成: "},
        {"importBackupButton", dir.path() + "/broken.kvbak", "❌ 导入失败：文件不是有效的 JSON（",
         "💾 备份导入失败: 文件不是有效的 JSON（"},
    };
    auto view = make();
    view->setMessageHideInterval(60000);
    auto* line = child<QLabel>(*view, "backupMessage");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        view->findChild<QScrollArea*>()->verticalScrollBar()->setValue(0);
        log.lines.clear();
        savePath = openPath = c.path;
        tap(child<QWidget>(*view, c.button));
        settle();
        EXPECT_TRUE(view->backupMessage().startsWith(c.message)) << view->backupMessage().toStdString();
        EXPECT_TRUE(line->isVisible());
        EXPECT_TRUE(UserInput::wholeInView(line));
        ASSERT_FALSE(log.lines.isEmpty());
        EXPECT_TRUE(log.lines.last().startsWith(c.logLine)) << log.lines.last().toStdString();
        EXPECT_EQ(view->backupMessage().count("失败") + log.lines.last().count("失败"),
                  c.message.count("失败") + c.logLine.count("失败"));
    }
    const QString shots = QCoreApplication::applicationDirPath() + "/../../screenshots";
    QDir().mkpath(shots);
    EXPECT_TRUE(view->grab().save(shots + "/settings-backup-outcome-in-view.png"));
}

TEST_F(SettingsViewTest, TheFileDialogsSayWhatToChoose)
{
    auto view = make(true);
    const QList<std::pair<const char*, QString>> cases{{"exportBackupButton", "选择备份文件保存位置"},
                                                       {"importBackupButton", "选择要导入的备份文件"}};
    for (const auto& [button, title] : cases) {
        tap(child<QWidget>(*view, button));
        QFileDialog* dialog = nullptr;
        ASSERT_TRUE(QTest::qWaitFor([&] { return (dialog = view->findChild<QFileDialog*>()) != nullptr; }, 2000));
        EXPECT_EQ(dialog->windowTitle(), title);
        dialog->reject();
        QTest::qWait(5);
    }
}

TEST_F(SettingsViewTest, TurningTheLauncherSyncBackOnInstallsTheIconNowChosen)
{
    auto view = make();
    tap(child<QWidget>(*view, "iconChoice_cameraGold"));
    LauncherIconSync::waitForIdle();
    EXPECT_FALSE(QFile::exists(desktopFile())) << "the sync is off";
    tap(child<ToggleSwitch>(*view, "launchpadSyncSwitch"));
    LauncherIconSync::waitForIdle();
    EXPECT_TRUE(readAll(desktopFile()).contains("\nIcon=tessary-cameraGold\n"));
}

TEST_F(SettingsViewTest, TheChoicePanelAndTheSignatureEaseInAndOut)
{
    auto view = make();
    auto* header = child<QWidget>(*view, "backupChoiceHeader");
    auto* panel = child<QWidget>(*view, "backupChoicePanel");
    auto* chevron = header->findChild<EasedLevel*>();
    tap(header);
    QTest::qWait(Fader::kDefaultMs / 3);
    EXPECT_GT(chevron->value(), 0.0);
    EXPECT_LT(chevron->value(), 1.0);
    EXPECT_LT(panel->parentWidget()->height(), panel->height()) << "the panel opens over time";
    QTest::qWait(Fader::kDefaultMs);
    EXPECT_EQ(chevron->value(), 1.0);
    EXPECT_EQ(panel->parentWidget()->height(), panel->height());

    auto* signature = child<QWidget>(*view, "authorSignature");
    auto* hover = signature->findChild<EasedLevel*>();
    reveal(signature);
    view->window()->activateWindow();
    QTest::mouseMove(view->window()->windowHandle(), signature->mapTo(view->window(), signature->rect().center()));
    QTest::qWait(60);
    EXPECT_GT(hover->value(), 0.0);
    EXPECT_LT(hover->value(), 1.0);
    QTest::qWait(200);
    EXPECT_EQ(hover->value(), 1.0);
    QTest::mouseMove(view->window()->windowHandle(), QPoint(2, 2));
    QTest::qWait(250);
    EXPECT_EQ(hover->value(), 0.0);
}

TEST_F(SettingsViewTest, TheSignatureOpensTheAboutPopupOnce)
{
    auto view = make();
    int made = 0;
    view->setAboutAuthorFactory([&made](QWidget* parent) {
        ++made;
        return new QDialog(parent);
    });
    tap(child<QWidget>(*view, "authorSignature"));
    tap(child<QWidget>(*view, "authorSignature"));
    EXPECT_EQ(made, 1);
}

TEST_F(SettingsViewTest, ScreenshotsInBothThemes)
{
    const QString dirPath = QCoreApplication::applicationDirPath() + "/../../screenshots";
    QDir().mkpath(dirPath);
    for (AppThemeStyle style : AppThemeStyles::allCases()) {
        ThemeObserver::shared().setStyle(style);
        auto view = make();
        view->resize(560, 1600);
        tap(child<QWidget>(*view, "backupChoiceHeader"));
        QTest::qWait(Fader::kDefaultMs + 50);
        // One theme shows a success, the other a failure: the marks must read apart.
        view->showBackupMessage(style == AppThemeStyle::dark
                                    ? "✅ 备份导出成功！\n文件：Kelvara备份_20250102_030405.kvbak\n大小：2048 字节"
                                    : "❌ 导出失败，请检查磁盘空间或系统权限");
        QTest::qWait(20);
        EXPECT_TRUE(view->grab().save(dirPath + "/settings-" + AppThemeStyles::rawValue(style) + ".png"));
    }
    auto drawn = [](const QString& mark) {
        QImage image(40, 40, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setFont(Fonts::system(12)); // the message line's font
        p.drawText(image.rect(), Qt::AlignCenter, mark);
        return image;
    };
    EXPECT_NE(drawn("✅"), drawn("❌")) << "a colour emoji font draws the two marks";
}
