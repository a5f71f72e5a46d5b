#pragma once

#include "platform/CalendarEvent.h"
#include "platform/CalendarInfo.h"
#include "platform/CalendarSource.h"

#include <QDBusConnection>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// Access to events, numbered as the order book reads them: only full access
// lets the app read events.
enum class CalendarAuthorizationStatus {
    NotDetermined = 0,
    Restricted = 1,
    Denied = 2,
    FullAccess = 3,
    WriteOnly = 4,
};

// The calendar store: calendars, events with absolute alarms, access status.
//
// All calls are made on the main thread. Reads see changes that are saved but
// not yet committed. `changed` announces edits made outside this store (another
// program rewriting a file), never the store's own saves, so a caller that
// refreshes after its own save does not refresh twice.
//
// Failing operations return false and, when `error` is given, a message fit to
// show the user.
class CalendarStore : public QObject
{
    Q_OBJECT
public:
    using AccessCompletion = std::function<void(bool granted, const QString& error)>;

    explicit CalendarStore(QObject* parent = nullptr);
    ~CalendarStore() override;

    // The process-wide store, `openForSession` of the data folder's
    // "calendars", unless a test installed another one first. Made on first use.
    static CalendarStore& shared();
    // The desktop's calendar service whenever it is installed (started by
    // bus activation when it is not yet running), with the events of the
    // files in `fileFolder` moved into it first; the iCalendar files in
    // `fileFolder` only where it is not installed. A service that does not
    // answer within `serviceStartMs`, or that fails, leaves this session on
    // the files, which is logged and told by `sessionNotice`.
    static std::unique_ptr<CalendarStore> openForSession(const QString& fileFolder,
                                                         const QDBusConnection& bus = QDBusConnection::sessionBus(),
                                                         int serviceStartMs = 5000);
    // Replaces the shared store (tests install an in-memory one before anything
    // uses it). Returns the installed store.
    static CalendarStore* installShared(std::unique_ptr<CalendarStore> store);

    // Access. There is no permission system on Linux: a store starts with full
    // access; tests and the refused-access roads of the screens set others.
    // The status is what callers consult; the store itself does not enforce it.
    CalendarAuthorizationStatus authorizationStatus() const { return m_status; }
    void setAuthorizationStatus(CalendarAuthorizationStatus status) { m_status = status; }
    // What a request answers while the status is not determined (default:
    // granted). A non-empty error is passed along with the answer.
    void setAccessRequestAnswer(bool grant, const QString& error = {});
    // Asks for full access to events. The answer arrives later on the main
    // thread, and only while `context` lives. An undetermined status becomes
    // full access or denied; otherwise the answer is whether access is full.
    void requestFullAccessToEvents(QObject* context, AccessCompletion completion);

    // Why this session's events are not where they should be (the calendar
    // service is installed but did not answer); empty when all is well.
    QString sessionNotice() const { return m_sessionNotice; }
    void setSessionNotice(const QString& notice) { m_sessionNotice = notice; }
    // Whether calendars of online accounts can be had in this store, so its
    // events can reach a phone; false where they only stay on this computer.
    virtual bool supportsOnlineAccounts() const { return false; }
    // Why the server of a calendar cannot be reached now, empty while it can
    // or the calendar has none. A save or removal that succeeded while this
    // is set is kept on this computer only and has not reached the server.
    virtual QString serverProblem(const QString& calendarIdentifier) const
    {
        Q_UNUSED(calendarIdentifier);
        return {};
    }

    // Why the calendar service itself is not answering now, empty while it
    // does. Meanwhile every write fails at once and nothing waits on it.
    virtual QString serviceProblem() const { return {}; }

    virtual QList<CalendarSource> sources() const = 0;
    virtual QList<CalendarInfo> calendars() const = 0;
    std::optional<CalendarInfo> calendar(const QString& identifier) const;
    virtual std::optional<CalendarInfo> defaultCalendarForNewEvents() const = 0;
    // Creates or updates a calendar; a new one gets its identifier here.
    virtual bool saveCalendar(CalendarInfo& calendar, bool commit = true, QString* error = nullptr) = 0;

    virtual std::optional<CalendarEvent> event(const QString& identifier) const = 0;
    // Events overlapping [start, end) in the given calendars (all calendars
    // when the list is empty), ordered by start, then identifier.
    virtual QList<CalendarEvent> events(const QDateTime& start, const QDateTime& end,
                                        const QStringList& calendarIdentifiers = {}) const = 0;
    // Creates or updates an event (moving it when its calendar changed); a new
    // event gets its identifier here. With commit false the change is kept
    // until `commit`, so a batch writes each file once.
    virtual bool saveEvent(CalendarEvent& event, bool commit = true, QString* error = nullptr) = 0;
    // Removing an event that does not exist fails.
    virtual bool removeEvent(const QString& identifier, bool commit = true, QString* error = nullptr) = 0;
    // Writes every change saved without commit.
    virtual bool commit(QString* error = nullptr) = 0;
    // Drops every change saved without commit.
    virtual void reset() = 0;

    // The checks every backend makes before saving an event.
    static bool validateEvent(const CalendarEvent& event, QString* error);
    // What every backend stores of an event's times: whole seconds, and for an
    // all-day event local midnight of its first day to local midnight after its
    // last. Saving applies it to the caller's event, so it matches what a read
    // gives back.
    static void normalizeTimes(CalendarEvent& event);
    // Whether an event overlaps [start, end): an instant event counts when it
    // lies inside the range.
    static bool overlaps(const CalendarEvent& event, const QDateTime& start, const QDateTime& end);
    static void sortEvents(QList<CalendarEvent>& events);
    static QString newIdentifier();

Q_SIGNALS:
    // Calendars or events were changed outside this store.
    void changed();
    // A calendar's server went out of reach or came back (`serverProblem`),
    // or the service stopped or started answering again (`serviceProblem`).
    // When it is back, `changed` follows, so what waits can go out.
    void serverStateChanged();

protected:
    static void setError(QString* error, const QString& message);

private:
    CalendarAuthorizationStatus m_status = CalendarAuthorizationStatus::FullAccess;
    bool m_requestGrants = true;
    QString m_requestError;
    QString m_sessionNotice;
};
