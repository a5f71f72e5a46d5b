#include "orderbook/BackupManager.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"
#include "settings/AppIconManager.h"
#include "settings/LauncherIconSync.h"
#include "settings/SettingsView.h"
#include "settings/UniformVolumeSlider.h"
#include "ui/AppTheme.h"
#include "ui/PlateButton.h"
#include "ui/ThemeObserver.h"
#include "ui/ToggleSwitch.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

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
    void writeTool(const QString& name, int code)
    {
        QFile f(tools.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("#!/bin/sh\necho \"%1 $*\" >> %2/calls\nexit %3\n")
                    .arg(name, tools.path()).arg(code).toUtf8());
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
class SettingsViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const QString& key : UserDefaults::standard().dictionaryRepresentation().keys())
            UserDefaults::standard().remove(key);
        UserDefaults::standard().set("launchpadSync", false);
    }
    std::unique_ptr<SettingsView> make()
    {
        auto view = std::make_unique<SettingsView>();
        view->setMessageHideInterval(50);
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
    QTest::mouseClick(child<PlateButton>(*view, "launchPage_FTP传输"), Qt::LeftButton);
    EXPECT_EQ(UserDefaults::standard().string("defaultLaunchPage"), "FTP传输");
    QTest::mouseClick(child<ToggleSwitch>(*view, "autoBackupEnabledSwitch"), Qt::LeftButton);
    EXPECT_EQ(UserDefaults::standard().object("autoBackupEnabled"), QVariant(false));

    UserDefaults::standard().set("appIconStyle", "orange");
    EXPECT_EQ(AppIconManager::savedStyle(), AppIconStyle::classic);
    EXPECT_EQ(UserDefaults::standard().string("appIconStyle"), "orange");
    QTest::mouseClick(child<QWidget>(*view, "iconChoice_cameraGold"), Qt::LeftButton);
    EXPECT_EQ(UserDefaults::standard().string("appIconStyle"), "cameraGold");

    UserDefaults::standard().set("autoImportVolume", 250);
    EXPECT_EQ(child<QLabel>(*view, "volumeLabel")->text(), "音量：100%");
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

TEST_F(SettingsViewTest, ExportsTheChosenContentAndImportsItBack)
{
    UserDefaults::standard().set("scheduleRecycleBin", "[1]");
    UserDefaults::standard().set("autoImportSound", false);
    auto view = make();
    QTest::mouseClick(child<QWidget>(*view, "backupChoiceHeader"), Qt::LeftButton);
    QTest::mouseClick(child<ToggleSwitch>(*view, "backupChoice2"), Qt::LeftButton);
    EXPECT_EQ(view->backupChoices(), QList<bool>({true, true, false, true}));

    savePath = dir.path() + "/" + SettingsView::suggestedBackupName(QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5)));
    QTest::mouseClick(child<QWidget>(*view, "exportBackupButton"), Qt::LeftButton);
    settle();
    EXPECT_TRUE(suggested.startsWith("Kelvara备份_") && suggested.endsWith(".kvbak"));
    const QString saved = readAll(savePath);
    EXPECT_TRUE(saved.contains("autoImportSound"));
    EXPECT_FALSE(saved.contains("scheduleRecycleBin"));
    const QString size = QString::number(QFileInfo(savePath).size());
    EXPECT_EQ(view->backupMessage(), "✅ 备份导出成功！\n文件：Kelvara备份_20250102_030405.kvbak\n大小：" + size + " 字节");
    EXPECT_TRUE(child<QLabel>(*view, "backupMessage")->isVisible());
    EXPECT_EQ(log.lines.first(), "💾 开始导出备份到: " + savePath);
    EXPECT_EQ(log.lines.last(), "💾 备份文件已生成: " + savePath + ", 大小: " + size + " 字节");
    QTest::qWait(120);
    EXPECT_FALSE(child<QLabel>(*view, "backupMessage")->isVisible());

    savePath = dir.path() + "/missing/folder/x.kvbak";
    QTest::mouseClick(child<QWidget>(*view, "exportBackupButton"), Qt::LeftButton);
    settle();
    EXPECT_EQ(view->backupMessage(), "❌ 导出失败，请检查磁盘空间或系统权限");

    const QString exported = dir.path() + "/Kelvara备份_20250102_030405.kvbak";
    QFile list(dir.path() + "/list.kvbak");
    list.open(QIODevice::WriteOnly);
    list.write("[]");
    list.close();
    const QList<std::pair<QString, QString>> imports{
        {exported, "✅ 导入完成，请重启软件生效\n备份导入成功，请重启软件使全部数据生效"},
        {dir.path() + "/list.kvbak", "❌ 导入失败：备份文件格式无效"},
        {dir.path() + "/gone.kvbak", "❌ 导入失败：文件不存在"},
    };
    for (const auto& [path, message] : imports) {
        openPath = path;
        QTest::mouseClick(child<QWidget>(*view, "importBackupButton"), Qt::LeftButton);
        settle();
        EXPECT_EQ(view->backupMessage(), message) << path.toStdString();
    }

    log.lines.clear();
    openPath.clear();
    savePath.clear();
    QTest::mouseClick(child<QWidget>(*view, "importBackupButton"), Qt::LeftButton);
    QTest::mouseClick(child<QWidget>(*view, "exportBackupButton"), Qt::LeftButton);
    EXPECT_EQ(log.lines, QStringList({"💾 用户取消了导入备份", "💾 用户取消了导出备份"}));
}

TEST_F(SettingsViewTest, TheSignatureOpensTheAboutPopupOnce)
{
    auto view = make();
    int made = 0;
    view->setAboutAuthorFactory([&made](QWidget* parent) {
        ++made;
        return new QDialog(parent);
    });
    QTest::mouseClick(child<QWidget>(*view, "authorSignature"), Qt::LeftButton);
    QTest::mouseClick(child<QWidget>(*view, "authorSignature"), Qt::LeftButton);
    EXPECT_EQ(made, 1);
}

TEST_F(SettingsViewTest, ScreenshotsInBothThemes)
{
    const QString dirPath = QCoreApplication::applicationDirPath() + "/../../screenshots";
    QDir().mkpath(dirPath);
    for (AppThemeStyle style : AppThemeStyles::allCases()) {
        ThemeObserver::shared().setStyle(style);
        auto view = make();
        view->resize(560, 1500);
        QTest::mouseClick(child<QWidget>(*view, "backupChoiceHeader"), Qt::LeftButton);
        view->showBackupMessage("✅ 备份导出成功！\n文件：Kelvara备份_20250102_030405.kvbak\n大小：2048 字节");
        QTest::qWait(20);
        EXPECT_TRUE(view->grab().save(dirPath + "/settings-" + AppThemeStyles::rawValue(style) + ".png"));
    }
}
