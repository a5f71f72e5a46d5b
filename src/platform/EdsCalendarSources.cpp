#include "EdsCalendarStore.h"

#include "EdsGlib.h"

// The service's accounts and calendars.

using namespace EdsGlib;

CalendarSource EdsCalendarStore::sourceOf(ESource* calendar) const
{
    CalendarSource out;
    const char* parentUid = e_source_get_parent(calendar);
    GPtr<ESource> parent(parentUid ? e_source_registry_ref_source(m_registry, parentUid) : nullptr);
    out.identifier = QString::fromUtf8(parentUid ? parentUid : e_source_get_uid(calendar));
    out.title = takeText(e_source_dup_display_name(parent ? parent.get() : calendar));
    const bool inAccount = parent && e_source_has_extension(parent.get(), E_SOURCE_EXTENSION_COLLECTION);
    out.type = sourceTypeFor(backendName(calendar, E_SOURCE_EXTENSION_CALENDAR), inAccount);
    return out;
}

CalendarSourceType EdsCalendarStore::sourceTypeFor(const QString& backend, bool inAccount)
{
    // Only a few kinds stay on this computer or only read from afar; every
    // other calendar, above all one inside an online account whatever its
    // backend, syncs with a server and so reaches the phone.
    if (backend == u"contacts")
        return CalendarSourceType::Birthdays;
    if (!inAccount && (backend == u"webcal" || backend == u"weather"))
        return CalendarSourceType::Subscribed;
    if (!inAccount && (backend == u"ews" || backend == u"exchange" || backend == u"mapi"))
        return CalendarSourceType::Exchange;
    if (inAccount || (backend != u"local" && !backend.isEmpty()))
        return CalendarSourceType::CalDAV;
    return CalendarSourceType::Local;
}

CalendarInfo EdsCalendarStore::infoOf(ESource* source) const
{
    CalendarInfo info;
    info.identifier = QString::fromUtf8(e_source_get_uid(source));
    info.title = takeText(e_source_dup_display_name(source));
    auto* selectable = E_SOURCE_SELECTABLE(e_source_get_extension(source, E_SOURCE_EXTENSION_CALENDAR));
    info.color = QColor(takeText(e_source_selectable_dup_color(selectable)));
    info.source = sourceOf(source);
    return info;
}

QList<CalendarSource> EdsCalendarStore::sources() const
{
    // Where a new calendar can go: the online accounts that hold calendars,
    // then the calendars on this computer.
    QList<CalendarSource> out;
    const QList<ESource*> collections = listSources(m_registry, E_SOURCE_EXTENSION_COLLECTION);
    for (ESource* s : collections) {
        if (e_source_collection_get_calendar_enabled(E_SOURCE_COLLECTION(e_source_get_extension(s, E_SOURCE_EXTENSION_COLLECTION))))
            out.append({QString::fromUtf8(e_source_get_uid(s)), CalendarSourceType::CalDAV,
                        takeText(e_source_dup_display_name(s))});
    }
    unrefAll(collections);
    if (GPtr<ESource> local{e_source_registry_ref_builtin_calendar(m_registry)}) {
        if (const char* parent = e_source_get_parent(local.get())) {
            GPtr<ESource> stub(e_source_registry_ref_source(m_registry, parent));
            out.append({QString::fromUtf8(parent), CalendarSourceType::Local,
                        takeText(e_source_dup_display_name(stub ? stub.get() : local.get()))});
        }
    }
    return out;
}

QList<CalendarInfo> EdsCalendarStore::calendars() const
{
    QList<CalendarInfo> out;
    const QList<ESource*> list = listSources(m_registry, E_SOURCE_EXTENSION_CALENDAR);
    for (ESource* s : list)
        out.append(infoOf(s));
    unrefAll(list);
    return out;
}

std::optional<CalendarInfo> EdsCalendarStore::defaultCalendarForNewEvents() const
{
    GPtr<ESource> source(e_source_registry_ref_default_calendar(m_registry));
    if (!source)
        return std::nullopt;
    return infoOf(source.get());
}

bool EdsCalendarStore::saveCalendar(CalendarInfo& calendar, bool, QString* error)
{
    if (calendar.title.trimmed().isEmpty()) {
        setError(error, QStringLiteral("日历名称不能为空"));
        return false;
    }
    const QByteArray color = calendar.color.isValid() ? calendar.color.name().toUtf8() : QByteArray();
    GErrorHolder err;
    if (!calendar.identifier.isEmpty()) {
        GPtr<ESource> source(e_source_registry_ref_source(m_registry, calendar.identifier.toUtf8().constData()));
        if (!source) {
            setError(error, QStringLiteral("日历不存在"));
            return false;
        }
        e_source_set_display_name(source.get(), calendar.title.toUtf8().constData());
        auto* selectable = E_SOURCE_SELECTABLE(e_source_get_extension(source.get(), E_SOURCE_EXTENSION_CALENDAR));
        if (!color.isEmpty())
            e_source_selectable_set_color(selectable, color.constData());
        if (!callService([&](GCancellable* cancel, GError** e) { return e_source_write_sync(source.get(), cancel, e); },
                         err.out(), kAnswerMs)) {
            setError(error, QStringLiteral("保存日历失败：") + err.text());
            return false;
        }
        calendar.source = sourceOf(source.get());
        return true;
    }

    GPtr<ESource> scratch(e_source_new(nullptr, nullptr, err.out()));
    if (!scratch) {
        setError(error, QStringLiteral("创建日历失败：") + err.text());
        return false;
    }
    e_source_set_display_name(scratch.get(), calendar.title.toUtf8().constData());
    auto* extension = e_source_get_extension(scratch.get(), E_SOURCE_EXTENSION_CALENDAR);
    if (!color.isEmpty())
        e_source_selectable_set_color(E_SOURCE_SELECTABLE(extension), color.constData());

    const QByteArray parentUid = calendar.source.identifier.toUtf8();
    GPtr<ESource> parent(parentUid.isEmpty() ? nullptr : e_source_registry_ref_source(m_registry, parentUid.constData()));
    bool ok;
    if (parent && e_source_has_extension(parent.get(), E_SOURCE_EXTENSION_COLLECTION)) {
        // An online account makes the calendar on its server first.
        ok = callService([&](GCancellable* cancel, GError** e) {
            return e_source_remote_create_sync(parent.get(), scratch.get(), cancel, e);
        }, err.out(), kListAnswerMs); // a round trip to the account's server
    } else {
        GPtr<ESource> local(e_source_registry_ref_builtin_calendar(m_registry));
        const char* stub = local ? e_source_get_parent(local.get()) : "local-stub";
        e_source_set_parent(scratch.get(), parent ? parentUid.constData() : stub);
        e_source_backend_set_backend_name(E_SOURCE_BACKEND(extension), "local");
        ok = callService([&](GCancellable* cancel, GError** e) {
            return e_source_registry_commit_source_sync(m_registry, scratch.get(), cancel, e);
        }, err.out(), kAnswerMs);
    }
    if (!ok) {
        setError(error, QStringLiteral("创建日历失败：") + err.text());
        return false;
    }
    calendar.identifier = QString::fromUtf8(e_source_get_uid(scratch.get()));
    m_knownSources.insert(calendar.identifier);
    m_madeSources.insert(calendar.identifier);
    if (!GPtr<ESource>(e_source_registry_ref_source(m_registry, e_source_get_uid(scratch.get())))) {
        // A calendar made on a server comes back under a UID of the account's choosing.
        for (const CalendarInfo& c : calendars()) {
            if (c.title == calendar.title && c.source.identifier == calendar.source.identifier) {
                calendar.identifier = c.identifier;
                m_knownSources.insert(c.identifier);
                m_madeSources.insert(c.identifier);
            }
        }
    }
    if (auto info = this->calendar(calendar.identifier))
        calendar.source = info->source;
    return true;
}
