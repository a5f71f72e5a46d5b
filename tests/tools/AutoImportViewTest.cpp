#include "AutoImportTestSupport.h"

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "tools/AutoImportController.h"
#include "tools/AutoImportDropZone.h"
#include "tools/AutoImportElidedLabel.h"
#include "tools/AutoImportIdleView.h"
#include "tools/AutoImportProgressView.h"
#include "tools/AutoImportToggleSwitch.h"
#include "tools/AutoImportView.h"
#include "ui/AppTheme.h"

#include <gtest/gtest.h>

#include <QDragEnterEvent>
#include <QMimeData>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

namespace {

struct ViewFixture : ImportFixture
{
    ViewFixture()
        : view(&controller, nullptr)
    {
        controller.setDateProvider([] { return QDate(2026, 3, 7); });
        controller.setDesktopPath(desktop());
        controller.setSoundPlayer([](float) {});
        view.resize(900, 800);
        view.show();
    }
    bool runToEnd(const QString& source)
    {
        QSignalSpy done(&controller, &AutoImportController::runFinished);
        view.processFolder(source);
        return done.wait(10000);
    }
    AutoImportProgressView* panel() const { return view.progressView(); }
    AutoImportController controller;
    AutoImportView view;
};

void sendDrag(QWidget* target, const QList<QUrl>& urls, bool drop)
{
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint centre = target->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (drop) {
        QDropEvent dropEvent(QPointF(centre), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropEvent);
    }
}

} // namespace

TEST(AutoImportView, FollowsTheRunFromIdleToTheCompletedForm)
{
    ViewFixture fx;
    EXPECT_FALSE(fx.view.isShowingProgress());
    fx.card("a.JPG");
    fx.card("b.JPG");
    fx.card("v.MP4");

    ASSERT_TRUE(fx.runToEnd(fx.card()));
    EXPECT_TRUE(fx.view.isShowingProgress());
    auto* panel = fx.panel();
    EXPECT_EQ(panel->form(), AutoImportProgressView::Form::completed);
    EXPECT_EQ(panel->titleText(), "导片完成");
    EXPECT_EQ(panel->percentText(), "100%");
    EXPECT_EQ(panel->barValue(), 1000);
    EXPECT_NE(panel->firework(), nullptr);
    EXPECT_TRUE(panel->cancelButton()->isHidden());
    EXPECT_EQ(panel->resultLines(), QStringList({"照片：2张", "视频：1个", "跳过重复：0个"}));

    // The next card dropped on the completed panel runs in the same panel.
    ASSERT_TRUE(fx.runToEnd(fx.card()));
    EXPECT_TRUE(fx.view.isShowingProgress());
    EXPECT_EQ(panel->resultLines(), QStringList({"照片：0张", "视频：0个", "跳过重复：3个"}));
}

TEST(AutoImportView, RunningFormShowsIntegerPercentagesAndCancels)
{
    ViewFixture fx;
    for (const char* n : {"a", "b", "c", "d", "e", "f", "g", "h"})
        fx.card(QString::fromLatin1(n) + ".JPG");
    QSemaphore atFourth;
    QSemaphore proceed;
    int copies = 0;
    fx.controller.setCopyFault([&](const QString&) {
        if (++copies == 4) {
            atFourth.release();
            proceed.acquire();
        }
        return QString();
    });
    QSignalSpy done(&fx.controller, &AutoImportController::runFinished);
    fx.view.processFolder(fx.card());
    auto* panel = fx.panel();
    EXPECT_EQ(panel->form(), AutoImportProgressView::Form::running);
    EXPECT_EQ(panel->titleText(), "正在导片");
    EXPECT_EQ(panel->countText(), "当前复制：0 / 0"); // the total arrives with the scan
    atFourth.acquire();
    QTRY_COMPARE(fx.controller.processedCount(), 3);
    EXPECT_EQ(panel->percentText(), "37%");
    EXPECT_EQ(panel->barValue(), 375);
    EXPECT_EQ(panel->countText(), "当前复制：3 / 8");
    EXPECT_EQ(panel->currentFileText(), "c.JPG");
    EXPECT_TRUE(panel->resultLines().isEmpty());

    QTest::mouseClick(panel->cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(fx.lines().contains("🛑 [取消] 用户点击取消导入，将在当前文件复制完成后停止（已复制文件保留）"));
    EXPECT_EQ(panel->form(), AutoImportProgressView::Form::running); // until the worker stops
    proceed.release();
    ASSERT_TRUE(done.wait(10000));
    EXPECT_EQ(panel->form(), AutoImportProgressView::Form::cancelled);
    EXPECT_EQ(panel->titleText(), "已取消导入");
    EXPECT_EQ(panel->percentText(), "100%");
    EXPECT_EQ(panel->resultLines(), QStringList({"用户已取消导入，请勿立刻格式化存储卡", "照片：4张", "视频：0个",
                                                 "跳过重复：0个"}));
}

TEST(AutoImportView, FailuresGetTheirOwnLine)
{
    ViewFixture fx;
    fx.card("a.JPG");
    ImportFixture::write(fx.desktop() + "/3.7-相机导出/照片");
    ASSERT_TRUE(fx.runToEnd(fx.card()));
    EXPECT_EQ(fx.panel()->resultLines().last(), "失败：1个");
}

TEST(AutoImportView, DropsOnTheIdleZone)
{
    ViewFixture fx;
    auto* zone = fx.view.idleView()->dropZone();
    ImportFixture::write(fx.path("single.JPG"));
    fx.card("a.JPG");

    sendDrag(zone, {QUrl::fromLocalFile(fx.path("single.JPG"))}, false);
    EXPECT_TRUE(zone->isTargeted());
    EXPECT_EQ(zone->borderColor(), AppTheme::gold());
    EXPECT_EQ(zone->borderWidth(), 2.5);
    QDragLeaveEvent leave;
    QApplication::sendEvent(zone, &leave);
    EXPECT_FALSE(zone->isTargeted());
    EXPECT_EQ(zone->borderColor(), AppTheme::dropZoneBorder());
    EXPECT_EQ(zone->borderWidth(), 1.5);

    // A file is accepted as a drop but ignored.
    sendDrag(zone, {QUrl::fromLocalFile(fx.path("single.JPG"))}, true);
    EXPECT_EQ(fx.lines(), QStringList({"📥 [拖拽] 检测到放下动作", "📥 [拖拽] handleDrop 被调用",
                                      "📥 [拖拽] 获取到URL: " + fx.path("single.JPG"), "⚠️ [拖拽] 不是文件夹，已忽略"}));
    EXPECT_FALSE(fx.view.isShowingProgress());

    // Of two folders only the first is imported.
    QSignalSpy done(&fx.controller, &AutoImportController::runFinished);
    fx.clearLines();
    sendDrag(zone, {QUrl::fromLocalFile(fx.card()), QUrl::fromLocalFile(fx.path("other"))}, true);
    EXPECT_TRUE(fx.lines().contains("✅ [拖拽] 是文件夹，开始导片"));
    ASSERT_TRUE(done.wait(10000));
    EXPECT_TRUE(fx.view.isShowingProgress());
    EXPECT_TRUE(fx.lines().contains("🚀 [导片] 开始导片，源路径: " + fx.card()));

    // The completed panel takes drops without the detection line.
    fx.clearLines();
    sendDrag(fx.panel(), {QUrl::fromLocalFile(fx.card())}, true);
    ASSERT_TRUE(done.wait(10000));
    EXPECT_EQ(fx.lines().first(), "📥 [拖拽] handleDrop 被调用");
}

TEST(AutoImportView, NotificationStartsOnlyForAFolderUrl)
{
    ViewFixture fx;
    fx.card("a.JPG");
    ImportFixture::write(fx.path("file.JPG"));
    auto& center = NotificationCenter::defaultCenter();

    center.post("AutoImportFolder", fx.card()); // a path string is not a URL
    center.post("AutoImportFolder");
    EXPECT_TRUE(fx.lines().isEmpty());
    center.post("AutoImportFolder", QUrl::fromLocalFile(fx.path("file.JPG")));
    EXPECT_EQ(fx.lines().last(), "⚠️ [快捷指令] 传入路径不是文件夹，已忽略: " + fx.path("file.JPG"));
    EXPECT_FALSE(fx.controller.isProcessing());

    QSignalSpy done(&fx.controller, &AutoImportController::runFinished);
    center.post("AutoImportFolder", QUrl::fromLocalFile(fx.card()));
    EXPECT_TRUE(fx.controller.isProcessing());
    EXPECT_TRUE(fx.lines().contains("📲 [快捷指令] 收到传入路径: " + fx.card()));
    ASSERT_TRUE(done.wait(10000));
    EXPECT_EQ(fx.controller.photoCount(), 1);
}

TEST(AutoImportView, SwitchPathLineAndPickers)
{
    ViewFixture fx;
    auto* idle = fx.view.idleView();
    EXPECT_EQ(idle->pathLine()->text(), AutoImportController::importRootDisplayPath());
    EXPECT_FALSE(idle->dailySwitch()->isChecked());
    EXPECT_DOUBLE_EQ(idle->dailySwitch()->outlineOpacity(), 0.4);

    QTest::mouseClick(idle->dailySwitch(), Qt::LeftButton);
    EXPECT_EQ(UserDefaults::standard().object("dailyNewFolder"), QVariant(true));
    EXPECT_DOUBLE_EQ(idle->dailySwitch()->outlineOpacity(), 0.8);
    UserDefaults::standard().set("dailyNewFolder", false); // the settings screen may write it too
    EXPECT_FALSE(idle->dailySwitch()->isChecked());

    QString answer = fx.path("photos");
    QList<AutoImportView::Purpose> asked;
    fx.view.setFolderChooser([&](AutoImportView::Purpose p) {
        asked << p;
        return answer;
    });
    QTest::mouseClick(idle->chooseRootButton(), Qt::LeftButton);
    EXPECT_EQ(UserDefaults::standard().string("autoImportRootPath"), fx.path("photos"));
    EXPECT_EQ(idle->pathLine()->text(), fx.path("photos"));
    EXPECT_EQ(fx.lines().last(), "📁 [导片] 已选择照片存放位置: " + fx.path("photos"));

    answer.clear();
    QTest::mouseClick(idle->chooseCardButton(), Qt::LeftButton);
    EXPECT_EQ(asked, QList<AutoImportView::Purpose>({AutoImportView::Purpose::destination,
                                                     AutoImportView::Purpose::card}));
    EXPECT_EQ(fx.lines().mid(fx.lines().size() - 2),
              QStringList({"📂 [选择] 弹出文件选择器", "📂 [选择] 用户取消了选择"}));
    EXPECT_FALSE(fx.view.isShowingProgress());
}

TEST(AutoImportView, LongFileNamesLoseTheirMiddle)
{
    AutoImportElidedLabel label(QFont(), [] { return QColor(Qt::white); });
    label.resize(120, 20);
    const QString name = "BEGIN_" + QString(200, 'x') + "_END.JPG";
    label.setText(name);
    const QString shown = label.shownText();
    EXPECT_TRUE(shown.startsWith("BEG"));
    EXPECT_TRUE(shown.endsWith(".JPG"));
    EXPECT_LT(shown.size(), name.size());
}

TEST(AutoImportView, ClosingTheScreenMidRunLosesNothing)
{
    ImportFixture fx;
    AutoImportController controller;
    controller.setDateProvider([] { return QDate(2026, 3, 7); });
    controller.setDesktopPath(fx.desktop());
    controller.setSoundPlayer([](float) {});
    fx.card("a.JPG");
    fx.card("b.JPG");
    QSemaphore inCopy;
    QSemaphore proceed;
    controller.setCopyFault([&](const QString&) {
        inCopy.release();
        proceed.acquire();
        return QString();
    });
    QSignalSpy done(&controller, &AutoImportController::runFinished);

    // The picker is answered after the screen has gone (a navigation while
    // the panel was open): the run still starts, on the controller.
    auto* first = new AutoImportView(&controller, nullptr);
    first->setFolderChooser([&first, card = fx.card()](AutoImportView::Purpose) {
        const QString answer = card; // this closure goes with the screen
        delete first;
        return answer;
    });
    first->showFilePicker();
    EXPECT_TRUE(controller.isProcessing());
    inCopy.acquire();

    // A screen built mid-run shows the run in hand and cancels it.
    AutoImportView second(&controller, nullptr);
    second.show();
    EXPECT_TRUE(second.isShowingProgress());
    QTest::mouseClick(second.progressView()->cancelButton(), Qt::LeftButton);
    proceed.release(10);
    ASSERT_TRUE(done.wait(10000));
    EXPECT_EQ(second.progressView()->form(), AutoImportProgressView::Form::cancelled);
    EXPECT_EQ(controller.photoCount(), 1);
    EXPECT_TRUE(QFileInfo::exists(fx.desktop() + "/3.7-相机导出/照片/a.JPG"));
}
