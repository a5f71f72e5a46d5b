// EdsCalendarStore, its calls to the service: each one bounded, so a service
// that stops answering (stopped, stuck, or a backend waiting on its server)
// never holds the window; until it answers again nothing more is sent.

#include "EdsCalendar.h"
#include "EdsCallWatchdog.h"
#include "Log.h"

#include <QPointer>

#include <algorithm>

using namespace EdsGlib;

namespace {
using StoreRef = QPointer<EdsCalendarStore>;
}

int EdsCalendarStore::answerMsFor(qsizetype items)
{
    return kAnswerMs + int(std::max<qsizetype>(0, items - kBulkFreeItems)) * kBulkItemMs;
}

bool EdsCalendarStore::callService(const std::function<int(GCancellable*, GError**)>& call, GError** error, int ms,
                                   const QString& calendarIdentifier)
{
    if (!m_silence.isEmpty()) {
        g_set_error_literal(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT, m_silence.toUtf8().constData());
        return false;
    }
    GPtr<GCancellable> cancellable(g_cancellable_new());
    m_watchdog->arm(cancellable.get(), ms);
    const bool done = call(cancellable.get(), error);
    m_watchdog->disarm();
    if (done || !g_cancellable_is_cancelled(cancellable.get()))
        return done;
    // Given up on our side only: the service may still carry it out later.
    g_clear_error(error);
    g_set_error_literal(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT, "系统日历服务没有响应");
    if (!calendarIdentifier.isEmpty())
        serviceStoppedAnswering(calendarIdentifier);
    return false;
}

void EdsCalendarStore::serviceStoppedAnswering(const QString& calendarIdentifier)
{
    m_probeCalendar = calendarIdentifier;
    if (!m_silence.isEmpty())
        return;
    m_silence = QStringLiteral("系统日历服务没有响应");
    Log::line(QStringLiteral("[CalendarStore] 系统日历服务没有响应，改动暂存在本机，等它恢复后再写入"));
    Q_EMIT serverStateChanged();
    m_probeTimer.start(m_probeWaitMs);
    m_probeWaitMs = std::min(m_probeWaitMs * 2, kProbeLongestMs);
}

void EdsCalendarStore::probeService()
{
    if (m_silence.isEmpty() || m_probing)
        return;
    m_probing = true;
    auto* self = new StoreRef(this);
    const auto it = m_calendars.find(m_probeCalendar);
    if (it != m_calendars.end() && it->second->client) {
        // Matches nothing: an answer from the calendar's backend for one round trip.
        e_cal_client_get_object_list(it->second->client.get(), "#f", nullptr,
            [](GObject* client, GAsyncResult* result, gpointer data) {
                std::unique_ptr<StoreRef> self(static_cast<StoreRef*>(data));
                GSList* objects = nullptr;
                GErrorHolder err;
                e_cal_client_get_object_list_finish(E_CAL_CLIENT(client), result, &objects, err.out());
                g_slist_free_full(objects, g_object_unref);
                if (*self)
                    (*self)->probeAnswered(err.error);
            }, self);
        return;
    }
    GPtr<ESource> source(e_source_registry_ref_source(m_registry, m_probeCalendar.toUtf8().constData()));
    if (!source) {
        delete self;
        m_probing = false;
        probeAnswered(nullptr); // nothing left to wait for
        return;
    }
    e_cal_client_connect(source.get(), E_CAL_CLIENT_SOURCE_TYPE_EVENTS, guint32(-1), nullptr,
        [](GObject*, GAsyncResult* result, gpointer data) {
            std::unique_ptr<StoreRef> self(static_cast<StoreRef*>(data));
            GErrorHolder err;
            GPtr<EClient> client(e_cal_client_connect_finish(result, err.out()));
            if (*self)
                (*self)->probeAnswered(err.error);
        }, self);
}

void EdsCalendarStore::probeAnswered(const GError* error)
{
    m_probing = false;
    if (error && (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)
                  || g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED))) {
        m_probeTimer.start(kProbeFirstMs);
        return;
    }
    if (m_silence.isEmpty())
        return;
    m_silence.clear();
    Log::line(QStringLiteral("[CalendarStore] 系统日历服务已恢复响应"));
    Q_EMIT serverStateChanged();
    // What waits can go now; calendars a given-up call left stale are read again.
    scheduleChanged();
}
