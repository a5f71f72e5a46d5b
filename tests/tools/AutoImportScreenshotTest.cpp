#include "AutoImportTestSupport.h"

#include "tools/AutoImportController.h"
#include "tools/AutoImportIdleView.h"
#include "tools/AutoImportProgressView.h"
#include "tools/AutoImportView.h"
#include "ui/AppTheme.h"
#include "ui/FireworkView.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedPanel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

// Pictures of every state of the import screen in both themes, for a person
// to look at: <build>/screenshots/import-*.png. The checks here only make
// sure each picture shows the state it is named after.
namespace {

QString shotPath(const QString& name)
{
    // The test binary lives in <build>/tests/tools.
    QDir build(QCoreApplication::applicationDirPath());
    build.cdUp();
    build.cdUp();
    const QString dir = build.absolutePath() + "/screenshots";
    QDir().mkpath(dir);
    return dir + "/" + name + ".png";
}

struct Screen : ImportFixture
{
    explicit Screen(QSize size = {860, 632})
        : backdrop(&AppTheme::background)
    {
        controller.setDateProvider([] { return QDate(2026, 3, 7); });
        controller.setDesktopPath(desktop());
        controller.setSoundPlayer([](float) {});
        auto* layout = new QVBoxLayout(&backdrop);
        layout->setContentsMargins(0, 0, 0, 0);
        view = new AutoImportView(&controller, &backdrop);
        layout->addWidget(view);
        backdrop.resize(size);
        backdrop.show();
    }
    // `settle` lets the firework finish its burst on the ended forms.
    void save(const QString& name, int settle = 30)
    {
        QTest::qWait(settle);
        const QImage image = backdrop.grab().toImage();
        ASSERT_FALSE(image.isNull());
        ASSERT_TRUE(image.save(shotPath(name))) << shotPath(name).toStdString();
    }
    bool runToEnd()
    {
        QSignalSpy done(&controller, &AutoImportController::runFinished);
        view->processFolder(card());
        return done.wait(10000);
    }
    AutoImportController controller;
    ThemedPanel backdrop;
    AutoImportView* view = nullptr;
};

constexpr int kBurstMs = FireworkView::kDurationMs + 100;

void everyState(AppThemeStyle style)
{
    Fonts::installApplicationFont();
    {
        ThemeObserver::shared().setStyle(style);
        const QString theme = AppThemeStyles::rawValue(style);

        {
            Screen idle;
            idle.save("import-idle-" + theme);
            ASSERT_FALSE(idle.view->isShowingProgress());
        }
        {
            // The narrowest detail area with a long stored root.
            Screen narrow(QSize(660, 532));
            AutoImportController::setImportRootPath(
                "/media/photographer/EOS_DIGITAL/a/very/long/path/that/cannot/fit/on/one/line/2026");
            narrow.save("import-idle-narrow-" + theme);
            AutoImportController::setImportRootPath(QString());
        }
        {
            Screen running;
            for (int i = 1; i <= 7; ++i)
                running.card(QString("DCIM/100CANON/IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0')));
            // Third in name order, so it is the file shown in hand.
            running.card("DCIM/100CANON/IMG_0002_A_VERY_LONG_FILE_NAME_FROM_A_CAMERA_THAT_NAMES_ITS_FILES_"
                         "VERBOSELY_2026_03_07_0001_FINAL_EDIT_EXPORTED_AGAIN_FOR_THE_CLIENT.CR3");
            QSemaphore inCopy;
            QSemaphore proceed;
            int copies = 0;
            running.controller.setCopyFault([&](const QString&) {
                if (++copies == 4) {
                    inCopy.release();
                    proceed.acquire();
                }
                return QString();
            });
            QSignalSpy done(&running.controller, &AutoImportController::runFinished);
            running.view->processFolder(running.card());
            inCopy.acquire();
            QTRY_COMPARE(running.controller.processedCount(), 3);
            running.save("import-running-" + theme);
            EXPECT_EQ(running.view->progressView()->form(), AutoImportProgressView::Form::running);

            QTest::mouseClick(running.view->progressView()->cancelButton(), Qt::LeftButton);
            proceed.release();
            ASSERT_TRUE(done.wait(10000));
            running.save("import-cancelled-" + theme, kBurstMs);
            EXPECT_EQ(running.view->progressView()->form(), AutoImportProgressView::Form::cancelled);
        }
        {
            Screen completed;
            completed.card("DCIM/a.JPG");
            completed.card("DCIM/b.CR3");
            completed.card("v.MP4");
            ASSERT_TRUE(completed.runToEnd());
            ASSERT_TRUE(completed.runToEnd()); // everything a duplicate the second time
            completed.card("DCIM/c.JPG");
            ASSERT_TRUE(completed.runToEnd());
            completed.save("import-completed-" + theme, kBurstMs);
            EXPECT_EQ(completed.view->progressView()->form(), AutoImportProgressView::Form::completed);
        }
        {
            Screen failed;
            failed.card("a.JPG");
            failed.card("b.JPG");
            ImportFixture::write(failed.desktop() + "/3.7-相机导出/照片"); // blocks the photo folder
            ASSERT_TRUE(failed.runToEnd());
            failed.save("import-failed-" + theme, kBurstMs);
            EXPECT_EQ(failed.view->progressView()->resultLines().last(), "失败：2个");
        }
    }
}

} // namespace

TEST(AutoImportScreenshots, EveryStateDark) { everyState(AppThemeStyle::dark); }
TEST(AutoImportScreenshots, EveryStateLight) { everyState(AppThemeStyle::light); }
