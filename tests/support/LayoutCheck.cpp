#include "LayoutCheck.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

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

// WCAG relative luminance and contrast ratio.
double luminance(QRgb c)
{
    auto channel = [](int v) {
        const double x = v / 255.0;
        return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Words, not a lone glyph (an icon, emoji or separator stroke: thin and
// not text to read).
bool hasText(const QWidget* w)
{
    QString text;
    if (const auto* label = qobject_cast<const QLabel*>(w); label && label->pixmap().isNull())
        text = label->text();
    else if (const auto* button = qobject_cast<const QAbstractButton*>(w))
        text = button->text();
    return std::count_if(text.cbegin(), text.cend(), [](QChar c) {
        return c.isLetterOrNumber() && c.category() != QChar::Other_PrivateUse;
    }) >= 2;
}

// A widget scrolled half out of sight may show its plate but no text; one
// under a fade shows a passing state; a disabled one need not be read.
bool wholeInSight(const QWidget* w, const QWidget* root)
{
    if (!w->isEnabled() || w->visibleRegion() != QRegion(w->rect()))
        return false;
    for (const QWidget* p = w; p && p != root; p = p->parentWidget()) {
        if (const auto* fade = qobject_cast<const QGraphicsOpacityEffect*>(p->graphicsEffect()); fade && fade->opacity() < 1)
            return false;
    }
    return true;
}

// WCAG AA lets large text (18 pt, or 14 pt bold) pass at 3:1.
double neededContrast(const QWidget* w)
{
    const QFontInfo font(w->font());
    const bool large = font.pixelSize() >= 24 || (font.bold() && font.pixelSize() >= 19);
    return large ? 3.0 : 4.5;
}

void checkContrast(const QWidget* w, const QWidget* root, const QImage& shot, QStringList& out)
{
    if (shot.isNull() || !hasText(w) || !wholeInSight(w, root))
        return;
    const QRect area = QRect(w->mapTo(root, QPoint(0, 0)), w->size()) & shot.rect();
    if (area.isEmpty())
        return;
    const auto [plate, text] = LayoutCheck::plateAndInk(shot.copy(area));
    const QRgb background = plate.rgb(), ink = text.rgb();
    const double best = contrast(ink, background);
    const double needed = neededContrast(w);
    if (ink != background && best < needed)
        out << QStringLiteral("%1 is hard to read: text %2 on %3 is %4:1, needs %5:1")
                   .arg(describe(w), QColor(ink).name(), QColor(background).name())
                   .arg(best, 0, 'f', 2)
                   .arg(needed);
}

// A text box the user types into, put into a state for a picture and put
// back as it was. Signals stay blocked, so no screen hears of the visit; the
// box is read-only meanwhile, so no caret blinks into the picture.
class TextBoxVisit
{
public:
    explicit TextBoxVisit(QWidget* w)
        : m_box(w)
        , m_line(qobject_cast<QLineEdit*>(w))
        , m_plain(qobject_cast<QPlainTextEdit*>(w))
        , m_blocker(w)
        , m_text(w->property(textProperty()).toString())
        , m_placeholder(w->property("placeholderText").toString())
    {
        if (m_line) {
            m_cursor = m_line->cursorPosition();
            m_selectionStart = m_line->selectionStart();
            m_selectionLength = int(m_line->selectedText().size());
        } else {
            m_textCursor = m_plain->textCursor();
            m_scroll = m_plain->verticalScrollBar()->value();
        }
        w->setProperty("readOnly", true);
    }
    ~TextBoxVisit()
    {
        show(m_text, m_placeholder);
        if (m_line) {
            m_line->setCursorPosition(m_cursor);
            if (m_selectionLength > 0)
                m_line->setSelection(m_selectionStart, m_selectionLength);
        } else {
            m_plain->setTextCursor(m_textCursor);
            m_plain->verticalScrollBar()->setValue(m_scroll);
        }
        m_box->setProperty("readOnly", false);
    }
    const QString& placeholder() const { return m_placeholder; }
    void show(const QString& text, const QString& placeholder)
    {
        m_box->setProperty("placeholderText", placeholder);
        m_box->setProperty(textProperty(), text);
    }

private:
    const char* textProperty() const { return m_line ? "text" : "plainText"; }
    QWidget* m_box;
    QLineEdit* m_line;
    QPlainTextEdit* m_plain;
    QSignalBlocker m_blocker;
    QString m_text, m_placeholder;
    int m_cursor = 0, m_selectionStart = -1, m_selectionLength = 0, m_scroll = 0;
    QTextCursor m_textCursor;
};

bool isTextBox(const QWidget* w)
{
    if (const auto* line = qobject_cast<const QLineEdit*>(w))
        return !line->isReadOnly();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(w))
        return !plain->isReadOnly();
    return false;
}

// The strongest contrast of a pixel `drawn` changed against the empty box:
// the core of a glyph, against what it covers.
double inkContrast(const QImage& empty, const QImage& drawn, QRgb* ink, QRgb* behind)
{
    double best = 1;
    for (int y = 0; y < std::min(empty.height(), drawn.height()); ++y) {
        for (int x = 0; x < std::min(empty.width(), drawn.width()); ++x) {
            const QRgb a = empty.pixel(x, y) | 0xFF000000u;
            const QRgb b = drawn.pixel(x, y) | 0xFF000000u;
            if (const double c = contrast(a, b); a != b && c > best) {
                best = c;
                *ink = b;
                *behind = a;
            }
        }
    }
    return best;
}

// Typed text and the placeholder of one text box against its own empty state.
void checkTextBox(QWidget* w, QWidget* root, QStringList& out)
{
    const QRect area(w->mapTo(root, QPoint(0, 0)), w->size());
    auto picture = [root, &area] { return root->grab(area).toImage(); };
    TextBoxVisit visit(w);
    visit.show(QString(), QString());
    const QImage empty = picture();
    const QString sample = QStringLiteral("文字Ag8");
    const QString placeholder = visit.placeholder();
    struct Look { const char* what; QString text, placeholder; };
    const Look looks[] = {{"typed text", sample, QString()}, {"placeholder", QString(), placeholder}};
    for (const Look& look : looks) {
        if (look.text.isEmpty() && look.placeholder.isEmpty())
            continue;
        visit.show(look.text, look.placeholder);
        QRgb ink = 0, behind = 0;
        const double ratio = inkContrast(empty, picture(), &ink, &behind);
        if (ratio < neededContrast(w))
            out << QStringLiteral("%1 is hard to read: %2 %3 on %4 is %5:1, needs %6:1")
                       .arg(describe(w), QLatin1String(look.what), QColor(ink).name(), QColor(behind).name())
                       .arg(ratio, 0, 'f', 2)
                       .arg(neededContrast(w));
    }
}

// Text of a scroll area that the user cannot scroll to, and a line of a
// text box cut in half at its bottom edge.
void checkScrolledText(const QAbstractScrollArea* area, const QWidget* root, QStringList& out)
{
    const QWidget* viewport = area->viewport();
    const bool fixedWidth = area->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff;
    const bool fixedHeight = area->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff;
    if (fixedWidth || fixedHeight) {
        for (const QWidget* w : viewport->findChildren<const QWidget*>()) {
            if (!w->isVisibleTo(root) || !hasText(w))
                continue;
            const QRect inView(w->mapTo(viewport, QPoint(0, 0)), w->size());
            if ((fixedWidth && (inView.left() < 0 || inView.right() >= viewport->width()))
                || (fixedHeight && (inView.top() < 0 || inView.bottom() >= viewport->height())))
                out << QStringLiteral("%1 is cut off by %2, which does not scroll that way")
                           .arg(describe(w), describe(area));
        }
    }
    auto lines = [](const auto* edit, const QTextDocument* doc, QStringList& found) {
        if (edit->verticalScrollBar()->value() != 0)
            return;
        const int bottom = edit->viewport()->height();
        for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
            const QTextLayout* layout = block.layout();
            for (int i = 0; layout && i < layout->lineCount(); ++i) {
                QTextCursor cursor(block);
                cursor.setPosition(block.position() + layout->lineAt(i).textStart());
                const QRect line = edit->cursorRect(cursor);
                if (line.top() < bottom && line.bottom() >= bottom)
                    found << QStringLiteral("%1 shows only part of its line \"%2\"")
                                 .arg(describe(edit), block.text().mid(layout->lineAt(i).textStart(),
                                                                       layout->lineAt(i).textLength()));
            }
        }
    };
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(area))
        lines(plain, plain->document(), out);
    else if (const auto* rich = qobject_cast<const QTextEdit*>(area))
        lines(rich, rich->document(), out);
}

void checkChildren(const QWidget* parent, const QWidget* root, const QImage& shot, QStringList& out)
{
    QList<const QWidget*> shown;
    for (const QObject* o : parent->children()) {
        const auto* w = qobject_cast<const QWidget*>(o);
        if (!w || w->isWindow() || !w->isVisibleTo(root) || w->width() <= 0 || w->height() <= 0)
            continue;
        shown << w;
        checkText(w, out);
        checkContrast(w, root, shot, out);
        if (const auto* area = qobject_cast<const QAbstractScrollArea*>(w))
            checkScrolledText(area, root, out);
        const bool scrolled = parent->parentWidget() && qobject_cast<const QAbstractScrollArea*>(parent->parentWidget());
        if (!scrolled && !managesItsChildren(parent) && !flagged(w, "layoutOverlay")
            && !parent->rect().contains(w->geometry()))
            out << QStringLiteral("%1 reaches outside %2: %3,%4 %5x%6 in %7x%8")
                       .arg(describe(w), describe(parent))
                       .arg(w->x()).arg(w->y()).arg(w->width()).arg(w->height())
                       .arg(parent->width()).arg(parent->height());
        checkChildren(w, root, shot, out);
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

std::pair<QColor, QColor> plateAndInk(const QImage& shot)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x)
            ++counts[shot.pixel(x, y) | 0xFF000000u];
    }
    QRgb plate = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            plate = it.key();
        }
    }
    QRgb ink = plate;
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (const double c = contrast(it.key(), plate); c > best) {
            best = c;
            ink = it.key();
        }
    }
    return {QColor(plate), QColor(ink)};
}

QStringList textBoxFaults(QWidget* root, QStringList* checked)
{
    QStringList out;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!isTextBox(w) || !w->isVisibleTo(root) || w->width() <= 0 || w->height() <= 0)
            continue;
        // A multi-line box's viewport is an opaque child hiding the box
        // itself; the text lies in it.
        const auto* plain = qobject_cast<const QPlainTextEdit*>(w);
        if (!wholeInSight(plain ? plain->viewport() : w, root))
            continue;
        if (checked)
            checked->append(describe(w));
        checkTextBox(w, root, out);
    }
    return out;
}

QStringList faults(QWidget* root)
{
    QStringList out;
    const QImage shot = root->grab().toImage();
    checkText(root, out);
    checkContrast(root, root, shot, out);
    checkChildren(root, root, shot, out);
    out += textBoxFaults(root);
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
