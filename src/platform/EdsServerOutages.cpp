// EdsCalendarStore, its servers: whether a calendar's server can be reached,
// and reaching it again while changes wait.

#include "EdsCalendar.h"
#include "Log.h"

#include <QRegularExpression>

#include <algorithm>

using namespace EdsGlib;

namespace EdsServer {

bool hasServer(ECalClient* client)
{
    return client && e_client_check_refresh_supported(E_CLIENT(client));
}

bool serverConnected(ECalClient* client, ESource* source)
{
    return e_client_is_online(E_CLIENT(client))
        && e_source_get_connection_status(source) == E_SOURCE_CONNECTION_STATUS_CONNECTED;
}

bool isConnectionError(const GError* error)
{
    if (!error)
        return false;
    if (error->domain == G_RESOLVER_ERROR)
        return true;
    if (error->domain == E_CLIENT_ERROR)
        return error->code == E_CLIENT_ERROR_REPOSITORY_OFFLINE;
    if (error->domain != G_IO_ERROR)
        return false;
    switch (error->code) {
    case G_IO_ERROR_CONNECTION_REFUSED:
    case G_IO_ERROR_HOST_NOT_FOUND:
    case G_IO_ERROR_HOST_UNREACHABLE:
    case G_IO_ERROR_NETWORK_UNREACHABLE:
    case G_IO_ERROR_TIMED_OUT:
    case G_IO_ERROR_BROKEN_PIPE:
    case G_IO_ERROR_NOT_CONNECTED:
    case G_IO_ERROR_PROXY_FAILED:
        return true;
    default:
        return false;
    }
}

QString causeOf(const QString& message)
{
    static const QRegularExpression firstClause(QStringLiteral("^[^:：]+[:：]\\s*"));
    const QString rest = QString(message).remove(firstClause).trimmed();
    return rest.isEmpty() ? message.trimmed() : rest;
}

}

using namespace EdsServer;

namespace {
void refreshCalendar(ECalClient* client)
{
    e_client_refresh(E_CLIENT(client), nullptr, [](GObject* source, GAsyncResult* result, gpointer) {
        GErrorHolder err;
        if (!e_client_refresh_finish(E_CLIENT(source), result, err.out()))
            Log::line(QStringLiteral("[CalendarStore] 无法从服务器更新日历：") + err.text());
    }, nullptr);
}
}

void EdsCalendarStore::refreshFromServers()
{
    for (auto& [id, c] : m_calendars) {
        if (hasServer(c->client.get()))
            refreshCalendar(c->client.get());
    }
}

// --- Servers out of reach ---

QString EdsCalendarStore::serverProblem(const QString& calendarIdentifier) const
{
    const auto it = m_outages.constFind(calendarIdentifier);
    return it == m_outages.cend() ? QString() : it->cause;
}

std::optional<bool> EdsCalendarStore::serverConnectedNow(const Calendar& c) const
{
    if (!c.serverStateTold && c.openedAt.isValid() && c.openedAt.elapsed() < kServerSettleMs)
        return std::nullopt;
    return serverConnected(c.client.get(), c.source.get());
}

void EdsCalendarStore::serverStateNotified(Calendar& c)
{
    if (!hasServer(c.client.get()))
        return;
    c.serverStateTold = true;
    if (!serverConnected(c.client.get(), c.source.get())) {
        c.wentOffline = true;
        // The service now says what it knows: its return will be told here too.
        if (auto it = m_outages.find(c.identifier); it != m_outages.end())
            it->statusBlind = false;
        return;
    }
    // A server back within reach: what waits to be written can go now.
    if (std::exchange(c.wentOffline, false)) {
        serverReachable(c.identifier, true);
        scheduleChanged();
    }
}

void EdsCalendarStore::serverUnreachable(Calendar& c, const QString& cause)
{
    const bool fresh = !m_outages.contains(c.identifier);
    Outage& outage = m_outages[c.identifier];
    const QString before = outage.cause;
    if (!cause.isEmpty())
        outage.cause = cause;
    else if (outage.cause.isEmpty())
        outage.cause = QStringLiteral("无法连接到日历服务器");
    if (fresh) {
        outage.statusBlind = serverConnected(c.client.get(), c.source.get());
        Log::line(QStringLiteral("[CalendarStore] 日历服务器无法连接：") + outage.cause);
        // The wait keeps growing until the server is known to be back.
        if (!m_reconnectTimer.isActive())
            m_reconnectTimer.start(m_reconnectWaitMs);
    }
    if (fresh || outage.cause != before)
        Q_EMIT serverStateChanged();
}

void EdsCalendarStore::serverReachable(const QString& calendarIdentifier, bool confirmed)
{
    const bool wasOut = m_outages.remove(calendarIdentifier);
    // A write that went through once an assumed return lifted every outage
    // shows the return held: the next outage waits from the start again.
    // Only failures make the wait grow, so this cannot bring a retry loop.
    if (confirmed || (!wasOut && m_outages.isEmpty()))
        m_reconnectWaitMs = kReconnectFirstMs;
    if (!wasOut)
        return;
    if (confirmed)
        Log::line(QStringLiteral("[CalendarStore] 日历服务器已恢复连接"));
    if (m_outages.isEmpty())
        m_reconnectTimer.stop();
    Q_EMIT serverStateChanged();
}

void EdsCalendarStore::reconnectServers()
{
    QStringList confirmedBack, assumedBack;
    for (const QString& id : m_outages.keys()) {
        Calendar* c = open(id);
        if (!c || !hasServer(c->client.get()))
            continue;
        // Reconnecting sends what the offline copy holds; the service tells
        // through the connection state when it is back.
        refreshCalendar(c->client.get());
        const auto it = m_outages.constFind(id);
        if (it == m_outages.cend())
            continue;
        if (!it->statusBlind) {
            // A calendar opened again (after a failed write) while the
            // service was already back hears no change of its state: what
            // the service says once it has settled is its word.
            if (serverConnectedNow(*c).value_or(false))
                confirmedBack << id;
        } else if (serverConnected(c->client.get(), c->source.get())) {
            // Where the service believes itself connected all along, only a
            // write tells: the outage is lifted and what waits is written
            // again, which brings it back at once if the server still does
            // not answer.
            assumedBack << id;
        }
    }
    for (const QString& id : std::as_const(confirmedBack))
        serverReachable(id, true);
    for (const QString& id : std::as_const(assumedBack))
        serverReachable(id, false);
    if (!confirmedBack.isEmpty() || !assumedBack.isEmpty())
        scheduleChanged();
    m_reconnectWaitMs = std::min(m_reconnectWaitMs * 2, kReconnectLongestMs);
    if (!m_outages.isEmpty())
        m_reconnectTimer.start(m_reconnectWaitMs);
}
