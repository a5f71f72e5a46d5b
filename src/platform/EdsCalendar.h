#pragma once

// What the calendar service store's files share: an open calendar, and how
// the service tells whether a calendar's server can be reached.

#include "EdsCalendarStore.h"
#include "EdsGlib.h"
#include "IcsCalendarFile.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <memory>
#include <optional>

namespace EdsServer {
// How long after our own write a report of the same state is its echo.
constexpr qint64 kEchoMs = 10000;

// A calendar the service syncs with a server (a local one has nothing to refresh).
bool hasServer(ECalClient* client);
// The service's own word that it talks to the calendar's server now.
bool serverConnected(ECalClient* client, ESource* source);
// A write refused because the server could not be reached, as opposed to
// one the server itself turned down.
bool isConnectionError(const GError* error);
// The service's message without its first clause ("Cannot create calendar
// object: "), which says what was tried, not what went wrong.
QString causeOf(const QString& message);
}

struct EdsCalendarStore::Calendar {
    EdsCalendarStore* store = nullptr;
    QString identifier;
    EdsGlib::GPtr<ESource> source;
    EdsGlib::GPtr<ECalClient> client;
    EdsGlib::GPtr<ECalClientView> view;
    std::unique_ptr<IcsCalendarFile> doc;
    // UIDs the service holds as of the last read or commit.
    QSet<QString> known;
    // Uncommitted changes: each event's text before its first change.
    QHash<QString, std::optional<QByteArray>> pending;
    QHash<QString, CalendarEvent> cache;
    // Uncommitted events whose libical reading the mirror keeps for sending:
    // at most one chunk's worth, so a large batch holds no more than that.
    int keptReadings = 0;
    // What each of our recent commits left of an event (none: removed). The
    // service reports each write back through the view, possibly after later
    // writes and merged with them, so a report matching one of these states
    // is an echo and changes nothing.
    QHash<QString, QList<std::pair<qint64, std::optional<CalendarEvent>>>> echoes;
    // Reports of pending events, set aside for our write about to overwrite
    // them: if that write fails, what they said must be read again.
    QSet<QString> reportedWhilePending;
    // A failed commit may have reached the service in part: read it again.
    bool stale = false;
    bool failed = false;
    // The service said its server went out of reach.
    bool wentOffline = false;
    // Since when the calendar is open, and whether the service has told
    // anything of its server since.
    QElapsedTimer openedAt;
    bool serverStateTold = false;
    QElapsedTimer failedAt;

    ~Calendar()
    {
        if (source)
            g_signal_handlers_disconnect_by_data(source.get(), this);
        if (client)
            g_signal_handlers_disconnect_by_data(client.get(), this);
        // Letting the view go ends it in the service without waiting for an
        // answer; stopping it first would wait on a service that may be silent.
        if (view)
            g_signal_handlers_disconnect_by_data(view.get(), this);
    }

    void expectEcho(const QString& uid)
    {
        std::optional<CalendarEvent> state;
        if (cache.contains(uid))
            state = cache.value(uid);
        echoes[uid].append({QDateTime::currentMSecsSinceEpoch(), state});
    }
    bool isEcho(const QString& uid, const std::optional<CalendarEvent>& reported)
    {
        auto it = echoes.find(uid);
        if (it == echoes.end())
            return false;
        // Only recent writes: an edit made much later that happens to match is the user's.
        const qint64 oldest = QDateTime::currentMSecsSinceEpoch() - EdsServer::kEchoMs;
        it->removeIf([oldest](const auto& sent) { return sent.first < oldest; });
        const bool echo = std::any_of(it->cbegin(), it->cend(), [&](const auto& sent) { return sent.second == reported; });
        if (it->isEmpty())
            echoes.erase(it);
        return echo;
    }

    void cacheEvent(const QString& uid)
    {
        if (auto e = doc->event(uid, identifier))
            cache.insert(uid, *e);
        else
            cache.remove(uid);
    }
};
