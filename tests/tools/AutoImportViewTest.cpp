#include "AutoImportTestSupport.h"

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "tools/FolderDropZone.h"
#include "ui/ElidedLabel.h"
#include "tools/AutoImportIdleView.h"
#include "tools/AutoImportProgressView.h"
#include "ui/ToggleSwitch.h"
#include "tools/AutoImportView.h"

#include "UserInput.h"

#include <QPushButton>

#include <memory>

// The states of the progress panel are walked in AutoImportScreenshotTest.
namespace {

using ViewFixture = ToolScreen<AutoImportController, AutoImportView>;

// Builds a screen on `controller`, shown, as a page switch does.
std::unique_ptr<AutoImportView> showScreen(AutoImportController& controller)
{
    auto view = std::make_unique<AutoImportView>(&controller, nullptr);
    view->resize(900, 800);
    view->show();
    return view;
}

} // namespace

TEST(AutoImportView, DropsOnTheIdleZone)
{
    ViewFixture fx;
    auto* zone = fx.view->idleView()->dropZone();
    const QUrl file = QUrl::fromLocalFile(fx.path("single.JPG"));
    ImportFixture::write(fx.path("single.JPG"));
    fx.card("a.JPG");

    sendDrag(zone, {file}, false);
    EXPECT_TRUE(zone->isTargeted());
    const QColor targeted = zone->borderColor();
    QDragLeaveEvent leave;
    QApplication::sendEvent(zone, &leave);
    EXPECT_FALSE(zone->isTargeted());
    EXPECT_NE(zone->borderColor(), targeted);

    // A file is accepted as a drop but ignored.
    sendDrag(zone, {file}, true);
    EXPECT_EQ(fx.lines(), QStringList({"📥 [拖拽] 检测到放下动作", "📥 [拖拽] handleDrop 被调用",
                                      "📥 [拖拽] 获取到URL: " + fx.path("single.JPG"), "⚠️ [拖拽] 不是文件夹，已忽略"}));
    EXPECT_FALSE(fx.view->isShowingProgress());

    // Of two folders only the first is imported.
    fx.clearLines();
    ASSERT_TRUE(fx.runToEnd(
        [&] { sendDrag(zone, {QUrl::fromLocalFile(fx.card()), QUrl::fromLocalFile(fx.path("other"))}, true); }));
    EXPECT_TRUE(fx.lines().contains("✅ [拖拽] 是文件夹，开始导片"));
    EXPECT_TRUE(fx.view->isShowingProgress());
    EXPECT_TRUE(fx.lines().contains("🚀 [导片] 开始导片，源路径: " + fx.card()));

    // The completed panel takes drops without the detection line.
    fx.clearLines();
    ASSERT_TRUE(fx.runToEnd([&] { sendDrag(fx.view->progressView(), {QUrl::fromLocalFile(fx.card())}, true); }));
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

    ASSERT_TRUE(fx.runToEnd([&] {
        center.post("AutoImportFolder", QUrl::fromLocalFile(fx.card()));
        EXPECT_TRUE(fx.controller.isProcessing());
    }));
    EXPECT_TRUE(fx.lines().contains("📲 [快捷指令] 收到传入路径: " + fx.card()));
    EXPECT_EQ(fx.controller.photoCount(), 1);
}

TEST(AutoImportView, SwitchPathLineAndPickers)
{
    ViewFixture fx;
    auto* idle = fx.view->idleView();
    EXPECT_EQ(idle->pathLine()->text(), AutoImportController::importRootDisplayPath());
    EXPECT_FALSE(idle->dailySwitch()->isChecked());
    UserInput::click(idle->dailySwitch());
    EXPECT_EQ(UserDefaults::standard().object("dailyNewFolder"), QVariant(true));
    UserDefaults::standard().set("dailyNewFolder", false); // the settings screen may write it too
    EXPECT_FALSE(idle->dailySwitch()->isChecked());

    QString answer = fx.path("photos");
    QList<AutoImportView::Purpose> asked;
    fx.view->setFolderChooser([&](AutoImportView::Purpose p) {
        asked << p;
        return answer;
    });
    UserInput::click(idle->chooseRootButton());
    EXPECT_EQ(UserDefaults::standard().string("autoImportRootPath"), fx.path("photos"));
    EXPECT_EQ(idle->pathLine()->text(), fx.path("photos"));
    EXPECT_EQ(fx.lines().last(), "📁 [导片] 已选择照片存放位置: " + fx.path("photos"));

    answer.clear();
    UserInput::click(idle->chooseCardButton());
    EXPECT_EQ(asked, QList<AutoImportView::Purpose>({AutoImportView::Purpose::destination,
                                                     AutoImportView::Purpose::card}));
    EXPECT_EQ(fx.lines().mid(fx.lines().size() - 2),
              QStringList({"📂 [选择] 弹出文件选择器", "📂 [选择] 用户取消了选择"}));
    EXPECT_FALSE(fx.view->isShowingProgress());
}

// The launch page opens idle: its progress panel waits for the first run,
// so the first frame does not build it.
TEST(AutoImportView, TheProgressPanelIsBuiltWithTheFirstRunItShows)
{
    ViewFixture fx;
    fx.card("a.JPG");
    EXPECT_TRUE(fx.view->findChildren<AutoImportProgressView*>().isEmpty());
    ASSERT_TRUE(fx.runToEnd([&] { fx.view->processFolder(fx.card()); }));
    const QList<AutoImportProgressView*> panels = fx.view->findChildren<AutoImportProgressView*>();
    ASSERT_EQ(panels.size(), 1);
    EXPECT_TRUE(panels.first()->isVisible());
    EXPECT_EQ(panels.first()->form(), AutoImportProgressView::Form::completed);
    // A screen built after a run ended opens idle, with its panel unbuilt.
    const auto next = showScreen(fx.controller);
    EXPECT_FALSE(next->isShowingProgress());
    EXPECT_TRUE(next->findChildren<AutoImportProgressView*>().isEmpty());
}

TEST(AutoImportView, ClosingTheScreenMidRunLosesNothing)
{
    ControllerFixture fx;
    fx.card("a.JPG");
    fx.card("b.JPG");
    CopyGate gate(1);
    QSignalSpy done(&fx.controller, &AutoImportController::runFinished);

    // The picker is answered after the screen has gone (a navigation while
    // the panel was open): the run still starts, on the controller.
    auto* first = new AutoImportView(&fx.controller, nullptr);
    first->setFolderChooser([&first, card = fx.card()](AutoImportView::Purpose) {
        const QString answer = card; // this closure goes with the screen
        delete first;
        return answer;
    });
    first->showFilePicker();
    EXPECT_TRUE(fx.controller.isProcessing());
    gate.reached.acquire();

    // A screen built mid-run shows the run in hand and cancels it.
    const auto second = showScreen(fx.controller);
    EXPECT_TRUE(second->isShowingProgress());
    UserInput::click(second->progressView()->cancelButton());
    gate.proceed.release();
    ASSERT_TRUE(takeSignal(done));
    EXPECT_EQ(second->progressView()->form(), AutoImportProgressView::Form::cancelled);
    EXPECT_EQ(fx.controller.photoCount(), 1);
    EXPECT_TRUE(QFileInfo::exists(fx.photos() + "/a.JPG"));
}

// "可以继续选择下一张存储卡": once a run has ended, completed, failed or
// cancelled, a click on the panel opens the card chooser; while it runs it
// does nothing.
TEST(AutoImportView, AClickOnTheEndedPanelChoosesTheNextCard)
{
    ViewFixture fx;
    fx.card("a.JPG");
    int asked = 0;
    fx.view->setFolderChooser([&](AutoImportView::Purpose p) {
        EXPECT_EQ(p, AutoImportView::Purpose::card);
        ++asked;
        return asked == 1 ? fx.card() : QString();
    });
    QWidget* panel = fx.view->progressView();
    {
        CopyGate gate(1);
        QSignalSpy done(&fx.controller, &AutoImportController::runFinished);
        fx.view->processFolder(fx.card());
        gate.reached.acquire();
        UserInput::click(panel);
        EXPECT_EQ(asked, 0);
        gate.proceed.release();
        ASSERT_TRUE(takeSignal(done));
    }
    // The first answer starts the next card in the same panel.
    ASSERT_TRUE(fx.runToEnd([&] { UserInput::click(panel); }));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(fx.controller.skipCount(), 1);
    fx.clearLines();
    UserInput::click(panel);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(fx.lines(), QStringList({"📂 [选择] 弹出文件选择器", "📂 [选择] 用户取消了选择"}));
    EXPECT_TRUE(fx.view->isShowingProgress());
}

// Once a run has ended, a screen built anew (every page switch builds one)
// opens on the idle view, where the destination and the daily switch are.
TEST(AutoImportView, ANewScreenAfterAnEndedRunOpensOnTheDestinationChoice)
{
    struct Row { const char* name; bool blockPhotos; AutoImportProgressView::Form ended; };
    const Row rows[] = {
        {"completed", false, AutoImportProgressView::Form::completed},
        {"failed", true, AutoImportProgressView::Form::failed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ControllerFixture fx;
        fx.card("a.JPG");
        if (row.blockPhotos)
            ImportFixture::write(fx.photos());
        {
            const auto first = showScreen(fx.controller);
            ASSERT_TRUE(fx.runToEnd());
            EXPECT_EQ(first->progressView()->form(), row.ended);
        }
        const auto next = showScreen(fx.controller);
        EXPECT_FALSE(next->isShowingProgress());
        next->setFolderChooser([&](AutoImportView::Purpose) { return fx.path("photos"); });
        UserInput::click(next->idleView()->chooseRootButton());
        EXPECT_EQ(AutoImportController::importRootPath(), fx.path("photos"));
        UserInput::click(next->idleView()->dailySwitch());
        EXPECT_TRUE(AutoImportController::dailyNewFolder());
        AutoImportController::setImportRootPath(QString());
        AutoImportController::setDailyNewFolder(false);
    }
}
