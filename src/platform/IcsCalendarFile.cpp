#include "IcsCalendarFile.h"

#include "CalendarStore.h"
#include "LocalTimeConverter.h"
#include "Log.h"
#include "ParallelChunks.h"

#include <QCryptographicHash>
#include <QHash>
#include <QMutex>
#include <QSet>

#include <libical/ical.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr const char* kTitleProperty = "X-WR-CALNAME";
constexpr const char* kColorProperty = "X-TESSARY-COLOR";
constexpr const char* kProductId = "-//Tessary//Calendar 1.0//ZH";

void ensureNonFatalErrors()
{
    // libical can abort the process on malformed input when errors are fatal;
    // a calendar file from another program must never do that.
    static const bool once = [] {
        icalerror_set_errors_are_fatal(0);
        return true;
    }();
    Q_UNUSED(once);
}

QString text(const char* s)
{
    return s ? QString::fromUtf8(s) : QString();
}

QByteArray componentText(icalcomponent* c)
{
    char* raw = icalcomponent_as_ical_string_r(c);
    QByteArray out(raw ? raw : "");
    std::free(raw);
    return out;
}

QByteArray propertyText(icalproperty* p)
{
    char* raw = icalproperty_as_ical_string_r(p);
    QByteArray out(raw ? raw : "");
    std::free(raw);
    return out;
}

// The properties of an event the app writes; every other line of an event
// is the user's and stays as it was.
constexpr const char* kOwnedProperties[] = {"DTSTAMP", "LAST-MODIFIED", "SEQUENCE", "SUMMARY", "DESCRIPTION",
                                            "LOCATION", IcsCalendarFile::kOrderProperty, "DTSTART", "DTEND", "DURATION"};

icaltimezone* utc()
{
    return icaltimezone_get_utc_timezone();
}

icaltimetype toIcalUtc(const QDateTime& dt)
{
    return icaltime_from_timet_with_zone(time_t(dt.toSecsSinceEpoch()), 0, utc());
}

icaltimetype toIcalDate(const QDate& d)
{
    icaltimetype t = icaltime_null_date();
    t.year = d.year();
    t.month = d.month();
    t.day = d.day();
    return t;
}

QDateTime fromIcal(icaltimetype t)
{
    if (icaltime_is_null_time(t) || !icaltime_is_valid_time(t))
        return {};
    const QDate date(t.year, t.month, t.day);
    if (!date.isValid())
        return {};
    // Local times through the converter: a batch reads thousands, and the
    // C library would look at the zone file for each.
    const LocalTimeConverter clock = LocalTimeConverter::current();
    if (t.is_date)
        return clock.dateTime(date, QTime(0, 0));
    if (icaltime_is_utc(t) || t.zone)
        return clock.fromMSecsSinceEpoch(qint64(icaltime_as_timet_with_zone(t, t.zone ? t.zone : utc())) * 1000);
    // A floating time means the same wall-clock time wherever the user is.
    return clock.dateTime(date, QTime(t.hour, t.minute, qBound(0, t.second, 59)));
}

template <typename Fn>
void forEachProperty(icalcomponent* c, icalproperty_kind kind, Fn fn)
{
    for (icalproperty* p = icalcomponent_get_first_property(c, kind); p;
         p = icalcomponent_get_next_property(c, kind))
        fn(p);
}

std::vector<icalcomponent*> children(icalcomponent* c, icalcomponent_kind kind)
{
    std::vector<icalcomponent*> out;
    for (icalcomponent* s = icalcomponent_get_first_component(c, kind); s;
         s = icalcomponent_get_next_component(c, kind))
        out.push_back(s);
    return out;
}

void removeProperties(icalcomponent* c, icalproperty_kind kind)
{
    std::vector<icalproperty*> doomed;
    forEachProperty(c, kind, [&](icalproperty* p) { doomed.push_back(p); });
    for (icalproperty* p : doomed) {
        icalcomponent_remove_property(c, p);
        icalproperty_free(p);
    }
}

icalproperty* findX(icalcomponent* c, const char* name)
{
    icalproperty* found = nullptr;
    forEachProperty(c, ICAL_X_PROPERTY, [&](icalproperty* p) {
        if (!found && qstricmp(icalproperty_get_x_name(p), name) == 0)
            found = p;
    });
    return found;
}

void setX(icalcomponent* c, const char* name, const QString& value)
{
    std::vector<icalproperty*> doomed;
    forEachProperty(c, ICAL_X_PROPERTY, [&](icalproperty* p) {
        if (qstricmp(icalproperty_get_x_name(p), name) == 0)
            doomed.push_back(p);
    });
    for (icalproperty* p : doomed) {
        icalcomponent_remove_property(c, p);
        icalproperty_free(p);
    }
    if (value.isEmpty())
        return;
    icalproperty* p = icalproperty_new_x(value.toUtf8().constData());
    icalproperty_set_x_name(p, name);
    icalcomponent_add_property(c, p);
}

// Events are masters unless they override one occurrence of a series.
bool isMaster(icalcomponent* ev)
{
    return icalcomponent_get_first_property(ev, ICAL_RECURRENCEID_PROPERTY) == nullptr;
}

QString uidOf(icalcomponent* ev)
{
    return text(icalcomponent_get_uid(ev));
}

struct Times {
    QDateTime start;
    QDateTime end;
};

CalendarAlarm decodeAlarm(icalcomponent* alarm, const Times& times)
{
    CalendarAlarm out;
    out.addedByApp = findX(alarm, IcsCalendarFile::kAppAlarmProperty) != nullptr;
    // Ours are written again from their fields; only a user's alarm needs
    // its text, and a batch reads thousands of ours.
    if (!out.addedByApp)
        out.originalText = QString::fromUtf8(componentText(alarm));
    icalproperty* tp = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
    if (!tp)
        return out;
    const icaltriggertype trigger = icalproperty_get_trigger(tp);
    if (!icaltime_is_null_time(trigger.time)) {
        const QDateTime when = fromIcal(trigger.time);
        if (when.isValid())
            out.absoluteDate = when;
        return out;
    }
    qint64 offset = icaldurationtype_as_int(trigger.duration);
    icalparameter* related = icalproperty_get_first_parameter(tp, ICAL_RELATED_PARAMETER);
    if (related && icalparameter_get_related(related) == ICAL_RELATED_END)
        offset += times.start.secsTo(times.end);
    out.relativeOffset = offset;
    return out;
}

icalcomponent* encodeAlarm(const CalendarAlarm& alarm, const QString& eventTitle)
{
    icalcomponent* a = icalcomponent_new(ICAL_VALARM_COMPONENT);
    icalcomponent_add_property(a, icalproperty_new_action(ICAL_ACTION_DISPLAY));
    icalcomponent_add_property(
        a, icalproperty_new_description((eventTitle.isEmpty() ? QStringLiteral("提醒") : eventTitle).toUtf8().constData()));
    icaltriggertype trigger;
    std::memset(&trigger, 0, sizeof trigger);
    trigger.time = icaltime_null_time();
    trigger.duration = icaldurationtype_null_duration();
    icalproperty* tp = nullptr;
    if (alarm.absoluteDate) {
        trigger.time = toIcalUtc(*alarm.absoluteDate);
        tp = icalproperty_new_trigger(trigger);
        icalproperty_add_parameter(tp, icalparameter_new_value(ICAL_VALUE_DATETIME));
    } else {
        trigger.duration = icaldurationtype_from_int(int(alarm.relativeOffset.value_or(0)));
        tp = icalproperty_new_trigger(trigger);
    }
    icalcomponent_add_property(a, tp);
    if (alarm.addedByApp) {
        icalproperty* x = icalproperty_new_x("TRUE");
        icalproperty_set_x_name(x, IcsCalendarFile::kAppAlarmProperty);
        icalcomponent_add_property(a, x);
    }
    return a;
}

// A system zone by IANA name, or by the trailing Area/City of a TZID that
// carries a vendor prefix ("/mozilla.org/20070129_1/America/New_York").
icaltimezone* systemZone(const QByteArray& tzid)
{
    static QMutex lock;
    static QHash<QByteArray, icaltimezone*> known;
    QMutexLocker locked(&lock);
    const auto it = known.constFind(tzid);
    if (it != known.constEnd())
        return *it;
    icaltimezone* zone = icaltimezone_get_builtin_timezone(tzid.constData());
    const QList<QByteArray> parts = tzid.split('/');
    for (qsizetype i = 1; !zone && i + 1 < parts.size(); ++i) {
        if (!parts[i].isEmpty())
            zone = icaltimezone_get_builtin_timezone(parts.mid(i).join('/').constData());
    }
    known.insert(tzid, zone);
    return zone;
}

// The zone a TZID names: the document's own VTIMEZONE, else a system zone.
icaltimezone* zoneNamed(icalcomponent* root, const char* tzid)
{
    if (icaltimezone* zone = root ? icalcomponent_get_timezone(root, tzid) : nullptr)
        return zone;
    return systemZone(QByteArray(tzid));
}

// libical leaves a time floating when its TZID names no zone it knows; such a
// time is given the zone `zoneNamed` finds. TZIDs that name none are added to
// `unknownZones`.
icaltimetype zoned(icaltimetype t, icalcomponent* ev, icalcomponent* root, icalproperty_kind kind,
                   QSet<QByteArray>* unknownZones)
{
    if (t.zone || t.is_date || icaltime_is_null_time(t))
        return t;
    icalproperty* p = icalcomponent_get_first_property(ev, kind);
    icalparameter* tz = p ? icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER) : nullptr;
    if (!tz && kind == ICAL_DTEND_PROPERTY)
        return zoned(t, ev, root, ICAL_DTSTART_PROPERTY, unknownZones); // an end from a duration
    if (!tz)
        return t;
    const char* tzid = icalparameter_get_tzid(tz);
    if (icaltimezone* zone = zoneNamed(root, tzid))
        t.zone = zone;
    else if (unknownZones)
        unknownZones->insert(QByteArray(tzid));
    return t;
}

// `root` is the document whose VTIMEZONEs the event's TZIDs name.
std::optional<CalendarEvent> decodeEvent(icalcomponent* ev, icalcomponent* root, const QString& calendarId,
                                         QSet<QByteArray>* unknownZones = nullptr)
{
    const icaltimetype dtstart = zoned(icalcomponent_get_dtstart(ev), ev, root, ICAL_DTSTART_PROPERTY, unknownZones);
    CalendarEvent e;
    e.startDate = fromIcal(dtstart);
    if (!e.startDate.isValid())
        return std::nullopt;
    e.identifier = uidOf(ev);
    e.calendarIdentifier = calendarId;
    e.allDay = dtstart.is_date != 0;
    if (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_SUMMARY_PROPERTY))
        e.title = text(icalproperty_get_summary(p));
    if (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_DESCRIPTION_PROPERTY))
        e.notes = text(icalproperty_get_description(p));
    if (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_LOCATION_PROPERTY))
        e.location = text(icalproperty_get_location(p));
    if (icalproperty* p = findX(ev, IcsCalendarFile::kOrderProperty))
        e.orderIdentifier = text(icalproperty_get_x(p)).trimmed();
    const bool hasEnd = icalcomponent_get_first_property(ev, ICAL_DTEND_PROPERTY)
        || icalcomponent_get_first_property(ev, ICAL_DURATION_PROPERTY);
    if (hasEnd)
        e.endDate = fromIcal(zoned(icalcomponent_get_dtend(ev), ev, root, ICAL_DTEND_PROPERTY, unknownZones));
    if (!e.endDate.isValid())
        e.endDate = e.allDay ? e.startDate.addDays(1) : e.startDate;
    if (e.endDate < e.startDate)
        e.endDate = e.startDate;
    const Times times{e.startDate, e.endDate};
    for (icalcomponent* a : children(ev, ICAL_VALARM_COMPONENT))
        e.alarms.append(decodeAlarm(a, times));
    return e;
}

icalcomponent* parseWrapped(const QByteArray& components)
{
    const QByteArray doc = "BEGIN:VCALENDAR\r\n" + components + "END:VCALENDAR\r\n";
    return icalparser_parse_string(doc.constData());
}

// Gives every master event without a usable UID one; returns the ordinals
// (among the document's events) and UIDs given.
std::vector<std::pair<int, QString>> giveUids(icalcomponent* root, const QString& seed)
{
    std::vector<std::pair<int, QString>> given;
    QSet<QString> seen;
    int index = 0;
    for (icalcomponent* ev : children(root, ICAL_VEVENT_COMPONENT)) {
        ++index;
        if (!isMaster(ev))
            continue;
        const QString uid = uidOf(ev).trimmed();
        if (!uid.isEmpty() && !seen.contains(uid)) {
            seen.insert(uid);
            continue;
        }
        // Derived from the content, so the same file gives the same identifier
        // at every start until the app writes the UID down.
        QCryptographicHash h(QCryptographicHash::Sha1);
        h.addData(seed.toUtf8());
        h.addData(QByteArray::number(index));
        h.addData(componentText(ev));
        const QString generated = QStringLiteral("TESSARY-") + QString::fromLatin1(h.result().toHex().left(32)).toUpper();
        removeProperties(ev, ICAL_UID_PROPERTY);
        icalcomponent_add_property(ev, icalproperty_new_uid(generated.toUtf8().constData()));
        seen.insert(generated);
        given.emplace_back(index - 1, generated);
    }
    return given;
}

// `text` of a component with its UID lines replaced by `uid`.
QByteArray withUid(const QByteArray& text, const QString& uid)
{
    IcsText::Component parts = IcsText::splitComponent(text);
    parts.items.removeIf([](const IcsText::Item& i) { return !i.component && i.name == "UID"; });
    icalproperty* p = icalproperty_new_uid(uid.toUtf8().constData());
    parts.items.prepend(IcsText::Item{"UID", propertyText(p), false, {}});
    icalproperty_free(p);
    return parts.join();
}

// A file cut short (a crash or a full disk while another program wrote it)
// leaves components open; closing them lets the complete events be read.
QByteArray closeOpenComponents(const QByteArray& bytes)
{
    QList<QByteArray> open;
    for (QByteArray line : bytes.split('\n')) {
        // A folded continuation is text, whatever it starts with.
        if (line.startsWith(' ') || line.startsWith('\t'))
            continue;
        line = line.trimmed();
        const QByteArray upper = line.toUpper();
        if (upper.startsWith("BEGIN:")) {
            open.append(upper.mid(6));
        } else if (upper.startsWith("END:")) {
            const qsizetype at = open.lastIndexOf(upper.mid(4));
            if (at >= 0)
                open.resize(at);
        }
    }
    if (open.isEmpty())
        return bytes;
    QByteArray out = bytes;
    if (!out.endsWith('\n'))
        out += "\r\n";
    while (!open.isEmpty())
        out += "END:" + open.takeLast() + "\r\n";
    return out;
}

// libical reads one physical line in a time that grows with the square of its
// length, so a single line of some megabytes would freeze the app. Folding is
// undone by the parser, so folding long lines first changes nothing but speed.
QByteArray foldLongLines(const QByteArray& bytes)
{
    constexpr qsizetype kLongest = 4096;
    bool anyLong = false;
    for (qsizetype start = 0; start < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        if (end - start > kLongest) {
            anyLong = true;
            break;
        }
        start = end + 1;
    }
    if (!anyLong)
        return bytes;
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / kLongest * 3 + 16);
    qsizetype run = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\n') {
            run = 0;
        } else if (run >= kLongest && c != '\r' && (uchar(c) & 0xC0) != 0x80) {
            // Never inside a UTF-8 sequence, never between CR and LF.
            out += "\r\n ";
            run = 0;
        }
        out += c;
        if (c != '\n')
            ++run;
    }
    return out;
}

// How an event's times are written: in UTC (ours), as floating wall-clock
// times, or as wall-clock times in the zone its TZID names.
struct TimeForm {
    QByteArray tzid;
    icaltimezone* zone = nullptr;
    bool floating = false;
};

TimeForm timeFormOf(icalcomponent* ev, icalcomponent* root)
{
    TimeForm form;
    icalproperty* p = icalcomponent_get_first_property(ev, ICAL_DTSTART_PROPERTY);
    if (!p)
        return form;
    if (icalparameter* tz = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER)) {
        form.tzid = icalparameter_get_tzid(tz);
        form.zone = zoneNamed(root, form.tzid.constData());
        // An unknown zone was read as local time; it is written back so.
        form.floating = form.zone == nullptr;
        return form;
    }
    const icaltimetype t = icalproperty_get_dtstart(p);
    form.floating = !t.is_date && !icaltime_is_utc(t);
    return form;
}

icalproperty* timeProperty(icalproperty_kind kind, const QDateTime& moment, const TimeForm& form)
{
    icaltimetype t = toIcalUtc(moment);
    if (form.zone) {
        icaltimezone_convert_time(&t, utc(), form.zone);
        t.zone = nullptr; // the TZID parameter names the zone
    } else if (form.floating) {
        const QDateTime local = moment.toLocalTime();
        t = toIcalDate(local.date());
        t.is_date = 0;
        t.hour = local.time().hour();
        t.minute = local.time().minute();
        t.second = local.time().second();
    }
    icalproperty* p = kind == ICAL_DTSTART_PROPERTY ? icalproperty_new_dtstart(t) : icalproperty_new_dtend(t);
    if (!form.tzid.isEmpty())
        icalproperty_add_parameter(p, icalparameter_new_tzid(form.tzid.constData()));
    return p;
}

std::vector<icalproperty*> timeProperties(const CalendarEvent& event, const TimeForm& form)
{
    if (event.allDay) {
        CalendarEvent days = event;
        CalendarStore::normalizeTimes(days);
        return {icalproperty_new_dtstart(toIcalDate(days.startDate.date())),
                icalproperty_new_dtend(toIcalDate(days.endDate.date()))};
    }
    return {timeProperty(ICAL_DTSTART_PROPERTY, event.startDate, form),
            timeProperty(ICAL_DTEND_PROPERTY, event.endDate, form)};
}

// The app's own properties of `event` but its times, in the order written.
std::vector<icalproperty*> ownedProperties(const CalendarEvent& event, int sequence)
{
    const icaltimetype now = toIcalUtc(QDateTime::currentDateTimeUtc());
    std::vector<icalproperty*> out{icalproperty_new_dtstamp(now), icalproperty_new_lastmodified(now),
                                   icalproperty_new_sequence(sequence)};
    if (!event.title.isEmpty())
        out.push_back(icalproperty_new_summary(event.title.toUtf8().constData()));
    if (event.notes)
        out.push_back(icalproperty_new_description(event.notes->toUtf8().constData()));
    if (event.location)
        out.push_back(icalproperty_new_location(event.location->toUtf8().constData()));
    if (!event.orderIdentifier.isEmpty()) {
        icalproperty* x = icalproperty_new_x(event.orderIdentifier.toUtf8().constData());
        icalproperty_set_x_name(x, IcsCalendarFile::kOrderProperty);
        out.push_back(x);
    }
    return out;
}

icalcomponent* newEventComponent(const CalendarEvent& event)
{
    icalcomponent* ev = icalcomponent_new(ICAL_VEVENT_COMPONENT);
    icalcomponent_add_property(ev, icalproperty_new_uid(event.identifier.toUtf8().constData()));
    icalcomponent_add_property(ev, icalproperty_new_created(toIcalUtc(QDateTime::currentDateTimeUtc())));
    for (icalproperty* p : ownedProperties(event, 0))
        icalcomponent_add_property(ev, p);
    for (icalproperty* p : timeProperties(event, TimeForm{}))
        icalcomponent_add_property(ev, p);
    for (const CalendarAlarm& alarm : event.alarms)
        icalcomponent_add_component(ev, encodeAlarm(alarm, event.title));
    return ev;
}

// The alarm as text: the user's own unchanged alarm as it was read, else ours.
QByteArray alarmText(const CalendarAlarm& alarm, const Times& times, const QString& eventTitle)
{
    if (!alarm.originalText.isEmpty()) {
        icalcomponent* original = icalcomponent_new_from_string(alarm.originalText.toUtf8().constData());
        const bool same = original && icalcomponent_isa(original) == ICAL_VALARM_COMPONENT
            && decodeAlarm(original, times) == alarm;
        if (original)
            icalcomponent_free(original);
        if (same)
            return IcsText::terminated(alarm.originalText.toUtf8());
    }
    icalcomponent* a = encodeAlarm(alarm, eventTitle);
    const QByteArray out = componentText(a);
    icalcomponent_free(a);
    return out;
}

void ensureHeader(icalcomponent* root)
{
    if (!icalcomponent_get_first_property(root, ICAL_PRODID_PROPERTY))
        icalcomponent_add_property(root, icalproperty_new_prodid(kProductId));
    if (!icalcomponent_get_first_property(root, ICAL_VERSION_PROPERTY))
        icalcomponent_add_property(root, icalproperty_new_version("2.0"));
}

} // namespace

IcsCalendarFile::IcsCalendarFile()
    : m_root(nullptr)
{
    ensureNonFatalErrors();
    m_root = icalcomponent_new(ICAL_VCALENDAR_COMPONENT);
    ensureHeader(m_root);
    textFromTree();
}

IcsCalendarFile::IcsCalendarFile(icalcomponent* root)
    : m_root(root)
{
}

IcsCalendarFile::~IcsCalendarFile()
{
    icalcomponent_free(m_root);
}

std::unique_ptr<IcsCalendarFile> IcsCalendarFile::parse(const QByteArray& bytes, const QString& seed, bool* hadErrors,
                                                       bool* notVerbatim)
{
    ensureNonFatalErrors();
    if (hadErrors)
        *hadErrors = false;
    if (notVerbatim)
        *notVerbatim = false;
    // The parser stops at a NUL byte; a stray one would hide every event after it.
    bool repaired = bytes.contains('\0');
    const QByteArray source = foldLongLines(repaired ? QByteArray(bytes).replace('\0', QByteArray()) : bytes);
    QByteArray parsedText = source;
    icalcomponent* parsed = icalparser_parse_string(source.constData());
    if (!parsed) {
        const QByteArray closed = closeOpenComponents(source);
        if (closed.size() != source.size()) {
            parsed = icalparser_parse_string(closed.constData());
            repaired = repaired || parsed != nullptr;
            parsedText = closed;
        }
    }
    if (!parsed)
        return nullptr;
    icalcomponent* root = nullptr;
    switch (icalcomponent_isa(parsed)) {
    case ICAL_VCALENDAR_COMPONENT:
        root = parsed;
        break;
    case ICAL_VEVENT_COMPONENT:
        root = icalcomponent_new(ICAL_VCALENDAR_COMPONENT);
        icalcomponent_add_component(root, parsed);
        break;
    case ICAL_XROOT_COMPONENT: {
        // Several documents in one file: keep the first, with every event of
        // the others moved into it.
        for (icalcomponent* cal : children(parsed, ICAL_VCALENDAR_COMPONENT)) {
            icalcomponent_remove_component(parsed, cal);
            if (!root) {
                root = cal;
                continue;
            }
            // Everything inside moves, time zones and to-dos included, so the
            // first rewrite keeps them.
            for (icalcomponent* inner : children(cal, ICAL_ANY_COMPONENT)) {
                icalcomponent_remove_component(cal, inner);
                icalcomponent_add_component(root, inner);
            }
            icalcomponent_free(cal);
        }
        // Loose components make a calendar only when an event is among them.
        if (!root && !children(parsed, ICAL_VEVENT_COMPONENT).empty())
            root = icalcomponent_new(ICAL_VCALENDAR_COMPONENT);
        for (icalcomponent* inner : root ? children(parsed, ICAL_ANY_COMPONENT) : std::vector<icalcomponent*>{}) {
            icalcomponent_remove_component(parsed, inner);
            icalcomponent_add_component(root, inner);
        }
        icalcomponent_free(parsed);
        // Merged documents lose the other documents' own properties: the
        // original is copied aside before the first rewrite.
        repaired = true;
        break;
    }
    default:
        icalcomponent_free(parsed);
        break;
    }
    if (!root)
        return nullptr;
    if (repaired && hadErrors)
        *hadErrors = true;
    // Lines libical cannot read only cost their values here: the text keeps them.
    if (icalcomponent_count_errors(root) > 0)
        icalcomponent_strip_errors(root);
    ensureHeader(root);
    std::unique_ptr<IcsCalendarFile> file(new IcsCalendarFile(root));
    if (!file->adoptText(IcsText::splitDocument(parsedText))) {
        // Written back from libical's reading, which may lose what it does
        // not know: the store keeps the original first.
        file->textFromTree();
        if (hadErrors)
            *hadErrors = true;
        if (notVerbatim)
            *notVerbatim = true;
    }
    const auto given = giveUids(root, seed);
    if (!given.empty()) {
        std::vector<Block*> events;
        for (Block& b : file->m_blocks) {
            if (b.event)
                events.push_back(&b);
        }
        file->dropBlockIndex();
        for (const auto& [ordinal, uid] : given) {
            if (ordinal < int(events.size())) {
                events[ordinal]->uid = uid;
                events[ordinal]->text = withUid(events[ordinal]->text, uid);
            }
        }
    }
    file->detachEvents();
    return file;
}

std::unique_ptr<IcsCalendarFile> IcsCalendarFile::fromEvents(const std::vector<icalcomponent*>& events,
                                                            const QString& calendarId)
{
    auto file = std::make_unique<IcsCalendarFile>();
    // Each block is filled by one worker alone, and a document made here has
    // no time zones of its own for them to share. The events stay with the
    // caller: freeing thousands of readings here would have the workers
    // queue for the allocator that made them.
    const size_t first = file->m_blocks.size();
    file->m_blocks.resize(first + events.size());
    constexpr size_t kChunk = 250;
    std::vector<QSet<QByteArray>> unknownZones((events.size() + kChunk - 1) / kChunk);
    forChunks(events.size(), kChunk, [&](size_t begin, size_t end, size_t run) {
        for (size_t i = begin; i < end; ++i) {
            icalcomponent* ev = events[i];
            if (!ev || icalcomponent_isa(ev) != ICAL_VEVENT_COMPONENT)
                continue;
            Block& b = file->m_blocks[first + i];
            // The text as it came, before the reading loses its errors.
            b.text = IcsText::terminated(componentText(ev));
            icalcomponent_strip_errors(ev);
            b.uid = uidOf(ev);
            b.event = !b.uid.isEmpty();
            b.master = isMaster(ev);
            if (b.event && b.master)
                b.decoded = file->decode(ev, &unknownZones[run]);
        }
    });
    file->m_blocks.erase(std::remove_if(file->m_blocks.begin() + qsizetype(first), file->m_blocks.end(),
                                        [](const Block& b) { return !b.event; }),
                         file->m_blocks.end());
    file->dropBlockIndex();
    QSet<QByteArray> unknown;
    for (const QSet<QByteArray>& zones : unknownZones)
        unknown.unite(zones);
    file->noteUnknownZones(unknown, calendarId);
    return file;
}

std::optional<CalendarEvent> IcsCalendarFile::eventOf(icalcomponent* tree, const QString& calendarId)
{
    if (!tree || icalcomponent_isa(tree) != ICAL_VEVENT_COMPONENT || !isMaster(tree))
        return std::nullopt;
    return decodeEvent(tree, nullptr, calendarId);
}

void IcsCalendarFile::TreeFree::operator()(icalcomponent* c) const
{
    icalcomponent_free(c);
}

void IcsCalendarFile::detachEvents()
{
    const std::vector<icalcomponent*> events = children(m_root, ICAL_VEVENT_COMPONENT);
    size_t k = 0;
    for (Block& b : m_blocks) {
        if (!b.event || k >= events.size())
            continue;
        icalcomponent_remove_component(m_root, events[k]);
        b.tree.reset(events[k++]);
    }
    for (; k < events.size(); ++k) {
        icalcomponent_remove_component(m_root, events[k]);
        icalcomponent_free(events[k]);
    }
}

const QByteArray& IcsCalendarFile::textOf(const Block& block) const
{
    if (block.text.isEmpty() && block.tree)
        block.text = componentText(block.tree.get());
    return block.text;
}

IcsCalendarFile::Tree IcsCalendarFile::takeTree(const Block& block) const
{
    if (block.tree)
        return std::move(block.tree);
    icalcomponent* ev = icalparser_parse_string(textOf(block).constData());
    if (ev && icalcomponent_isa(ev) != ICAL_VEVENT_COMPONENT) {
        icalcomponent_free(ev);
        return nullptr;
    }
    if (ev)
        icalcomponent_strip_errors(ev);
    return Tree(ev);
}

std::optional<IcsCalendarFile::Decoded> IcsCalendarFile::decode(icalcomponent* ev,
                                                                QSet<QByteArray>* unknownZones) const
{
    if (!ev)
        return std::nullopt;
    Decoded d;
    d.event = decodeEvent(ev, m_root, QString(), unknownZones);
    if (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_SEQUENCE_PROPERTY))
        d.nextSequence = icalproperty_get_sequence(p) + 1;
    const TimeForm form = timeFormOf(ev, m_root);
    d.tzid = form.tzid;
    d.floating = form.floating;
    return d;
}

const IcsCalendarFile::Decoded* IcsCalendarFile::decodedBlock(const Block& block,
                                                              QSet<QByteArray>* unknownZones) const
{
    if (!block.decoded)
        block.decoded = block.keepTree && block.tree ? decode(block.tree.get(), unknownZones)
                                                     : decode(takeTree(block).get(), unknownZones);
    return block.decoded ? &*block.decoded : nullptr;
}

bool IcsCalendarFile::adoptText(const IcsText::Document& text)
{
    const std::vector<icalcomponent*> events = children(m_root, ICAL_VEVENT_COMPONENT);
    std::vector<Block> blocks;
    blocks.reserve(text.components.size());
    size_t k = 0;
    for (const IcsText::Item& item : text.components) {
        Block b;
        b.text = IcsText::terminated(item.text);
        if (item.name == "VEVENT") {
            if (k >= events.size())
                return false;
            icalcomponent* ev = events[k++];
            b.event = true;
            b.uid = uidOf(ev);
            b.master = isMaster(ev);
            // Escaped or folded UIDs are not compared; plain ones must match.
            if (!item.uid.isEmpty() && !item.uid.contains('\\') && !item.uid.contains('\n')
                && item.uid != b.uid.toUtf8())
                return false;
        }
        blocks.push_back(std::move(b));
    }
    if (k != events.size())
        return false;
    m_blocks = std::move(blocks);
    dropBlockIndex();
    m_header = text.properties;
    for (const char* name : {"PRODID", "VERSION"}) {
        const bool present = std::any_of(m_header.cbegin(), m_header.cend(),
                                         [&](const IcsText::Item& i) { return i.name == name; });
        const icalproperty_kind kind = icalproperty_string_to_kind(name);
        if (!present)
            if (icalproperty* p = icalcomponent_get_first_property(m_root, kind))
                m_header.append(IcsText::Item{name, propertyText(p), false, {}});
    }
    return true;
}

void IcsCalendarFile::textFromTree()
{
    m_header.clear();
    for (icalproperty* p = icalcomponent_get_first_property(m_root, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(m_root, ICAL_ANY_PROPERTY))
        m_header.append(IcsText::Item{QByteArray(icalproperty_get_property_name(p)).toUpper(), propertyText(p), false, {}});
    m_blocks.clear();
    dropBlockIndex();
    for (icalcomponent* c : children(m_root, ICAL_ANY_COMPONENT)) {
        Block b;
        b.text = componentText(c);
        if (icalcomponent_isa(c) == ICAL_VEVENT_COMPONENT) {
            b.event = true;
            b.uid = uidOf(c);
            b.master = isMaster(c);
        }
        m_blocks.push_back(std::move(b));
    }
}

std::vector<IcsCalendarFile::Block> IcsCalendarFile::blocksFor(const QByteArray& text, icalcomponent* parsed,
                                                               const QString& uid) const
{
    const std::vector<icalcomponent*> events = children(parsed, ICAL_VEVENT_COMPONENT);
    QList<IcsText::Item> items = IcsText::splitDocument(text).components;
    items.removeIf([](const IcsText::Item& i) { return i.name != "VEVENT"; });
    std::vector<Block> out;
    for (size_t k = 0; k < events.size(); ++k) {
        const bool paired = size_t(items.size()) == events.size();
        out.push_back(Block{uid, true, isMaster(events[k]),
                            paired ? IcsText::terminated(items[qsizetype(k)].text) : componentText(events[k])});
    }
    return out;
}

qsizetype IcsCalendarFile::masterBlock(const QString& uid) const
{
    for (qsizetype i : blocksOf(uid)) {
        if (m_blocks[size_t(i)].master)
            return i;
    }
    return -1;
}

const QList<qsizetype>& IcsCalendarFile::blocksOf(const QString& uid) const
{
    if (!m_blockIndexValid) {
        m_blockIndex.clear();
        for (size_t i = 0; i < m_blocks.size(); ++i) {
            if (m_blocks[i].event)
                m_blockIndex[m_blocks[i].uid].append(qsizetype(i));
        }
        m_blockIndexValid = true;
    }
    static const QList<qsizetype> none;
    const auto it = m_blockIndex.constFind(uid);
    return it == m_blockIndex.constEnd() ? none : *it;
}

void IcsCalendarFile::appendBlock(Block block)
{
    if (m_blockIndexValid && block.event)
        m_blockIndex[block.uid].append(qsizetype(m_blocks.size()));
    m_blocks.push_back(std::move(block));
}

QByteArray IcsCalendarFile::serialize() const
{
    qsizetype size = 64;
    for (const Block& b : m_blocks)
        size += textOf(b).size();
    QByteArray out;
    out.reserve(size);
    out += "BEGIN:VCALENDAR\r\n";
    for (const IcsText::Item& item : m_header)
        out += IcsText::terminated(item.text);
    for (const Block& b : m_blocks)
        out += textOf(b);
    out += "END:VCALENDAR\r\n";
    return out;
}

void IcsCalendarFile::setHeaderProperty(const char* name, const QString& value)
{
    icalproperty* current = findX(m_root, name);
    if (current ? text(icalproperty_get_x(current)) == value : value.isEmpty())
        return;
    setX(m_root, name, value);
    m_header.removeIf([&](const IcsText::Item& i) { return i.name == name; });
    if (icalproperty* p = findX(m_root, name))
        m_header.append(IcsText::Item{name, propertyText(p), false, {}});
}

QString IcsCalendarFile::title() const
{
    icalproperty* p = findX(m_root, kTitleProperty);
    return p ? text(icalproperty_get_x(p)) : QString();
}

void IcsCalendarFile::setTitle(const QString& title)
{
    setHeaderProperty(kTitleProperty, title);
}

QColor IcsCalendarFile::color() const
{
    icalproperty* p = findX(m_root, kColorProperty);
    if (!p)
        return {};
    const QColor c = QColor::fromString(text(icalproperty_get_x(p)).trimmed());
    return c.isValid() ? c : QColor();
}

void IcsCalendarFile::setColor(const QColor& color)
{
    setHeaderProperty(kColorProperty, color.isValid() ? color.name(QColor::HexRgb).toUpper() : QString());
}

QList<CalendarEvent> IcsCalendarFile::events(const QString& calendarId) const
{
    QList<CalendarEvent> out;
    QSet<QByteArray> unknownZones;
    for (const Block& b : m_blocks) {
        if (!b.event || !b.master)
            continue;
        if (const Decoded* d = decodedBlock(b, &unknownZones); d && d->event) {
            out.append(*d->event);
            out.last().calendarIdentifier = calendarId;
        }
    }
    noteUnknownZones(unknownZones, calendarId);
    return out;
}

std::optional<CalendarEvent> IcsCalendarFile::event(const QString& uid, const QString& calendarId) const
{
    const qsizetype at = masterBlock(uid);
    if (at < 0)
        return std::nullopt;
    QSet<QByteArray> unknownZones;
    const Decoded* d = decodedBlock(m_blocks[size_t(at)], &unknownZones);
    noteUnknownZones(unknownZones, calendarId);
    if (!d || !d->event)
        return std::nullopt;
    CalendarEvent e = *d->event;
    e.calendarIdentifier = calendarId;
    return e;
}

void IcsCalendarFile::noteUnknownZones(const QSet<QByteArray>& zones, const QString& calendarId) const
{
    if (zones.isEmpty() || m_unknownZonesLogged)
        return;
    m_unknownZonesLogged = true;
    QStringList names;
    for (const QByteArray& z : zones)
        names.append(QString::fromUtf8(z));
    names.sort();
    Log::line(QStringLiteral("[CalendarStore] 日历 %1 中有无法识别的时区，按本地时间读取：%2")
                  .arg(calendarId, names.join(QStringLiteral(", "))));
}

bool IcsCalendarFile::contains(const QString& uid) const
{
    return !blocksOf(uid).isEmpty();
}

void IcsCalendarFile::putEvent(const CalendarEvent& event, bool keepReading)
{
    const qsizetype at = masterBlock(event.identifier);
    std::optional<Decoded> known;
    if (at >= 0) {
        const Block& b = m_blocks[size_t(at)];
        known = b.decoded ? b.decoded : decode(takeTree(b).get(), nullptr);
    }
    if (!known) {
        if (at >= 0) {
            m_blocks.erase(m_blocks.begin() + at);
            dropBlockIndex();
        }
        Tree fresh(newEventComponent(event));
        // A kept reading is written out when it is handed over, together
        // with the rest of its batch.
        QByteArray text = keepReading ? QByteArray() : componentText(fresh.get());
        appendBlock(Block{event.identifier, true, true, std::move(text), std::move(fresh), {}, keepReading});
        return;
    }

    const int sequence = known->nextSequence;
    // Only what changed is rewritten: a recurring event keeps its start, end,
    // exceptions and overrides exactly as written, in its own zone.
    const std::optional<CalendarEvent>& current = known->event;
    QHash<QByteArray, QByteArray> fresh{{"DTSTAMP", {}}, {"LAST-MODIFIED", {}}, {"SEQUENCE", {}}};
    if (!current || current->title != event.title)
        fresh.insert("SUMMARY", {});
    if (!current || current->notes != event.notes)
        fresh.insert("DESCRIPTION", {});
    if (!current || current->location != event.location)
        fresh.insert("LOCATION", {});
    if (!current || current->orderIdentifier != event.orderIdentifier)
        fresh.insert(IcsCalendarFile::kOrderProperty, {});
    std::vector<icalproperty*> props = ownedProperties(event, sequence);
    TimeForm form;
    if (!current || current->startDate != event.startDate || current->endDate != event.endDate
        || current->allDay != event.allDay) {
        for (const char* name : {"DTSTART", "DTEND", "DURATION"})
            fresh.insert(name, {});
        form.tzid = known->tzid;
        form.zone = form.tzid.isEmpty() ? nullptr : zoneNamed(m_root, form.tzid.constData());
        // An unknown zone was read as local time; it is written back so.
        form.floating = form.tzid.isEmpty() ? known->floating : form.zone == nullptr;
        for (icalproperty* p : timeProperties(event, form))
            props.push_back(p);
    }
    for (icalproperty* p : props) {
        const QByteArray name = QByteArray(icalproperty_get_property_name(p)).toUpper();
        if (fresh.contains(name))
            fresh[name] += propertyText(p);
        icalproperty_free(p);
    }

    // The user's lines stay where they were; ours replace the old ones in place.
    IcsText::Component parts = IcsText::splitComponent(textOf(m_blocks[size_t(at)]));
    QList<IcsText::Item> items;
    QList<QByteArray> oldAlarms;
    QSet<QByteArray> placed;
    for (IcsText::Item& item : parts.items) {
        if (item.component && item.name == "VALARM") {
            oldAlarms.append(item.text);
        } else if (!item.component && fresh.contains(item.name)) {
            if (!placed.contains(item.name) && !fresh[item.name].isEmpty())
                items.append(IcsText::Item{item.name, fresh[item.name], false, {}});
            placed.insert(item.name);
        } else {
            items.append(std::move(item));
        }
    }
    qsizetype insertAt = 0;
    while (insertAt < items.size() && !items[insertAt].component)
        ++insertAt;
    for (const char* name : kOwnedProperties) {
        if (!placed.contains(name) && !fresh.value(name).isEmpty())
            items.insert(insertAt++, IcsText::Item{name, fresh[name], false, {}});
    }

    // Alarms that did not change go back as they were read.
    const bool paired = current && current->alarms.size() == oldAlarms.size();
    std::vector<bool> used(size_t(oldAlarms.size()), false);
    const Times times{event.startDate, event.endDate};
    for (const CalendarAlarm& alarm : event.alarms) {
        QByteArray alarmLines;
        for (qsizetype j = 0; paired && j < oldAlarms.size() && alarmLines.isEmpty(); ++j) {
            if (!used[size_t(j)] && current->alarms[j] == alarm) {
                used[size_t(j)] = true;
                alarmLines = oldAlarms[j];
            }
        }
        if (alarmLines.isEmpty())
            alarmLines = alarmText(alarm, times, event.title);
        items.append(IcsText::Item{"VALARM", alarmLines, true, {}});
    }
    parts.items = std::move(items);
    const QByteArray edited = parts.join();

    icalcomponent* fresher = icalparser_parse_string(edited.constData());
    const bool readable = fresher && icalcomponent_isa(fresher) == ICAL_VEVENT_COMPONENT;
    if (!readable) {
        // Never expected; an event the app cannot write as text is written whole.
        if (fresher)
            icalcomponent_free(fresher);
        fresher = newEventComponent(event);
    } else {
        icalcomponent_strip_errors(fresher);
    }
    m_blocks[size_t(at)].text = readable ? edited : componentText(fresher);
    m_blocks[size_t(at)].tree.reset(fresher);
    m_blocks[size_t(at)].keepTree = keepReading;
    m_blocks[size_t(at)].decoded.reset();
    if (form.zone && !form.tzid.isEmpty() && !icalcomponent_get_timezone(m_root, form.tzid.constData()))
        addTimeZone(form.tzid, form.zone);
}

void IcsCalendarFile::addTimeZone(const QByteArray& tzid, icaltimezone* zone)
{
    // A TZID must name a VTIMEZONE of the document for other programs to read it.
    icalcomponent* known = icaltimezone_get_component(zone);
    if (!known)
        return;
    icalcomponent* vtz = icalcomponent_new_clone(known);
    removeProperties(vtz, ICAL_TZID_PROPERTY);
    icalcomponent_add_property(vtz, icalproperty_new_tzid(tzid.constData()));
    icalcomponent_add_component(m_root, vtz);
    m_blocks.insert(m_blocks.begin(), Block{{}, false, false, componentText(vtz)});
    dropBlockIndex();
}

bool IcsCalendarFile::removeEvent(const QString& uid)
{
    const bool removed = !blocksOf(uid).isEmpty();
    std::erase_if(m_blocks, [&](const Block& b) { return b.event && b.uid == uid; });
    dropBlockIndex();
    return removed;
}

std::vector<icalcomponent*> IcsCalendarFile::takeComponents(const QStringList& uids)
{
    std::vector<Block*> blocks;
    for (const QString& uid : uids) {
        for (qsizetype i : blocksOf(uid))
            blocks.push_back(&m_blocks[size_t(i)]);
    }
    // Their text is written out on all cores before the readings go: each
    // worker has blocks of its own.
    forChunks(blocks.size(), 100, [&](size_t begin, size_t end, size_t) {
        for (size_t i = begin; i < end; ++i)
            textOf(*blocks[i]);
    });
    std::vector<icalcomponent*> out;
    for (Block* b : blocks) {
        b->keepTree = false;
        if (Tree tree = takeTree(*b))
            out.push_back(tree.release());
    }
    return out;
}

std::optional<QByteArray> IcsCalendarFile::componentsText(const QString& uid) const
{
    QByteArray out;
    for (qsizetype i : blocksOf(uid))
        out += textOf(m_blocks[size_t(i)]);
    if (out.isEmpty())
        return std::nullopt;
    return out;
}

void IcsCalendarFile::replaceComponents(const QString& uid, const std::optional<QByteArray>& text)
{
    removeEvent(uid);
    if (!text)
        return;
    icalcomponent* wrapper = parseWrapped(*text);
    if (!wrapper)
        return;
    for (Block& b : blocksFor(*text, wrapper, uid))
        appendBlock(std::move(b));
    icalcomponent_free(wrapper);
}
