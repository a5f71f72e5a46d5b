#include "OnlineFixture.h"

#include "online/ChangelogPopupView.h"
#include "online/SoftwareUpdateView.h"
#include "online/UpdateChecker.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"
#include "UserInput.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>

// The update screen in each state and the popup: <build>/screenshots/update-*.png.
namespace {

using Shots = OnlineFixture;

void save(QWidget& w, const QString& name)
{
    QTest::qWait(20);
    const QString dir = QCoreApplication::applicationDirPath() + "/../../screenshots";
    QDir().mkpath(dir);
    ASSERT_TRUE(w.grab().save(dir + "/update-" + name + ".png")) << name.toStdString();
}

TEST_F(Shots, UpdateScreenAndPopupInBothThemes)
{
    Fonts::installApplicationFont();
    QByteArray log = "3.6\nhttps://d.example/kelvara.dmg\nV3.6\n【新增】\n";
    for (int i = 1; i <= 30; ++i)
        log += "• 第" + QByteArray::number(i) + "项改进：导入与分离更快更稳\n";
    const struct {
        const char* name;
        HttpStub::Route route;
        bool inactive = false;
    } states[] = {{"none", {}}, {"checking", {200, "", 0, true}}, {"update", {200, log + "\nV3.5\n• 旧版本\n"}},
                  {"failed", {500, ""}}, {"changelog", {200, log}}, {"inactive", {}, true}};
    const QByteArray base = qgetenv("TESSARY_REMOTE_BASE");
    for (AppThemeStyle style : AppThemeStyles::allCases()) {
        ThemeObserver::shared().setStyle(style);
        const QString theme = "-" + AppThemeStyles::rawValue(style);
        for (const auto& s : states) {
            stub.route("/version.txt", s.route);
            s.inactive ? qunsetenv("TESSARY_REMOTE_BASE") : qputenv("TESSARY_REMOTE_BASE", base);
            UpdateChecker checker("V3.5");
            SoftwareUpdateView view(&checker, {});
            view.resize(880, 700);
            view.show();
            if (s.name == QString("changelog"))
                UserInput::click(view.findChild<QAbstractButton*>("changelogToggle"));
            else if (s.route.status != 200 || !s.route.body.isEmpty() || s.route.silent)
                checker.checkForUpdate();
            (void)QTest::qWaitFor([&] { return checker.updateResult().has_value(); }, s.route.silent ? 50 : 300);
            save(view, s.name + theme);
        }
        ChangelogPopupView popup;
        popup.show();
        (void)QTest::qWaitFor([&] { return !popup.isLoading(); }, 1000);
        save(popup, "popup" + theme);
    }
}

}
