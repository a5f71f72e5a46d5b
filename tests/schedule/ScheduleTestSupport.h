#pragma once

#include "UserInput.h"

#include <QCoreApplication>
#include <QAbstractButton>
#include <QDialog>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace ScheduleTestSupport {

// The schedule screen's new-order form opened by its button, with `customer`
// typed in; null when it did not open.
inline QDialog* openNewOrderForm(QWidget& screen, const QString& customer)
{
    UserInput::click(screen.findChild<QAbstractButton*>("scheduleNewOrderButton"));
    auto* form = screen.findChild<QDialog*>("scheduleOrderForm");
    if (!form)
        return nullptr;
    (void)QTest::qWaitForWindowExposed(form);
    UserInput::type(form->findChild<QWidget*>("customerName"), customer);
    return form;
}

// Until every section, row and fade under `root` has come to rest.
inline void waitForFades(QWidget* root)
{
    UserInput::waitForAnimations(root);
}

// `box` shows exactly `buttons`, in any order, none of the platform's own;
// Enter presses `enterTakes` and the box goes.
inline void answerWithEnter(QMessageBox* box, QStringList buttons, const QString& enterTakes)
{
    ASSERT_TRUE(box);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
    QStringList shown;
    for (QAbstractButton* b : box->buttons())
        shown << b->text();
    shown.sort();
    buttons.sort();
    EXPECT_EQ(shown, buttons);
    ASSERT_TRUE(box->defaultButton());
    EXPECT_EQ(box->defaultButton()->text(), enterTakes);
    const QPointer<QMessageBox> held(box);
    UserInput::key(box, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return held.isNull() || !held->isVisible(); }, 2000));
}

// Pictures for a person to look at: <build>/screenshots/<name>.png.
inline void saveScreenshot(QWidget& w, const QString& name)
{
    QTest::qWait(20);
    QDir build(QCoreApplication::applicationDirPath()); // <build>/tests/schedule
    build.cd("../..");
    build.mkpath("screenshots");
    ASSERT_TRUE(w.grab().save(build.filePath("screenshots/" + name + ".png")));
}

}
