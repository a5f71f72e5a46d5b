#include "IcsText.h"

namespace IcsText {
namespace {

// The logical lines of `bytes` between `from` and `to`: a physical line and
// the continuation lines (starting with a space or tab) that follow it.
template <typename Fn>
void forEachLine(const QByteArray& bytes, qsizetype from, qsizetype to, Fn fn)
{
    qsizetype start = from;
    while (start < to) {
        qsizetype end = start;
        do {
            const qsizetype nl = bytes.indexOf('\n', end);
            end = (nl < 0 || nl >= to) ? to : nl + 1;
        } while (end < to && (bytes[end] == ' ' || bytes[end] == '\t'));
        fn(start, end);
        start = end;
    }
}

QByteArray nameOf(const QByteArray& bytes, qsizetype start, qsizetype end)
{
    qsizetype stop = start;
    while (stop < end && bytes[stop] != ':' && bytes[stop] != ';' && bytes[stop] != '\r' && bytes[stop] != '\n')
        ++stop;
    return bytes.mid(start, stop - start).trimmed().toUpper();
}

QByteArray valueOf(const QByteArray& bytes, qsizetype start, qsizetype end)
{
    const qsizetype colon = bytes.indexOf(':', start);
    if (colon < 0 || colon >= end)
        return {};
    return bytes.mid(colon + 1, end - colon - 1).trimmed();
}

// Hands each property and component at the top level of a run of lines to
// `fn`. With `seeThroughCalendars`, calendars are opened rather than handed
// over: their own lines come with the calendar's index, other lines with -1.
template <typename Fn>
void splitItems(const QByteArray& bytes, qsizetype from, qsizetype to, bool seeThroughCalendars, Fn fn)
{
    QList<QByteArray> open;
    qsizetype componentStart = -1;
    QByteArray componentUid;
    int calendar = -1;
    int calendars = 0;
    forEachLine(bytes, from, to, [&](qsizetype start, qsizetype end) {
        const QByteArray name = nameOf(bytes, start, end);
        if (name == "BEGIN") {
            const QByteArray what = valueOf(bytes, start, end).toUpper();
            if (open.isEmpty() && seeThroughCalendars && what == "VCALENDAR") {
                calendar = calendars++;
                return;
            }
            if (open.isEmpty()) {
                componentStart = start;
                componentUid.clear();
            }
            open.append(what);
            return;
        }
        if (open.isEmpty()) {
            if (seeThroughCalendars && name == "END" && valueOf(bytes, start, end).toUpper() == "VCALENDAR")
                calendar = -1;
            else
                fn(Item{name, bytes.mid(start, end - start), false, {}}, calendar);
            return;
        }
        if (name == "END") {
            const qsizetype at = open.lastIndexOf(valueOf(bytes, start, end).toUpper());
            if (at >= 0) {
                const QByteArray outer = open.first();
                open.resize(at);
                if (open.isEmpty())
                    fn(Item{outer, bytes.mid(componentStart, end - componentStart), true, componentUid}, calendar);
            }
            return;
        }
        if (open.size() == 1 && name == "UID" && componentUid.isEmpty())
            componentUid = valueOf(bytes, start, end);
    });
    if (!open.isEmpty())
        fn(Item{open.first(), bytes.mid(componentStart, to - componentStart), true, componentUid}, calendar);
}

}

QByteArray terminated(const QByteArray& text)
{
    return text.endsWith('\n') ? text : text + "\r\n";
}

QByteArray Component::join() const
{
    QByteArray out = terminated(begin);
    for (const Item& item : items)
        out += terminated(item.text);
    return out + terminated(end);
}

Component splitComponent(const QByteArray& text)
{
    Component out;
    qsizetype firstEnd = -1;
    qsizetype lastStart = -1;
    forEachLine(text, 0, text.size(), [&](qsizetype start, qsizetype end) {
        if (firstEnd < 0)
            firstEnd = end;
        else if (nameOf(text, start, end) == "END")
            lastStart = start;
    });
    if (firstEnd < 0)
        return out;
    out.begin = text.left(firstEnd);
    if (lastStart < 0)
        lastStart = text.size();
    out.end = text.mid(lastStart);
    splitItems(text, firstEnd, lastStart, false, [&](Item&& item, int) { out.items.append(std::move(item)); });
    return out;
}

Document splitDocument(const QByteArray& bytes)
{
    Document doc;
    splitItems(bytes, 0, bytes.size(), true, [&](Item&& item, int calendar) {
        if (item.component)
            doc.components.append(std::move(item));
        else if (calendar == 0)
            doc.properties.append(std::move(item));
        // Other lines belong to no calendar, or to a later one merged into the
        // first: the store keeps a copy of such a file before rewriting it.
    });
    return doc;
}

}
