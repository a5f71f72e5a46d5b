#include "ScheduleSettingsFixture.h"

#include "orders/OrderFormView.h"
#include "orders/PackageRowList.h"
#include "orders/PackageSettingsView.h"
#include "schedule/ScheduleSettingsSheet.h"
#include "ScheduleTestSupport.h"
#include "UserInput.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>

#include <optional>

// Every field where a user types an amount or a name, through the window:
// what is stored, and what the user is told when nothing is.
namespace {

// What one entry left behind: the stored amount or name, if any, and the
// words the user sees (a refusal line, or the field's tool tip).
struct Outcome
{
    std::optional<QVariant> stored;
    QString said;
};

// What a stored order or package holds of the field under test.
using OrderPart = QVariant (*)(const Order&);
using PackagePart = QVariant (*)(const Package&);
QVariant totalOf(const Order& o) { return o.totalAmount; }
QVariant depositOf(const Order& o) { return o.depositAmount; }
QVariant customerOf(const Order& o) { return o.customerName; }
QVariant priceOf(const Package& p) { return p.price; }
QVariant depositOf(const Package& p) { return p.deposit; }
QVariant nameOf(const Package& p) { return p.name; }

class TypedInputTest : public ScheduleSettingsFixture
{
protected:
    void SetUp() override
    {
        ScheduleSettingsFixture::SetUp();
        // New orders stay off the calendar: no permission question comes up.
        store->set(OrderbookKeys::syncCalendarDefault, false);
    }
    template <typename T = QWidget>
    static T* child(const QObject* root, const char* name)
    {
        T* w = root->findChild<T*>(name);
        EXPECT_TRUE(w) << name;
        return w;
    }
    // Selects what the field holds and types over it, a key at a time, so
    // that a field storing each keystroke never passes through empty.
    static void typeOver(QWidget* field, const QString& text)
    {
        UserInput::clickInView(field);
        UserInput::key(field, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            UserInput::key(field, Qt::Key_Delete);
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    // Clicks a sheet's confirm button. A refusal line coming up wraps to
    // the sheet's width: the sheet and its buttons keep their places across.
    static void confirm(QWidget* sheet, QWidget* button, const char* line)
    {
        const int width = sheet->width();
        const int x = button->mapTo(sheet, QPoint()).x();
        UserInput::clickInView(button);
        QApplication::processEvents();
        if (!sheet->isVisible())
            return;
        EXPECT_EQ(sheet->width(), width) << "the sheet keeps its width";
        EXPECT_EQ(button->mapTo(sheet, QPoint()).x(), x);
        auto* label = child<QLabel>(sheet, line);
        if (label->isVisible())
            EXPECT_GE(label->height(), label->heightForWidth(label->width())) << "the reason shows whole";
    }
    static QString shown(const QWidget* line) { return line && line->isVisible() ? static_cast<const QLabel*>(line)->text() : QString(); }

    // --- The order form and its payment sheet ---
    Outcome orderForm(const QString& name, const QString& total, const QString& deposit, OrderPart part)
    {
        std::optional<Order> saved;
        OrderFormView form(*orders, *packages, *store, std::nullopt, QDateTime(QDate::currentDate().addDays(2), QTime()),
                           [&saved](const Order& o) {
                               saved = o;
                               return true;
                           });
        form.show();
        typeOver(child(&form, "customerName"), name);
        typeOver(child(&form, "totalAmount"), total);
        typeOver(child(&form, "depositAmount"), deposit);
        UserInput::clickInView(child(&form, "saveButton"));
        if (!saved)
            return {std::nullopt, shown(child(&form, "saveProblem"))};
        return {part(*saved), {}};
    }
    Outcome payment(const QString& typed)
    {
        Order o = order("王女士", QDateTime(QDate::currentDate().addDays(3), QTime(10, 0)), 5000);
        EXPECT_TRUE(orders->addOrder(o));
        OrderFormView form(*orders, *packages, *store, o, o.shootDate, [](const Order&) { return true; });
        form.show();
        UserInput::clickInView(child(&form, "registerBalanceButton"));
        QWidget* sheet = UserInput::shownWindow("paymentSheet");
        if (!sheet)
            return {};
        typeOver(child(sheet, "paymentAmount"), typed);
        confirm(sheet, child(sheet, "paymentConfirmButton"), "paymentProblem");
        const QList<PaymentRecord> payments = orders->orders().last().payments;
        Outcome out{payments.isEmpty() ? std::nullopt : std::optional<QVariant>(payments.last().amount),
                    sheet->isVisible() ? shown(child(sheet, "paymentProblem")) : QString()};
        if (sheet->isVisible()) {
            // Typing again takes the reason away; the sheet does not shrink back
            // under the pointer.
            QWidget* button = child(sheet, "paymentConfirmButton");
            const QPoint place = button->mapTo(sheet, QPoint());
            typeOver(child(sheet, "paymentAmount"), QStringLiteral("1"));
            QApplication::processEvents();
            EXPECT_EQ(button->mapTo(sheet, QPoint()), place);
        }
        orders->deleteOrder(orders->orders().last());
        return out;
    }

    // --- The package sheets of "套系设定" ---
    Outcome packageSheet(bool adding, const char* field, const QString& typed, const QString& name, PackagePart part)
    {
        PackageSettingsView view(*packages);
        view.show();
        const QList<Package> before = packages->packages();
        QApplication::processEvents(); // the rows follow the store a turn later
        QApplication::processEvents();
        if (adding)
            UserInput::click(child(&view, "addPackageButton"));
        else
            UserInput::click(child(view.rowList()->row(0), "priceColumn"));
        QWidget* sheet = UserInput::shownWindow(adding ? "packageAddSheet" : "packageEditSheet");
        if (!sheet)
            return {};
        if (adding)
            typeOver(child(sheet, "newPackageName"), name);
        typeOver(child(sheet, field), typed);
        confirm(sheet, child(sheet, adding ? "addConfirmButton" : "editSaveButton"), adding ? "addProblem" : "editProblem");
        const QString said = sheet->isVisible() ? shown(child(sheet, adding ? "addProblem" : "editProblem")) : QString();
        const QList<Package> after = packages->packages();
        if (after == before)
            return {std::nullopt, said};
        return {part(adding ? after.last() : after.first()), said};
    }

    // --- The package card of the schedule settings sheet ---
    std::unique_ptr<ScheduleSettingsSheet> openSettings()
    {
        auto sheet = std::make_unique<ScheduleSettingsSheet>(*state);
        sheet->resize(560, 900);
        sheet->show();
        answers();
        // The card stays open from one sheet to the next, as does the new row.
        if (!state->showPackageSettings) {
            UserInput::clickInView(child(sheet.get(), "packageEntry"));
            ScheduleTestSupport::waitForFades(sheet.get());
        }
        return sheet;
    }
    // Rows store each keystroke that reads: the first package starts at 7
    // and 7, so whatever else it holds afterwards was stored.
    Outcome packageRow(const char* field, const QString& typed, PackagePart part)
    {
        const Package first = packages->packages().first();
        packages->updatePackage(first.id, 7, 7);
        auto sheet = openSettings();
        auto* edit = child<QLineEdit>(sheet.get(), field);
        typeOver(edit, typed);
        const QVariant now = part(packages->packages().first());
        return {now == 7.0 ? std::nullopt : std::optional<QVariant>(now), edit->toolTip()};
    }
    Outcome newPackageRow(const char* field, const QString& typed, const QString& name, PackagePart part)
    {
        auto sheet = openSettings();
        const qsizetype before = packages->packages().size();
        if (!state->showAddPackageInput)
            UserInput::clickInView(child(sheet.get(), "addPackageToggle"));
        QApplication::processEvents();
        auto* row = child(sheet.get(), "newPackageInput");
        typeOver(child(row, "newPackageName"), name);
        auto* edit = child<QLineEdit>(row, field);
        typeOver(edit, typed);
        UserInput::clickInView(child(row, "newPackageConfirm"));
        if (packages->packages().size() == before)
            return {std::nullopt, edit->toolTip()};
        return {part(packages->packages().last()), {}};
    }
    Outcome rename(const QString& typed)
    {
        auto sheet = openSettings();
        const QString before = packages->packages().first().name;
        UserInput::clickInView(child(sheet.get(), "packageName"));
        typeOver(child(sheet.get(), "packageNameEdit"), typed);
        UserInput::clickInView(child(sheet.get(), "packageNameCommit"));
        const QString after = packages->packages().first().name;
        return {after == before ? std::nullopt : std::optional<QVariant>(after), {}};
    }
};

TEST_F(TypedInputTest, EveryAmountFieldRefusesNegativesAndEveryNameFieldRefusesBlanks)
{
    using Field = std::function<Outcome(const QString&)>;
    const std::pair<const char*, Field> amountFields[] = {
        {"order total", [&](const QString& t) { return orderForm("李", t, "", &totalOf); }},
        {"order deposit", [&](const QString& t) { return orderForm("李", "3000", t, &depositOf); }},
        {"payment", [&](const QString& t) { return payment(t); }},
        {"edit sheet price", [&](const QString& t) { return packageSheet(false, "editPrice", t, {}, &priceOf); }},
        {"edit sheet deposit", [&](const QString& t) { return packageSheet(false, "editDeposit", t, {}, &depositOf); }},
        {"add sheet price", [&](const QString& t) { return packageSheet(true, "newPackagePrice", t, "外景", &priceOf); }},
        {"add sheet deposit", [&](const QString& t) { return packageSheet(true, "newPackageDeposit", t, "外景", &depositOf); }},
        {"row price", [&](const QString& t) { return packageRow("packagePrice", t, &priceOf); }},
        {"row deposit", [&](const QString& t) { return packageRow("packageDeposit", t, &depositOf); }},
        {"new row price", [&](const QString& t) { return newPackageRow("newPackagePrice", t, "外景", &priceOf); }},
        {"new row deposit", [&](const QString& t) { return newPackageRow("newPackageDeposit", t, "外景", &depositOf); }},
    };
    struct Amount { QString typed; std::optional<double> stored; QString said; };
    const Amount amounts[] = {
        {"-500", {}, "「-500」不是有效金额，金额不能为负数"},
        {"-0.01", {}, "「-0.01」不是有效金额，金额不能为负数"},
        {"-1e3", {}, "「-1e3」不是有效金额，金额不能为负数"},
        {"abc", {}, "「abc」不是有效金额"},
        {"800", 800, ""},
        {"1e3", 1000, ""},
    };
    for (const auto& [field, enter] : amountFields) {
        for (const Amount& a : amounts) {
            SCOPED_TRACE(std::string(field) + " typed " + a.typed.toStdString());
            const Outcome out = enter(a.typed);
            ASSERT_EQ(out.stored.has_value(), a.stored.has_value());
            if (a.stored)
                EXPECT_EQ(out.stored->toDouble(), *a.stored);
            EXPECT_TRUE(out.said.contains(a.said)) << out.said.toStdString();
            EXPECT_EQ(out.said.isEmpty(), a.said.isEmpty()) << out.said.toStdString();
        }
    }

    const std::pair<const char*, Field> nameFields[] = {
        {"customer", [&](const QString& t) { return orderForm(t, "3000", "", &customerOf); }},
        {"add sheet", [&](const QString& t) { return packageSheet(true, "newPackagePrice", "800", t, &nameOf); }},
        {"new row", [&](const QString& t) { return newPackageRow("newPackagePrice", "800", t, &nameOf); }},
        {"rename", [&](const QString& t) { return rename(t); }},
    };
    struct Name { QString typed; std::optional<QString> stored; };
    const Name names[] = {
        {"   ", {}},
        {QString::fromUtf8("\u3000\u3000"), {}}, // the full-width blank of a Chinese keyboard
        {QString::fromUtf8(" 　婚纱 礼服 "), QString::fromUtf8("婚纱 礼服")},
    };
    for (const auto& [field, enter] : nameFields) {
        for (const Name& n : names) {
            SCOPED_TRACE(std::string(field) + " named \"" + n.typed.toStdString() + "\"");
            const Outcome out = enter(n.typed);
            ASSERT_EQ(out.stored.has_value(), n.stored.has_value());
            if (n.stored)
                EXPECT_EQ(out.stored->toString(), *n.stored);
        }
    }
    EXPECT_EQ(orderForm("  ", "3000", "", &customerOf).said, "请填写客户姓名");
}

}
