#include "app/AboutWindow.h"
#include "app/AppDelegate.h"
#include "app/ContentView.h"
#include "app/GlobalSearchManager.h"
#include "app/MainWindow.h"
#include "UpdateStub.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "settings/AppIconManager.h"
#include "ui/FireworkView.h"
#include "ui/Fonts.h"
#include "ui/ThemedPanel.h"
#include "ui/AppTheme.h"
#include "ui/ThemeObserver.h"

#include "LayoutCheck.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QTest>

namespace {
// Next to the application binary, so a reviewer finds them in the build folder.
QString shotPath(const QString& name)
{
    const QString dir = QFileInfo(QStringLiteral(TESSARY_BINARY)).absolutePath() + "/screenshots";
    QDir().mkpath(dir);
    return dir + "/" + name + ".png";
}

void save(QWidget& w, const QString& name)
{
    QTest::qWait(30);
    const QImage image = w.grab().toImage();
    ASSERT_FALSE(image.isNull());
    ASSERT_TRUE(image.save(shotPath(name))) << shotPath(name).toStdString();
    expectCleanLayout(&w);
}
}

TEST(ScreenshotTest, MainWindowInBothThemes)
{
    Fonts::installApplicationFont();
    UserDefaults::standard().set("hasNewReply", true);
    UserDefaults::standard().set("autoCheckUpdate", false);
    for (AppThemeStyle style : AppThemeStyles::allCases()) {
        ThemeObserver::shared().setStyle(style);
        const QString theme = AppThemeStyles::rawValue(style);
        MainWindow w;
        w.show();
        checkAgainst(w.contentView()->updateChecker(), "3.6\nu\n");
        save(w, "main-" + theme);
        w.contentView()->searchManager()->setSearchText("设置");
        save(w, "main-search-" + theme);
        w.contentView()->searchManager()->setSearchText("没有这个");
        save(w, "main-search-empty-" + theme);
        w.contentView()->searchManager()->setSearchText({});
        const QStringList pages{"档期收入", "批量小工具", "自动删废片", "在线选片"};
        for (int i = 0; i < pages.size(); ++i) {
            NotificationCenter::defaultCenter().post("NavigateToMenu", pages[i]);
            save(w, QString("main-%1-page%2").arg(theme).arg(i + 1));
        }
        w.resize(w.minimumSize());
        NotificationCenter::defaultCenter().post("NavigateToMenu", QString("自动导片"));
        save(w, "main-min-" + theme);
        NotificationCenter::defaultCenter().post("NavigateToMenu", pages[0]);
        save(w, "main-min-page1-" + theme);
        AppIconManager::applySaved(); // as the launch actions do
        AppDelegate delegate;
        delegate.showCustomAboutPanel();
        save(*delegate.aboutWindow(), "about-" + theme);
    }
}

TEST(ScreenshotTest, FireworkAfterItsBurst)
{
    ThemedPanel backdrop(&AppTheme::cardBackground);
    backdrop.resize(70, 70);
    auto* firework = new FireworkView(&backdrop);
    backdrop.show();
    QTest::qWait(FireworkView::kDurationMs + 100);
    EXPECT_DOUBLE_EQ(firework->progress(), 1.0);
    const QImage image = backdrop.grab().toImage().scaled(280, 280);
    ASSERT_TRUE(image.save(shotPath("firework")));
}

TEST(ScreenshotTest, EveryIconStyleDrawsAVisibleIcon)
{
    QImage strip(3 * 140, 140, QImage::Format_ARGB32_Premultiplied);
    strip.fill(QColor(0x80, 0x80, 0x80));
    QPainter painter(&strip);
    int x = 10;
    for (AppIconStyle style : AppIconStyles::allCases()) {
        const QImage image = AppIconManager::makeImage(style, 120);
        ASSERT_EQ(image.size(), QSize(120, 120));
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << int(style); // rounded corner
        EXPECT_EQ(image.pixelColor(60, 10).alpha(), 255) << int(style);
        painter.drawImage(x, 10, image);
        x += 140;
    }
    painter.end();
    ASSERT_TRUE(strip.save(shotPath("icons")));
}
