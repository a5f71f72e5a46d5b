#include "LayoutCheck.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QStackedWidget>
#include <QTextDocument>

namespace LayoutCheck {

namespace {

QString describe(const QWidget* w)
{
    QString name = w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                             : w->objectName();
    if (const auto* label = qobject_cast<const QLabel*>(w); label && !label->text().isEmpty())
        name += QStringLiteral(" \"%1\"").arg(label->text());
    else if (const auto* button = qobject_cast<const QAbstractButton*>(w); button && !button->text().isEmpty())
        name += QStringLiteral(" \"%1\"").arg(button->text());
    return name;
}

bool flagged(const QWidget* w, const char* property) { return w->property(property).toBool(); }

// Scroll areas move their content; stacks show one page; neither lays out siblings.
bool managesItsChildren(const QWidget* w)
{
    return qobject_cast<const QAbstractScrollArea*>(w) || qobject_cast<const QStackedWidget*>(w)
        || (w->parentWidget() && qobject_cast<const QAbstractScrollArea*>(w->parentWidget()));
}

// One line by its ink (a tall line box of a CJK font may overhang unseen),
// several by their line boxes.
QSize textSize(const QFontMetrics& metrics, const QString& text)
{
    if (!text.contains(QLatin1Char('\n')))
        return {metrics.horizontalAdvance(text), metrics.tightBoundingRect(text).height()};
    return metrics.boundingRect(QRect(0, 0, 100000, 100000), Qt::TextExpandTabs, text).size();
}

void checkText(const QWidget* w, QStringList& out)
{
    if (flagged(w, "layoutMayElide"))
        return;
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->text().isEmpty() || !label->pixmap().isNull())
            return;
        const QRect room = label->contentsRect().adjusted(label->indent() > 0 ? label->indent() : 0, 0, 0, 0);
        QSize need;
        if (label->wordWrap()) {
            need = QSize(0, label->heightForWidth(label->width()) - label->contentsMargins().top()
                                - label->contentsMargins().bottom());
        } else if (Qt::mightBeRichText(label->text()) && label->textFormat() != Qt::PlainText) {
            QTextDocument doc;
            doc.setDefaultFont(label->font());
            doc.setDocumentMargin(0);
            doc.setHtml(label->text());
            need = doc.size().toSize();
        } else {
            need = textSize(label->fontMetrics(), label->text());
        }
        if (need.width() > room.width() + 1 || need.height() > room.height() + 1)
            out << QStringLiteral("%1 is cut off: needs %2x%3, has %4x%5")
                       .arg(describe(w))
                       .arg(need.width()).arg(need.height())
                       .arg(room.width()).arg(room.height());
        return;
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        QString text = button->text();
        text.replace(QLatin1String("&&"), QLatin1String("\x01")).remove(QLatin1Char('&'));
        text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
        if (text.isEmpty())
            return;
        const QSize need = textSize(button->fontMetrics(), text);
        const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
        if (need.width() + icon > button->width() || need.height() > button->height())
            out << QStringLiteral("%1 is cut off: needs %2x%3, has %4x%5")
                       .arg(describe(w))
                       .arg(need.width() + icon).arg(need.height())
                       .arg(button->width()).arg(button->height());
    }
}

void checkChildren(const QWidget* parent, const QWidget* root, QStringList& out)
{
    QList<const QWidget*> shown;
    for (const QObject* o : parent->children()) {
        const auto* w = qobject_cast<const QWidget*>(o);
        if (!w || w->isWindow() || !w->isVisibleTo(root) || w->width() <= 0 || w->height() <= 0)
            continue;
        shown << w;
        checkText(w, out);
        const bool scrolled = parent->parentWidget() && qobject_cast<const QAbstractScrollArea*>(parent->parentWidget());
        if (!scrolled && !managesItsChildren(parent) && !flagged(w, "layoutOverlay")
            && !parent->rect().contains(w->geometry()))
            out << QStringLiteral("%1 reaches outside %2: %3,%4 %5x%6 in %7x%8")
                       .arg(describe(w), describe(parent))
                       .arg(w->x()).arg(w->y()).arg(w->width()).arg(w->height())
                       .arg(parent->width()).arg(parent->height());
        checkChildren(w, root, out);
    }
    if (managesItsChildren(parent))
        return;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        for (qsizetype j = i + 1; j < shown.size(); ++j) {
            const QWidget* a = shown[i];
            const QWidget* b = shown[j];
            if (flagged(a, "layoutOverlay") || flagged(b, "layoutOverlay"))
                continue;
            if (a->geometry().intersects(b->geometry()))
                out << QStringLiteral("%1 and %2 overlap in %3").arg(describe(a), describe(b), describe(parent));
        }
    }
}

void settle(QWidget* window)
{
    for (int i = 0; i < 3; ++i) {
        if (window->layout())
            window->layout()->activate();
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QApplication::processEvents();
    }
}

}

QStringList faults(QWidget* root)
{
    QStringList out;
    checkText(root, out);
    checkChildren(root, root, out);
    return out;
}

}

void expectCleanLayout(QWidget* window)
{
    const QSize original = window->size();
    QSize minimum = window->minimumSize();
    if (minimum.isEmpty())
        minimum = window->minimumSizeHint();
    for (const QSize& size : {original, minimum}) {
        window->resize(size);
        LayoutCheck::settle(window);
        for (const QString& fault : LayoutCheck::faults(window))
            ADD_FAILURE() << "at " << size.width() << "x" << size.height() << ": " << fault.toStdString();
    }
    window->resize(original);
    LayoutCheck::settle(window);
}
