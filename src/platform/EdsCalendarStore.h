#pragma once

#include "platform/CalendarStore.h"

#include <QByteArrayList>
#include <QDBusConnection>
#include <QHash>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

class EdsCallWatchdog;
struct _ESourceRegistry;
struct _ESource;
struct _ICalComponent;
struct _GMainContext;
struct _GCancellable;
struct _GError;

// The calendar store over the desktop's calendar service (Evolution Data
// Server): the calendars GNOME Calendar, Evolution and the online accounts
// show, so events written here reach whatever those accounts sync with.
//
// Each calendar's events are mirrored in an iCalendar document, so reads cost
// no round trip and an event keeps every line it had when the app edits it.
// Changes saved without commit go to the service in one call per kind
// (create, modify, remove) and calendar on `commit`. A view on each calendar
// reports edits made by other programs; an edit whose content equals the
// mirror (the echo of our own write) raises nothing.
class EdsCalendarStore : public CalendarStore
{
    Q_OBJECT
public:
    // How long outside edits are gathered before one `changed`.
    static constexpr int kCoalesceMs = 300;
    // How many events go to the service in one call.
    static constexpr int kSendChunk = 1000;
    // How long a calendar that would not open is left before trying again.
    static constexpr int kRetryMs = 5000;
    // How long after a connect the service's state of a calendar's server
    // may still be the one from before, unless the service told a new one.
    static constexpr int kServerSettleMs = 2000;
    // While a calendar's server cannot be reached, the service is asked to
    // reconnect after this wait, doubled after each try up to the longest.
    static constexpr int kReconnectFirstMs = 2000;
    static constexpr int kReconnectLongestMs = 30000;
    // How long a call to the service may go unanswered before it is given
    // up and the service taken for not answering, so the window never waits
    // on it longer; a call carrying many events gets more for each beyond the
    // first few, and reading a whole calendar more still.
    static constexpr int kAnswerMs = 1700;
    static constexpr int kBulkFreeItems = 25;
    static constexpr int kBulkItemMs = 20;
    static constexpr int kListAnswerMs = 10000;
    // A service that stopped answering is probed after this wait, doubled
    // each time it stops again before a write went through, up to the
    // longest: one that answers probes but not writes (a backend waiting on
    // its server) is not asked to write again every moment.
    static constexpr int kProbeFirstMs = 1000;
    static constexpr int kProbeLongestMs = 30000;
    // The bus name of the service's source registry.
    static constexpr const char* kRegistryBusName = "org.gnome.evolution.dataserver.Sources5";

    // Whether `bus` has the source registry running.
    static bool serviceRunning(const QDBusConnection& bus);
    // Whether `bus` has it running or can start it (the service is installed).
    static bool serviceInstalled(const QDBusConnection& bus);
    // Starts the registry by bus activation unless it runs; false, with the
    // cause in `error`, when it is not up within `timeoutMs`.
    static bool startService(const QDBusConnection& bus, int timeoutMs, QString* error = nullptr);
    // The kind of account a calendar of the service's `backend` belongs to,
    // inside an online account (a collection) or not.
    static CalendarSourceType sourceTypeFor(const QString& backend, bool inAccount);
    // Connects to the registry; null (with the reason in `error`) when it
    // cannot be reached.
    static std::unique_ptr<EdsCalendarStore> connect(QString* error = nullptr);
    ~EdsCalendarStore() override;

    QList<CalendarSource> sources() const override;
    QList<CalendarInfo> calendars() const override;
    std::optional<CalendarInfo> defaultCalendarForNewEvents() const override;
    bool saveCalendar(CalendarInfo& calendar, bool commit = true, QString* error = nullptr) override;

    std::optional<CalendarEvent> event(const QString& identifier) const override;
    QList<CalendarEvent> events(const QDateTime& start, const QDateTime& end,
                                const QStringList& calendarIdentifiers = {}) const override;
    bool saveEvent(CalendarEvent& event, bool commit = true, QString* error = nullptr) override;
    bool removeEvent(const QString& identifier, bool commit = true, QString* error = nullptr) override;
    bool commit(QString* error = nullptr) override;
    void reset() override;

    // Adds whole iCalendar components (VEVENT and VTIMEZONE blocks, as read
    // from a file) to a calendar as they stand, in one call; components whose
    // UID the calendar already has are left out. Returns how many events went in.
    int addComponents(const QString& calendarIdentifier, const QByteArray& vcalendar, QString* error = nullptr);
    // Asks every open calendar that has a server to fetch its changes now;
    // what changed arrives through `changed`. The app does it when it comes
    // to the front.
    void refreshFromServers();

    bool supportsOnlineAccounts() const override { return true; }
    // A calendar's server is out of reach from a write it refused for want
    // of a connection, or a write the service took while not connected to
    // it (kept in its offline copy), until the service is connected again.
    QString serverProblem(const QString& calendarIdentifier) const override;
    // Set from a call the service left unanswered until it answers a probe.
    QString serviceProblem() const override { return m_silence; }

private:
    struct Calendar;
    explicit EdsCalendarStore(_ESourceRegistry* registry);
    // The calendar with its events read, connecting on first use; null when
    // there is no such calendar or the service refused it.
    Calendar* open(const QString& identifier) const;
    Calendar* calendarOfEvent(const QString& identifier) const;
    CalendarInfo infoOf(_ESource* source) const;
    CalendarSource sourceOf(_ESource* calendar) const;
    bool commitCalendar(Calendar& c, QString* error);
    void scheduleChanged();
    // The service's word on a calendar's server changed.
    void serverStateNotified(Calendar& c);
    // Whether the service is connected to the calendar's server now; none
    // while what it says may still be from before the calendar was opened.
    std::optional<bool> serverConnectedNow(const Calendar& c) const;
    void serverUnreachable(Calendar& c, const QString& cause);
    // `confirmed`: the service said so, or a write reached the server.
    void serverReachable(const QString& calendarIdentifier, bool confirmed);
    // Asks the service to reach the servers out of reach again.
    void reconnectServers();
    // Runs one synchronous call to the service, given up after `ms`. While
    // the service is not answering nothing is sent and the call fails at
    // once. A call to a calendar (`calendarIdentifier` given) that is given
    // up takes the service for not answering until it answers a probe.
    bool callService(const std::function<int(_GCancellable*, _GError**)>& call, _GError** error, int ms,
                     const QString& calendarIdentifier = {});
    static int answerMsFor(qsizetype items);
    void serviceStoppedAnswering(const QString& calendarIdentifier);
    // Asks the service something cheap without waiting for it.
    void probeService();
    void probeAnswered(const _GError* error);
    // What the service's callbacks report.
    friend struct EdsCallbacks;
    void objectsArrived(Calendar& c, const QList<_ICalComponent*>& components);
    // Delivers what the calendars' views have reported so far.
    void deliverReports();
    void objectsRemoved(Calendar& c, const QStringList& uids, const QStringList& withRecurrence);
    void sourcesChanged(_ESource* source, bool added);

    _ESourceRegistry* m_registry;
    mutable std::map<QString, std::unique_ptr<Calendar>> m_calendars;
    // Calendars this store knows of (found at its start, made by it, or
    // reported), so a late report of their arrival is no outside change.
    QSet<QString> m_knownSources;
    // Calendars this store made: the service's backends may need a moment
    // before they open them.
    QSet<QString> m_madeSources;
    // Calendars whose server cannot be reached, by identifier: why, and
    // whether the service still believes it is connected (then only a
    // write can tell whether the server is back). Kept apart from the open
    // calendars, which a failed write makes open again.
    struct Outage {
        QString cause;
        bool statusBlind = false;
    };
    QHash<QString, Outage> m_outages;
    QTimer m_reconnectTimer;
    std::unique_ptr<EdsCallWatchdog> m_watchdog;
    // Why the service is taken for not answering; empty while it answers.
    QString m_silence;
    QString m_probeCalendar;
    bool m_probing = false;
    int m_probeWaitMs = kProbeFirstMs;
    QTimer m_probeTimer;
    int m_reconnectWaitMs = kReconnectFirstMs;
    QTimer m_changedTimer;
    QTimer m_glibPump;
    // Where the views' reports wait for us: our own context, so a commit can
    // take them in between its chunks without running anything else. Its
    // wake-up descriptor tells when one arrives.
    _GMainContext* m_viewContext;
    QSocketNotifier* m_viewReports = nullptr;
};
