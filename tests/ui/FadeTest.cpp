#include "ui/Fader.h"
#include "ui/RevealBox.h"
#include "ui/Toast.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QTest>
#include <QVBoxLayout>

#include <functional>
#include <memory>

namespace {

// A faded widget as the test drives it.
struct Faded {
    QWidget* widget;
    std::function<void(bool)> setShown;
    const Fader* fader;
};

struct Kind {
    const char* name;
    std::function<Faded(QWidget* window)> make;
};

void PrintTo(const Kind& kind, std::ostream* out)
{
    *out << kind.name;
}

const Kind kinds[] = {
    // Shown for 500 ms: its own timer starts the fade out.
    {"toast", [](QWidget* window) {
         auto* toast = new Toast(window);
         return Faded{toast, [toast](bool shown) { if (shown) toast->showMessage("已保存", 40, 500); }, &toast->fader()};
     }},
    {"revealBox", [](QWidget* window) {
         auto* content = new QWidget;
         content->setFixedHeight(100);
         auto* box = new RevealBox(content, 300, false, window);
         window->layout()->addWidget(box);
         return Faded{box, [box](bool shown) { box->setShown(shown, true); }, &box->fader()};
     }},
};

class FadeTest : public ::testing::TestWithParam<Kind>
{
};

TEST_P(FadeTest, ShownAgainWhileFadingOutEndsVisibleAndDiesMidFadeCleanly)
{
    auto window = std::make_unique<QWidget>();
    window->resize(400, 300);
    (new QVBoxLayout(window.get()))->addStretch(1);
    const Faded faded = GetParam().make(window.get());
    window->show();
    const Fader& fader = *faded.fader;

    faded.setShown(true);
    EXPECT_TRUE(faded.widget->isVisible());
    if (auto* box = qobject_cast<RevealBox*>(faded.widget)) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return box->height() > 10 && box->height() < 90; }, 3000));
        EXPECT_EQ(box->content()->height(), 100) << "clipped while it grows, not squeezed";
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return fader.level() == 1; }, 3000));

    faded.setShown(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fader.isRunning() && !fader.isShown() && fader.level() < 0.9; }, 3000));
    EXPECT_TRUE(faded.widget->isVisible()) << "still there while it fades";
    faded.setShown(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fader.isRunning(); }, 3000));
    EXPECT_TRUE(faded.widget->isVisible());
    EXPECT_EQ(fader.level(), 1);

    faded.setShown(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !faded.widget->isVisible(); }, 3000));
    EXPECT_EQ(fader.level(), 0);

    // The window closes in the middle of a fade: nothing is left to run.
    faded.setShown(true);
    QPointer<const QObject> alive(&fader);
    QTest::qWait(50);
    window.reset();
    EXPECT_TRUE(alive.isNull());
    QTest::qWait(300);
}

INSTANTIATE_TEST_SUITE_P(Fades, FadeTest, ::testing::ValuesIn(kinds), ::testing::PrintToStringParamName());

}
