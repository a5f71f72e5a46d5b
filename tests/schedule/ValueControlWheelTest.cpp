#include "orderbook/CalendarSyncFixture.h"

#include "ScheduleTestSupport.h"
#include "UserInput.h"
#include "ftp/FtpServerController.h"
#include "ftp/FtpTransferView.h"
#include "orderbook/OrderbookKeys.h"
#include "schedule/ReminderRulesEditor.h"
#include "schedule/ScheduleIncomeView.h"
#include "schedule/ScheduleSettingsSheet.h"
#include "settings/SettingsView.h"
#include "settings/UniformVolumeSlider.h"
#include "ui/PlateButton.h"
#include "ui/WheelGuard.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <functional>

namespace {

// What a control shows, to tell whether a wheel turn changed it.
QString shownValue(QWidget* w)
{
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentText();
    if (auto* s = qobject_cast<QAbstractSpinBox*>(w))
        return s->text();
    if (auto* s = qobject_cast<QAbstractSlider*>(w))
        return QString::number(s->value());
    if (auto* v = qobject_cast<UniformVolumeSlider*>(w))
        return QString::number(v->value());
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text() + (b->isChecked() ? "+" : "-");
    return {};
}

bool insideAnotherControl(QWidget* w)
{
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (qobject_cast<QComboBox*>(p) || qobject_cast<QAbstractSpinBox*>(p))
            return true;
    return false;
}

// Every shown control of `root` that holds something a user sets.
QList<QWidget*> valueControls(QWidget* root)
{
    QList<QWidget*> out;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisible() || !w->isEnabled() || insideAnotherControl(w))
            continue;
        auto* button = qobject_cast<QAbstractButton*>(w);
        auto* tool = qobject_cast<QToolButton*>(w);
        if (WheelGuard::guards(w) || qobject_cast<UniformVolumeSlider*>(w) || qobject_cast<QLineEdit*>(w)
            || (button && button->isCheckable()) || (tool && tool->menu()))
            out << w;
    }
    return out;
}

// The vertical scroll bars of the scroll areas holding `w`, innermost first.
QList<QScrollBar*> enclosingBars(QWidget* w)
{
    QList<QScrollBar*> bars;
    for (QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (auto* area = qobject_cast<QAbstractScrollArea*>(p))
            bars << area->verticalScrollBar();
    return bars;
}

QList<int> positions(const QList<QScrollBar*>& bars)
{
    QList<int> out;
    for (QScrollBar* b : bars)
        out << b->value();
    return out;
}

QString describe(QWidget* w)
{
    return QString("%1 %2 \"%3\"").arg(w->metaObject()->className(), w->objectName(), shownValue(w));
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ValueControlWheelTest : public CalendarSyncFixture
{
protected:
    // Turns the wheel both ways over each unclicked control of `root`: nothing
    // shown or stored changes, and a page with room scrolls instead. Returns
    // how many were menus, spin boxes or sliders.
    int wheelOverEveryControl(QWidget* root, const QString& screen)
    {
        SCOPED_TRACE(screen.toStdString());
        const QList<QWidget*> controls = valueControls(root);
        EXPECT_FALSE(controls.isEmpty());
        const QByteArray storedBefore = fileBytes(store->filePath());
        const QVariantMap standardBefore = UserDefaults::standard().dictionaryRepresentation();
        int guarded = 0;
        const QList<QPointer<QWidget>> held(controls.begin(), controls.end());
        for (const QPointer<QWidget>& control : held) {
            if (!control) {
                ADD_FAILURE() << "a control was rebuilt: an earlier turn changed what it shows";
                continue;
            }
            const QString name = describe(control);
            const QString before = shownValue(control);
            guarded += WheelGuard::guards(control);
            for (const int notches : {1, -1, -1, 1}) {
                UserInput::scrollIntoView(control);
                if (WheelGuard::guards(control) && control->hasFocus()) {
                    ADD_FAILURE() << name.toStdString() << " has focus nobody gave it";
                    return guarded;
                }
                const QList<QScrollBar*> bars = enclosingBars(control);
                const bool room = std::any_of(bars.begin(), bars.end(), [notches](QScrollBar* b) {
                    return notches > 0 ? b->value() > b->minimum() : b->value() < b->maximum();
                });
                const QList<int> was = positions(bars);
                UserInput::wheel(control, notches);
                if (!control) {
                    ADD_FAILURE() << name.toStdString() << " was rebuilt after a turn of " << notches;
                    break;
                }
                EXPECT_EQ(shownValue(control), before) << name.toStdString() << " turned by " << notches;
                if (room)
                    EXPECT_NE(positions(bars), was) << "the page under " << name.toStdString() << " did not scroll";
            }
        }
        EXPECT_EQ(fileBytes(store->filePath()), storedBefore);
        EXPECT_EQ(UserDefaults::standard().dictionaryRepresentation(), standardBefore);
        return guarded;
    }
};

TEST_F(ValueControlWheelTest, UnclickedMenusSpinBoxesAndSlidersLeaveTheWheelToThePage)
{
    store->set(OrderbookKeys::syncCalendarDefault, true);
    ScheduleIncomeView view(*orders, *manager, *store);
    view.resize(1100, 724);
    view.show();
    settle();

    FtpServerController controller;
    struct Screen {
        QString name;
        std::function<QWidget*()> open;
    };
    std::unique_ptr<QWidget> standalone;
    const auto showAlone = [&standalone](std::unique_ptr<QWidget> page, QSize size) -> QWidget* {
        standalone = std::move(page);
        standalone->resize(size);
        standalone->show();
        return QTest::qWaitForWindowExposed(standalone.get()) ? standalone.get() : nullptr;
    };
    const auto openForm = [&view]() -> QWidget* {
        UserInput::click(view.findChild<QWidget*>("scheduleNewOrderButton"));
        auto* form = view.findChild<QDialog*>("scheduleOrderForm");
        return form && QTest::qWaitForWindowExposed(form) ? form : nullptr;
    };
    const QList<Screen> screens{
        {"schedule settings sheet",
         [&]() -> QWidget* {
             UserInput::click(view.findChild<QWidget*>("scheduleSettingsButton"));
             auto* sheet = view.findChild<ScheduleSettingsSheet*>("scheduleSettingsSheet");
             if (!sheet || !QTest::qWaitForWindowExposed(sheet))
                 return nullptr;
             for (const char* entry : {"packageEntry", "reminderRulesEntry"}) {
                 UserInput::clickInView(sheet->findChild<QWidget*>(entry));
                 ScheduleTestSupport::waitForFades(sheet);
             }
             // Six rules: the rule list scrolls inside the scrolling sheet.
             auto* editor = sheet->findChild<ReminderRulesEditor*>("reminderRulesEditor");
             while (editor && editor->findChildren<QWidget*>("reminderRuleRow").size() < 6) {
                 UserInput::clickInView(editor->addButton());
                 settle();
             }
             return sheet;
         }},
        {"order form", openForm},
        {"FTP page", [&] { return showAlone(std::make_unique<FtpTransferView>(&controller), {1100 - 200, 724 - 100}); }},
        {"settings screen", [&] { return showAlone(std::make_unique<SettingsView>(), {560, 580}); }},
    };
    int guarded = 0;
    for (const Screen& screen : screens) {
        QWidget* root = screen.open();
        ASSERT_TRUE(root) << screen.name.toStdString();
        QTest::qWait(50); // deferred scroll-area styling and scrolls
        guarded += wheelOverEveryControl(root, screen.name);
        if (root->isWindow() && root != standalone.get())
            root->close();
        settle();
    }
    EXPECT_GE(guarded, 6 * 2 + 2) << "the rule menus and the order form's day and time were turned";

    // Once clicked, a control takes the wheel as usual.
    QWidget* form = openForm();
    ASSERT_TRUE(form);
    auto* time = form->findChild<QAbstractSpinBox*>("shootTime");
    ASSERT_TRUE(time);
    UserInput::clickInView(time);
    const QString before = time->text();
    UserInput::wheel(time, 1);
    EXPECT_NE(time->text(), before);
    form->close();
}

}
