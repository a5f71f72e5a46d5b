#include "UserInput.h"

#include <QAbstractAnimation>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>
#include <QSpontaneKeyEvent>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {
QString plain(QString text)
{
    return text.replace("&&", "\x01").remove('&').replace("\x01", "&");
}

QString describe(const QWidget* w)
{
    if (!w)
        return "nothing";
    QString name = w->objectName().isEmpty() ? QString("(unnamed)") : w->objectName();
    return QString("%1 %2").arg(w->metaObject()->className(), name);
}

bool isInside(const QWidget* hit, const QWidget* target)
{
    for (const QWidget* w = hit; w; w = w->parentWidget()) {
        if (w == target)
            return true;
        if (w->isWindow())
            break;
    }
    return false;
}

// The window the target lies in, shown and with a native window, or null
// after failing the test.
QWidget* readyWindow(QWidget* target)
{
    if (!target) {
        ADD_FAILURE() << "no widget to act on";
        return nullptr;
    }
    QWidget* top = target->window();
    if (!top->isVisible() || !target->isVisible()) {
        ADD_FAILURE() << describe(target).toStdString() << " is not shown, so a user cannot reach it";
        return nullptr;
    }
    if (!target->isEnabled()) {
        ADD_FAILURE() << describe(target).toStdString() << " is disabled";
        return nullptr;
    }
    if (!top->windowHandle()) {
        ADD_FAILURE() << describe(top).toStdString() << " has no native window";
        return nullptr;
    }
    return top;
}

// A user sees the window after its pending layouts ran, so hit-test that.
void settleLayouts()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

QPoint pointIn(QWidget* target, QPoint at)
{
    return at.isNull() ? target->rect().center() : at;
}

void activate(QWidget* top)
{
    if (QApplication::activeWindow() == top)
        return;
    top->activateWindow();
    top->raise();
    (void)QTest::qWaitForWindowActive(top, 1000);
}
}

namespace UserInput {

QWidget* widgetUnder(QWidget* target, QPoint at)
{
    QWidget* top = target->window();
    const QPoint inTop = target->mapTo(top, pointIn(target, at));
    if (!top->rect().contains(inTop))
        return nullptr;
    QWidget* hit = top->childAt(inTop);
    return hit ? hit : top;
}

// The window and the point in it where a user's click on `target` lands, or
// no window after failing the test when something else is there.
static std::pair<QWidget*, QPoint> reach(QWidget* target, QPoint at, const char* what)
{
    settleLayouts();
    QWidget* top = readyWindow(target);
    if (!top)
        return {};
    const QPoint local = pointIn(target, at);
    QWidget* hit = widgetUnder(target, local);
    if (!isInside(hit, target)) {
        ADD_FAILURE() << what << " on " << describe(target).toStdString() << " reaches " << describe(hit).toStdString()
                      << " instead";
        return {};
    }
    return {top, target->mapTo(top, local)};
}

void click(QWidget* target, Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers)
{
    const auto [top, p] = reach(target, at, "a click");
    if (!top)
        return;
    QTest::mouseClick(top->windowHandle(), button, modifiers, p);
    QApplication::processEvents();
}

void doubleClick(QWidget* target, QPoint at)
{
    const auto [top, p] = reach(target, at, "a double click");
    if (!top)
        return;
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier, p);
    QTest::mouseDClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier, p);
    QApplication::processEvents();
}

QString hover(QWidget* target, QPoint at)
{
    const auto [top, p] = reach(target, at, "hovering");
    if (!top)
        return {};
    // Qt shows tooltips in the active window only.
    activate(top);
    QToolTip::hideText();
    (void)QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000);
    // A move onto the target from elsewhere: a pointer already resting there
    // sends nothing.
    QTest::mouseMove(top->windowHandle(), p == QPoint(0, 0) ? QPoint(1, 1) : QPoint(0, 0));
    QTest::mouseMove(top->windowHandle(), p);
    if (!QTest::qWaitFor([] { return QToolTip::isVisible(); }, 3000))
        return {};
    return QToolTip::text();
}

void type(QWidget* target, const QString& text)
{
    QWidget* top = readyWindow(target);
    if (!top)
        return;
    activate(top);
    click(target);
    QWidget* focus = QApplication::focusWidget();
    if (!focus || focus->window() != top) {
        ADD_FAILURE() << "typing into " << describe(target).toStdString() << ": the click gave focus to "
                      << describe(focus).toStdString();
        return;
    }
    for (const QChar c : text) {
        // QTest::keyClicks would pass the character through Latin-1, which
        // turns full-width digits and Chinese into nothing.
        if (c.unicode() < 0x80)
            QTest::keyClick(focus, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, focus, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QApplication::processEvents();
}

void wheel(QWidget* target, int notches, QPoint at)
{
    const auto [top, p] = reach(target, at, "a wheel turn");
    if (!top)
        return;
    QWindow* window = top->windowHandle();
    QWheelEvent turn(QPointF(p), window->mapToGlobal(QPointF(p)), QPoint(), QPoint(0, notches * 120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    // Only a turn that comes from the device travels on to the parents of
    // a widget that declines it; a sent event never would.
    QSpontaneKeyEvent::setSpontaneous(&turn);
    qApp->notify(window, &turn);
    QApplication::processEvents();
}

void key(QWidget* anyInWindow, Qt::Key k, Qt::KeyboardModifiers modifiers)
{
    QWidget* top = readyWindow(anyInWindow);
    if (!top)
        return;
    activate(top);
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus && focus->window() == top ? focus : top, k, modifiers);
    QApplication::processEvents();
}

void keys(QWidget* anyInWindow, const QString& text)
{
    QWidget* top = readyWindow(anyInWindow);
    if (!top)
        return;
    activate(top);
    for (const QChar c : text) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus && focus->window() == top ? focus : top, c.toLatin1());
        QApplication::processEvents();
    }
}

void chooseMenuItem(QMenu* menu, const QString& text)
{
    if (!menu) {
        ADD_FAILURE() << "no menu is open to choose \"" << text.toStdString() << "\"";
        return;
    }
    if (!menu->isVisible())
        menu->popup(QPoint(0, 0));
    QApplication::processEvents();
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || plain(action->text()) != text)
            continue;
        if (!action->isEnabled() || !action->isVisible()) {
            ADD_FAILURE() << "menu item \"" << text.toStdString() << "\" cannot be chosen";
            return;
        }
        const QRect r = menu->actionGeometry(action);
        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, Qt::NoModifier, r.center());
        QApplication::processEvents();
        return;
    }
    QStringList present;
    for (QAction* action : menu->actions())
        present << plain(action->text());
    ADD_FAILURE() << "menu has no item \"" << text.toStdString() << "\"; it has: "
                  << present.join(" | ").toStdString();
}

void scrollIntoView(QWidget* target)
{
    settleLayouts();
    for (QWidget* w = target ? target->parentWidget() : nullptr; w && !w->isWindow(); w = w->parentWidget()) {
        auto* area = qobject_cast<QScrollArea*>(w);
        if (!area || !area->widget() || !area->widget()->isAncestorOf(target))
            continue;
        // The whole target: for a focused text box the area's own helper
        // brings only the caret's line into view.
        const QRect r(target->mapTo(area->widget(), QPoint()), target->size());
        const QSize view = area->viewport()->size();
        for (auto [bar, from, length, seen] : {std::tuple{area->verticalScrollBar(), r.y(), r.height(), view.height()},
                                               std::tuple{area->horizontalScrollBar(), r.x(), r.width(), view.width()}}) {
            if (from < bar->value())
                bar->setValue(from);
            else if (from + length > bar->value() + seen)
                bar->setValue(std::min(from, from + length - seen));
        }
    }
    QApplication::processEvents();
}

void clickInView(QWidget* target)
{
    scrollIntoView(target);
    click(target);
}

bool wholeInView(const QWidget* target)
{
    for (const QWidget* w = target->parentWidget(); w && !w->isWindow(); w = w->parentWidget()) {
        const auto* area = qobject_cast<const QAbstractScrollArea*>(w);
        if (!area || !area->viewport()->isAncestorOf(target))
            continue;
        if (!area->viewport()->rect().contains(QRect(target->mapTo(area->viewport(), QPoint()), target->size())))
            return false;
    }
    return true;
}

void waitForAnimations(QWidget* window, int timeoutMs)
{
    const bool settled = QTest::qWaitFor(
        [window] {
            const QList<QAbstractAnimation*> animations = window->findChildren<QAbstractAnimation*>();
            return std::none_of(animations.begin(), animations.end(), [](const QAbstractAnimation* a) {
                return a->state() == QAbstractAnimation::Running && a->loopCount() >= 0;
            });
        },
        timeoutMs);
    EXPECT_TRUE(settled) << "animations of " << window->objectName().toStdString() << " still run";
}

QWidget* shownWindow(const QString& objectName)
{
    QApplication::processEvents();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == objectName && w->isVisible())
            return w;
    }
    ADD_FAILURE() << "no window " << objectName.toStdString() << " is shown";
    return nullptr;
}

void chooseMenuItem(const QString& text)
{
    chooseMenuItem(qobject_cast<QMenu*>(QApplication::activePopupWidget()), text);
}

}
