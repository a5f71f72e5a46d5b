#include "EdsCalendarStore.h"

#include "EdsCalendar.h"
#include "EdsCallWatchdog.h"
#include "EdsGlib.h"
#include "IcsCalendarFile.h"
#include "Log.h"

#include <QAbstractEventDispatcher>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <utility>
#include <vector>

using namespace EdsGlib;
using namespace EdsServer;

namespace {

QByteArray componentText(ICalComponent* component)
{
    gchar* text = i_cal_component_as_ical_string(component);
    const QByteArray out(text);
    g_free(text);
    return out;
}

QByteArray wrapped(const QByteArray& components)
{
    return QByteArrayLiteral("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Tessary//Calendar//ZH\r\n") + components
        + QByteArrayLiteral("END:VCALENDAR\r\n");
}

bool hasRecurrenceId(const QByteArray& text)
{
    return text.contains("\nRECURRENCE-ID");
}

bool hasRecurrenceId(ICalComponent* component)
{
    GPtr<ICalProperty> rid(i_cal_component_get_first_property(component, I_CAL_RECURRENCEID_PROPERTY));
    return rid != nullptr;
}


// The top-level components of a VCALENDAR, each as its own object.
struct Components {
    GPtr<ICalComponent> root;
    QList<ICalComponent*> events;
    QList<ICalComponent*> zones;

    explicit Components(const QByteArray& vcalendar)
        : root(i_cal_component_new_from_string(vcalendar.constData()))
    {
        if (!root)
            return;
        for (auto [kind, list] : {std::pair{I_CAL_VEVENT_COMPONENT, &events}, std::pair{I_CAL_VTIMEZONE_COMPONENT, &zones}}) {
            for (ICalComponent* c = i_cal_component_get_first_component(root.get(), kind); c;
                 c = i_cal_component_get_next_component(root.get(), kind))
                list->append(c);
        }
    }
    ~Components()
    {
        for (ICalComponent* c : events + zones)
            g_object_unref(c);
    }
    Components(const Components&) = delete;
    Components& operator=(const Components&) = delete;
};

GSList* toList(const QList<ICalComponent*>& components)
{
    GSList* list = nullptr;
    for (auto it = components.crbegin(); it != components.crend(); ++it)
        list = g_slist_prepend(list, *it);
    return list;
}

// Components going to the service, in order, released with the list.
struct Outgoing {
    QList<ICalComponent*> items;

    Outgoing() = default;
    ~Outgoing()
    {
        for (ICalComponent* c : std::as_const(items))
            g_object_unref(c);
    }
    Outgoing(const Outgoing&) = delete;
    Outgoing& operator=(const Outgoing&) = delete;
    bool isEmpty() const { return items.isEmpty(); }
    // Once the service has them: releasing a thousand readings takes a
    // while, and no one waits for it.
    void releaseInBackground()
    {
        (void)QtConcurrent::run([sent = std::exchange(items, {})] {
            for (ICalComponent* c : sent)
                g_object_unref(c);
        });
    }
};

// libical's reading handed to its GLib wrapper, which frees it.
ICalComponent* wrappedTree(icalcomponent* tree)
{
    return static_cast<ICalComponent*>(i_cal_object_construct(
        I_CAL_TYPE_COMPONENT, tree, reinterpret_cast<GDestroyNotify>(icalcomponent_free), FALSE, nullptr));
}

}

struct EdsCallbacks {
    static void added(ECalClientView*, const GSList* objects, gpointer data)
    {
        auto* c = static_cast<EdsCalendarStore::Calendar*>(data);
        QList<ICalComponent*> arrived;
        for (const GSList* l = objects; l; l = l->next)
            arrived.append(I_CAL_COMPONENT(l->data));
        c->store->objectsArrived(*c, arrived);
    }
    static void removed(ECalClientView*, const GSList* ids, gpointer data)
    {
        auto* c = static_cast<EdsCalendarStore::Calendar*>(data);
        QStringList uids, overrides;
        for (const GSList* l = ids; l; l = l->next) {
            auto* id = static_cast<ECalComponentId*>(l->data);
            const char* rid = e_cal_component_id_get_rid(id);
            (rid && *rid ? overrides : uids) << QString::fromUtf8(e_cal_component_id_get_uid(id));
        }
        c->store->objectsRemoved(*c, uids, overrides);
    }
    // The client's online state or the source's connection to its server.
    static void onlineChanged(GObject*, GParamSpec*, gpointer data)
    {
        auto* c = static_cast<EdsCalendarStore::Calendar*>(data);
        c->store->serverStateNotified(*c);
    }
    static void sourceAdded(ESourceRegistry*, ESource* source, gpointer data)
    {
        static_cast<EdsCalendarStore*>(data)->sourcesChanged(source, true);
    }
    static void sourceRemoved(ESourceRegistry*, ESource* source, gpointer data)
    {
        static_cast<EdsCalendarStore*>(data)->sourcesChanged(source, false);
    }
};

std::unique_ptr<EdsCalendarStore> EdsCalendarStore::connect(QString* error)
{
    GErrorHolder err;
    // Bounded as every other call: a registry that does not answer leaves
    // this session on the files instead of holding the app.
    EdsCallWatchdog watchdog;
    GPtr<GCancellable> cancellable(g_cancellable_new());
    watchdog.arm(cancellable.get(), kListAnswerMs);
    ESourceRegistry* registry = e_source_registry_new_sync(cancellable.get(), err.out());
    watchdog.disarm();
    if (!registry) {
        const bool silent = g_cancellable_is_cancelled(cancellable.get());
        setError(error, QStringLiteral("无法连接系统日历服务：") + (silent ? QStringLiteral("系统日历服务没有响应") : err.text()));
        return nullptr;
    }
    return std::unique_ptr<EdsCalendarStore>(new EdsCalendarStore(registry));
}

EdsCalendarStore::EdsCalendarStore(ESourceRegistry* registry)
    : m_registry(registry)
    , m_watchdog(std::make_unique<EdsCallWatchdog>())
    , m_viewContext(g_main_context_new_with_flags(G_MAIN_CONTEXT_FLAGS_OWNERLESS_POLLING))
{
    // A report arriving from the client library's thread signals the
    // context's wake-up descriptor, its only one while nothing waits.
    g_main_context_acquire(m_viewContext);
    gint priority = 0;
    gint timeout = 0;
    GPollFD fds[4];
    g_main_context_prepare(m_viewContext, &priority);
    const gint count = g_main_context_query(m_viewContext, priority, &timeout, fds, 4);
    g_main_context_release(m_viewContext);
    if (count > 0) {
        m_viewReports = new QSocketNotifier(fds[0].fd, QSocketNotifier::Read, this);
        QObject::connect(m_viewReports, &QSocketNotifier::activated, this, &EdsCalendarStore::deliverReports);
    }
    m_probeTimer.setSingleShot(true);
    QObject::connect(&m_probeTimer, &QTimer::timeout, this, &EdsCalendarStore::probeService);
    m_reconnectTimer.setSingleShot(true);
    QObject::connect(&m_reconnectTimer, &QTimer::timeout, this, &EdsCalendarStore::reconnectServers);
    m_changedTimer.setSingleShot(true);
    m_changedTimer.setInterval(kCoalesceMs);
    QObject::connect(&m_changedTimer, &QTimer::timeout, this, [this] { Q_EMIT changed(); });
    for (const CalendarInfo& c : calendars())
        m_knownSources.insert(c.identifier);
    g_signal_connect(registry, "source-added", G_CALLBACK(EdsCallbacks::sourceAdded), this);
    g_signal_connect(registry, "source-removed", G_CALLBACK(EdsCallbacks::sourceRemoved), this);
    // The service's reports arrive on GLib's main context, which Qt's event
    // loop runs only when it is built on GLib; otherwise it is run from here.
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher || !dispatcher->inherits("QEventDispatcherGlib")) {
        m_glibPump.setInterval(100);
        QObject::connect(&m_glibPump, &QTimer::timeout, this, [] {
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
        });
        m_glibPump.start();
    }
    // Coming to the front is when a user expects edits made on the phone.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QObject::connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                refreshFromServers();
        });
    }
}

EdsCalendarStore::~EdsCalendarStore()
{
    m_calendars.clear();
    g_signal_handlers_disconnect_by_data(m_registry, this);
    g_object_unref(m_registry);
    // Reports still waiting are released with their sources; the descriptor
    // goes with the context, so nothing watches it any more.
    delete m_viewReports;
    g_main_context_unref(m_viewContext);
}

void EdsCalendarStore::deliverReports()
{
    while (g_main_context_iteration(m_viewContext, FALSE)) {
    }
}

void EdsCalendarStore::sourcesChanged(ESource* source, bool added)
{
    if (!e_source_has_extension(source, E_SOURCE_EXTENSION_CALENDAR))
        return;
    const QString uid = QString::fromUtf8(e_source_get_uid(source));
    if (added && m_knownSources.contains(uid))
        return;
    if (added)
        m_knownSources.insert(uid);
    if (!added) {
        m_calendars.erase(uid);
        if (m_outages.remove(uid))
            Q_EMIT serverStateChanged();
    }
    scheduleChanged();
}

// --- Reading ---

EdsCalendarStore::Calendar* EdsCalendarStore::open(const QString& identifier) const
{
    auto it = m_calendars.find(identifier);
    if (it != m_calendars.end()) {
        Calendar& known = *it->second;
        // A calendar that would not open is tried again now and then, not on
        // every read; while the service is not answering, what was read stands.
        if (!m_silence.isEmpty() || (!known.stale && (!known.failed || known.failedAt.elapsed() < kRetryMs)))
            return known.failed ? nullptr : &known;
        m_calendars.erase(it);
    }
    if (!m_silence.isEmpty())
        return nullptr;

    GPtr<ESource> source(e_source_registry_ref_source(m_registry, identifier.toUtf8().constData()));
    if (!source || !e_source_has_extension(source.get(), E_SOURCE_EXTENSION_CALENDAR))
        return nullptr;
    auto c = std::make_unique<Calendar>();
    c->store = const_cast<EdsCalendarStore*>(this);
    c->identifier = identifier;
    c->source = std::move(source);
    Calendar* raw = c.get();
    m_calendars.emplace(identifier, std::move(c));

    GErrorHolder err;
    // No wait for a server: with one, the call would block for all of it. A
    // calendar just made may not have reached the service's backends yet.
    EClient* client = nullptr;
    QElapsedTimer made;
    made.start();
    auto* self = const_cast<EdsCalendarStore*>(this);
    do {
        g_clear_error(err.out());
        self->callService([&](GCancellable* cancel, GError** e) {
            client = e_cal_client_connect_sync(raw->source.get(), E_CAL_CLIENT_SOURCE_TYPE_EVENTS, guint32(-1), cancel, e);
            return client != nullptr;
        }, err.out(), kAnswerMs, identifier);
        if (!client && m_madeSources.contains(identifier) && m_silence.isEmpty())
            g_usleep(50 * 1000);
    } while (!client && m_madeSources.contains(identifier) && m_silence.isEmpty() && made.elapsed() < kRetryMs);
    GSList* objects = nullptr;
    ECalClientView* view = nullptr;
    if (!client
        || !self->callService([&](GCancellable* cancel, GError** e) {
               return e_cal_client_get_view_sync(E_CAL_CLIENT(client), "#t", &view, cancel, e);
           }, err.out(), kAnswerMs, identifier)
        || !self->callService([&](GCancellable* cancel, GError** e) {
               return e_cal_client_get_object_list_sync(E_CAL_CLIENT(client), "#t", &objects, cancel, e);
           }, err.out(), kListAnswerMs, identifier)) {
        Log::line(QStringLiteral("[CalendarStore] 无法打开系统日历 %1：%2").arg(identifier, err.text()));
        if (client)
            g_object_unref(client);
        if (view)
            g_object_unref(view);
        raw->failed = true;
        raw->failedAt.start();
        return nullptr;
    }
    raw->client.reset(E_CAL_CLIENT(client));
    raw->view.reset(view);
    // The service says a moment after the connect whether it reached the
    // server; until then the state read may be the one from before.
    raw->openedAt.start();
    raw->wentOffline = hasServer(raw->client.get()) && !serverConnected(raw->client.get(), raw->source.get());
    g_signal_connect(client, "notify::online", G_CALLBACK(EdsCallbacks::onlineChanged), raw);
    g_signal_connect(raw->source.get(), "notify::connection-status", G_CALLBACK(EdsCallbacks::onlineChanged), raw);
    // Changes after the list was read arrive through the view; what the view
    // reports that the list already had compares equal and raises nothing.
    e_cal_client_view_set_flags(view, E_CAL_CLIENT_VIEW_FLAGS_NONE, nullptr);
    g_signal_connect(view, "objects-added", G_CALLBACK(EdsCallbacks::added), raw);
    g_signal_connect(view, "objects-modified", G_CALLBACK(EdsCallbacks::added), raw);
    g_signal_connect(view, "objects-removed", G_CALLBACK(EdsCallbacks::removed), raw);
    // The view reports to the context current when it starts.
    g_main_context_push_thread_default(m_viewContext);
    e_cal_client_view_start(view, nullptr);
    g_main_context_pop_thread_default(m_viewContext);

    // The service's reading of each event becomes the mirror's, beside its
    // text: nothing is read twice.
    std::vector<icalcomponent*> trees;
    trees.reserve(g_slist_length(objects));
    raw->known.reserve(qsizetype(trees.capacity()));
    for (const GSList* l = objects; l; l = l->next) {
        trees.push_back(static_cast<icalcomponent*>(i_cal_object_get_native(I_CAL_OBJECT(l->data))));
        raw->known.insert(QString::fromUtf8(i_cal_component_get_uid(I_CAL_COMPONENT(l->data))));
    }
    raw->doc = IcsCalendarFile::fromEvents(trees, identifier);
    QList<CalendarEvent> events = raw->doc->events(identifier);
    raw->cache.reserve(events.size());
    for (CalendarEvent& e : events)
        raw->cache.insert(e.identifier, std::move(e));
    // Releasing thousands of readings takes a while too, and no one waits for it.
    (void)QtConcurrent::run([objects] { g_slist_free_full(objects, g_object_unref); });
    return raw;
}

EdsCalendarStore::Calendar* EdsCalendarStore::calendarOfEvent(const QString& identifier) const
{
    for (const CalendarInfo& info : calendars()) {
        Calendar* c = open(info.identifier);
        if (c && c->cache.contains(identifier))
            return c;
    }
    return nullptr;
}

std::optional<CalendarEvent> EdsCalendarStore::event(const QString& identifier) const
{
    if (Calendar* c = calendarOfEvent(identifier))
        return c->cache.value(identifier);
    return std::nullopt;
}

QList<CalendarEvent> EdsCalendarStore::events(const QDateTime& start, const QDateTime& end,
                                              const QStringList& calendarIdentifiers) const
{
    QStringList ids = calendarIdentifiers;
    if (ids.isEmpty()) {
        for (const CalendarInfo& info : calendars())
            ids << info.identifier;
    }
    // Compared with thousands of events: in local time each comparison
    // would ask the C library for the offset again.
    const QDateTime from = start.toUTC();
    const QDateTime to = end.toUTC();
    QList<CalendarEvent> out;
    for (const QString& id : ids) {
        if (Calendar* c = open(id)) {
            for (const CalendarEvent& e : std::as_const(c->cache)) {
                if (overlaps(e, from, to))
                    out.append(e);
            }
        }
    }
    sortEvents(out);
    return out;
}

// --- Writing ---

bool EdsCalendarStore::saveEvent(CalendarEvent& event, bool commitNow, QString* error)
{
    if (!validateEvent(event, error))
        return false;
    normalizeTimes(event);
    Calendar* target = open(event.calendarIdentifier);
    if (!target) {
        setError(error, m_silence.isEmpty() ? QStringLiteral("事件所属的日历不存在") : m_silence);
        return false;
    }
    const bool isNew = event.identifier.isEmpty();
    if (isNew)
        event.identifier = newIdentifier();
    if (Calendar* old = isNew ? nullptr : calendarOfEvent(event.identifier); old && old != target) {
        if (!old->pending.contains(event.identifier))
            old->pending.insert(event.identifier, old->doc->componentsText(event.identifier));
        old->doc->removeEvent(event.identifier);
        old->cache.remove(event.identifier);
    }
    if (!target->pending.contains(event.identifier))
        target->pending.insert(event.identifier, target->doc->componentsText(event.identifier));
    const bool keep = target->keptReadings < kSendChunk;
    target->keptReadings += keep ? 1 : 0;
    target->doc->putEvent(event, keep);
    target->cacheEvent(event.identifier);
    if (!commitNow || commit(error))
        return true;
    reset();
    if (isNew)
        event.identifier.clear();
    return false;
}

bool EdsCalendarStore::removeEvent(const QString& identifier, bool commitNow, QString* error)
{
    Calendar* c = calendarOfEvent(identifier);
    if (!c) {
        setError(error, QStringLiteral("找不到要删除的日历事件"));
        return false;
    }
    if (!c->pending.contains(identifier))
        c->pending.insert(identifier, c->doc->componentsText(identifier));
    c->doc->removeEvent(identifier);
    c->cache.remove(identifier);
    if (!commitNow || commit(error))
        return true;
    reset();
    return false;
}

bool EdsCalendarStore::commit(QString* error)
{
    bool ok = true;
    for (auto& [id, c] : m_calendars) {
        if (!c->pending.isEmpty() && !commitCalendar(*c, ok ? error : nullptr))
            ok = false;
    }
    return ok;
}

bool EdsCalendarStore::commitCalendar(Calendar& c, QString* error)
{
    QStringList createdUids, modifiedUids, removedUids;
    for (auto it = c.pending.cbegin(); it != c.pending.cend(); ++it) {
        if (!c.doc->contains(it.key())) {
            if (c.known.contains(it.key()))
                removedUids << it.key();
        } else {
            (c.known.contains(it.key()) ? modifiedUids : createdUids) << it.key();
        }
    }
    auto fail = [&](const char* what, const GErrorHolder& err) {
        c.stale = true;
        // A service that does not answer says nothing of the server.
        if (m_silence.isEmpty() && hasServer(c.client.get())
            && (isConnectionError(err.error) || !serverConnected(c.client.get(), c.source.get())))
            serverUnreachable(c, causeOf(err.text()));
        setError(error, QStringLiteral("系统日历%1失败：%2").arg(QString::fromUtf8(what), err.text()));
        return false;
    };

    GErrorHolder err;
    if (!removedUids.isEmpty()) {
        GSList* ids = nullptr;
        for (const QString& uid : std::as_const(removedUids))
            ids = g_slist_prepend(ids, e_cal_component_id_new(uid.toUtf8().constData(), nullptr));
        const bool done = callService([&](GCancellable* cancel, GError** e) {
            return e_cal_client_remove_objects_sync(c.client.get(), ids, E_CAL_OBJ_MOD_ALL, E_CAL_OPERATION_FLAG_NONE,
                                                    cancel, e);
        }, err.out(), answerMsFor(removedUids.size()), c.identifier);
        g_slist_free_full(ids, reinterpret_cast<GDestroyNotify>(e_cal_component_id_free));
        if (!done)
            return fail("删除事件", err);
    }
    for (const QString& uid : std::as_const(removedUids))
        c.known.remove(uid);

    // Series first, in bounded chunks: a batch of ten thousand events is
    // never held in libical all at once. The mirror hands over its reading of
    // each event, so what was just written is not parsed again. A recurring
    // event's own changes go in after its series exists.
    Outgoing detached;
    // Series whose own changes are still to go stay pending until they have.
    QSet<QString> hasOverrides;
    c.keptReadings = 0;
    for (const bool create : {true, false}) {
        const QStringList& uids = create ? createdUids : modifiedUids;
        for (qsizetype at = 0; at < uids.size(); at += kSendChunk) {
            const QStringList chunk = uids.mid(at, kSendChunk);
            Outgoing masters;
            for (icalcomponent* tree : c.doc->takeComponents(chunk)) {
                ICalComponent* e = wrappedTree(tree);
                if (hasRecurrenceId(e))
                    hasOverrides.insert(QString::fromUtf8(i_cal_component_get_uid(e)));
                (hasRecurrenceId(e) ? detached : masters).items.append(e);
            }
            if (masters.isEmpty())
                continue;
            GSList* list = toList(masters.items);
            GSList* made = nullptr;
            const bool done = callService([&](GCancellable* cancel, GError** e) {
                return create
                    ? e_cal_client_create_objects_sync(c.client.get(), list, E_CAL_OPERATION_FLAG_NONE, &made, cancel, e)
                    : e_cal_client_modify_objects_sync(c.client.get(), list, E_CAL_OBJ_MOD_ALL, E_CAL_OPERATION_FLAG_NONE,
                                                       cancel, e);
            }, err.out(), answerMsFor(masters.items.size()), c.identifier);
            g_slist_free(list);
            g_slist_free_full(made, g_free);
            if (!done)
                return fail(create ? "写入事件" : "修改事件", err);
            masters.releaseInBackground();
            // Sent: what the service reports of these from now on is our echo.
            for (const QString& uid : chunk) {
                if (create)
                    c.known.insert(uid);
                if (!hasOverrides.contains(uid)) {
                    c.expectEcho(uid);
                    c.pending.remove(uid);
                }
            }
            // The reports of what went out pile up while the rest goes:
            // taken in now, a large batch holds them for one chunk only.
            if (at + kSendChunk < uids.size() || (create && !modifiedUids.isEmpty()))
                deliverReports();
        }
    }
    if (!detached.isEmpty()) {
        GSList* list = toList(detached.items);
        const bool done = callService([&](GCancellable* cancel, GError** e) {
            return e_cal_client_modify_objects_sync(c.client.get(), list, E_CAL_OBJ_MOD_THIS, E_CAL_OPERATION_FLAG_NONE,
                                                    cancel, e);
        }, err.out(), answerMsFor(detached.items.size()), c.identifier);
        g_slist_free(list);
        if (!done)
            return fail("修改事件", err);
    }
    for (auto it = c.pending.cbegin(); it != c.pending.cend(); ++it)
        c.expectEcho(it.key());
    c.pending.clear();
    c.reportedWhilePending.clear();
    // The service carries out writes again: its next silence is probed soon.
    m_probeWaitMs = kProbeFirstMs;
    // Taken is not sent: without its server the service keeps the change
    // in its offline copy and answers success all the same.
    if (hasServer(c.client.get())) {
        const std::optional<bool> connected = serverConnectedNow(c);
        // Unknown right after opening: a server out of reach stays so until
        // the service says otherwise; any other write counts as sent.
        if (connected.value_or(!m_outages.contains(c.identifier)))
            serverReachable(c.identifier, connected.has_value());
        else
            serverUnreachable(c, {});
    }
    return true;
}

void EdsCalendarStore::reset()
{
    bool setAside = false;
    for (auto& [id, c] : m_calendars) {
        for (auto it = c->pending.cbegin(); it != c->pending.cend(); ++it) {
            c->doc->replaceComponents(it.key(), it.value());
            c->cacheEvent(it.key());
        }
        c->pending.clear();
        c->keptReadings = 0;
        // The service's word on these was set aside for a write that did not
        // go: read the calendar again and say so, or the next try is made
        // against what the service no longer holds (a create of an event a
        // write carried out for a client already gone left on the server).
        if (!c->reportedWhilePending.isEmpty()) {
            c->reportedWhilePending.clear();
            c->stale = true;
            setAside = true;
        }
    }
    if (setAside)
        scheduleChanged();
}

int EdsCalendarStore::addComponents(const QString& calendarIdentifier, const QByteArray& vcalendar, QString* error)
{
    Calendar* c = open(calendarIdentifier);
    if (!c) {
        setError(error, m_silence.isEmpty() ? QStringLiteral("事件所属的日历不存在") : m_silence);
        return -1;
    }
    const Components parts(vcalendar);
    if (!parts.root) {
        setError(error, QStringLiteral("日历内容无法读取"));
        return -1;
    }
    GErrorHolder err;
    for (ICalComponent* zoneComponent : parts.zones) {
        GPtr<ICalTimezone> zone(i_cal_timezone_new());
        i_cal_timezone_set_component(zone.get(), i_cal_component_clone(zoneComponent));
        if (!callService([&](GCancellable* cancel, GError** e) {
                return e_cal_client_add_timezone_sync(c->client.get(), zone.get(), cancel, e);
            }, err.out(), kAnswerMs, c->identifier)) {
            setError(error, QStringLiteral("系统日历写入时区失败：") + err.text());
            return -1;
        }
    }
    QByteArray text;
    QStringList uids;
    for (ICalComponent* e : parts.events) {
        const QString uid = QString::fromUtf8(i_cal_component_get_uid(e));
        if (c->known.contains(uid) && !uids.contains(uid))
            continue;
        text += componentText(e);
        if (!uids.contains(uid))
            uids << uid;
    }
    for (const QString& uid : std::as_const(uids)) {
        c->pending.insert(uid, std::nullopt);
        c->doc->replaceComponents(uid, std::nullopt);
    }
    // Through the mirror, so it holds what the service holds.
    std::unique_ptr<IcsCalendarFile> incoming = IcsCalendarFile::parse(wrapped(text), calendarIdentifier, nullptr);
    for (const QString& uid : std::as_const(uids)) {
        c->doc->replaceComponents(uid, incoming ? incoming->componentsText(uid) : std::nullopt);
        c->cacheEvent(uid);
    }
    if (!commitCalendar(*c, error)) {
        reset();
        return -1;
    }
    return int(uids.size());
}

// --- Outside edits ---

void EdsCalendarStore::objectsArrived(Calendar& c, const QList<ICalComponent*>& components)
{
    bool outside = false;
    for (ICalComponent* component : components) {
        const QString uid = QString::fromUtf8(i_cal_component_get_uid(component));
        if (c.pending.contains(uid)) {
            c.reportedWhilePending.insert(uid); // about to be overwritten by ours
            continue;
        }
        // Our own writes come back by the thousand: told apart on libical's
        // reading, without writing it out and reading it again.
        if (c.echoes.contains(uid)
            && c.isEcho(uid, IcsCalendarFile::eventOf(static_cast<icalcomponent*>(i_cal_object_get_native(I_CAL_OBJECT(component))),
                                                      c.identifier)))
            continue;
        const QByteArray text = componentText(component);
        QByteArray whole = text;
        const std::optional<QByteArray> before = c.doc->componentsText(uid);
        if (hasRecurrenceId(text) || (before && hasRecurrenceId(*before))) {
            // One occurrence changed: take the whole series again.
            GSList* all = nullptr;
            GErrorHolder err;
            whole.clear();
            if (callService([&](GCancellable* cancel, GError** e) {
                    return e_cal_client_get_objects_for_uid_sync(c.client.get(), uid.toUtf8().constData(), &all, cancel, e);
                }, err.out(), kAnswerMs, c.identifier)) {
                for (GSList* l = all; l; l = l->next)
                    whole += componentText(e_cal_component_get_icalcomponent(E_CAL_COMPONENT(l->data)));
            }
            g_slist_free_full(all, g_object_unref);
        }
        const std::optional<CalendarEvent> old = c.cache.contains(uid) ? std::optional(c.cache.value(uid)) : std::nullopt;
        c.doc->replaceComponents(uid, whole.isEmpty() ? std::nullopt : std::optional(whole));
        c.known.insert(uid);
        c.cacheEvent(uid);
        const std::optional<CalendarEvent> now = c.cache.contains(uid) ? std::optional(c.cache.value(uid)) : std::nullopt;
        // Our own writes come back as they went out: only a difference counts.
        if (old != now || hasRecurrenceId(whole))
            outside = true;
    }
    if (outside)
        scheduleChanged();
}

void EdsCalendarStore::objectsRemoved(Calendar& c, const QStringList& uids, const QStringList& withRecurrence)
{
    bool outside = false;
    for (const QString& uid : uids) {
        if (c.pending.contains(uid))
            c.reportedWhilePending.insert(uid);
        if (c.isEcho(uid, std::nullopt) || c.pending.contains(uid) || !c.doc->contains(uid))
            continue; // our own removal
        c.known.remove(uid);
        c.doc->removeEvent(uid);
        c.cache.remove(uid);
        outside = true;
    }
    if (!withRecurrence.isEmpty())
        outside = true; // an occurrence went: the series stays, nothing we read changes shape
    if (outside)
        scheduleChanged();
}

void EdsCalendarStore::scheduleChanged()
{
    m_changedTimer.start();
}
