#pragma once

#include "CalendarServiceDaemons.h"

#include <QHash>
#include <QProcess>
#include <QString>

#include <functional>
#include <memory>

class EdsCalendarStore;
struct _ESource;

// The desktop's calendar service on a private session bus, with folders of
// its own inside the test's temporary tree, started on first use and stopped
// (every daemon by its PID) when the test program ends. The client library
// keeps its bus connection for the life of the process, so one service
// serves every test of the program; tests keep apart by using calendars of
// their own.
class EdsTestService
{
public:
    static EdsTestService& instance();
    ~EdsTestService();

    // A store on the service; fails the test when there is none.
    std::unique_ptr<EdsCalendarStore> store();
    // A calendar on a CalDAV server, as a user adds one in the desktop's
    // settings: `path` is the collection's path on http://127.0.0.1:`port`.
    // With `offlineCopy` the service keeps a copy for use without the server
    // and refreshes every five minutes, as the desktop's account tools set it.
    // Returns its identifier.
    QString addCalDavCalendar(const QString& title, int port, const QString& path, bool offlineCopy = false);
    // A calendar of the given backend under `parent`, as an account's module
    // adds one; `configure` sets what else it needs. Returns its identifier.
    QString addSource(const QString& title, const char* backend, const QString& parent,
                      const std::function<void(_ESource*)>& configure = {});
    // Removes every calendar of that title, so a test starts from none.
    void removeCalendars(const QString& title);
    // The calendar factory stopped where it stands, or going on again.
    bool setCalendarFactoryStopped(bool stopped) { return m_daemons.setCalendarFactoryStopped(stopped); }
    QString busAddress() const { return m_daemons.address(); }
    void stop();

private:
    EdsTestService();
    CalendarServiceDaemons m_daemons;
};

// A CalDAV server (radicale) on 127.0.0.1 with one calendar collection,
// stopped by PID when it goes.
class RadicaleServer
{
public:
    // `collection` names the calendar, so one test can have several servers.
    explicit RadicaleServer(const QString& collection = QStringLiteral("shoots"));
    ~RadicaleServer();
    bool running() const { return m_port > 0; }
    // Stops the server, or starts it again on the same port and collections.
    void stop();
    bool start();
    // Keeps every connection open and answers nothing (SIGSTOP), as a server
    // that hangs does, or answers again.
    void setHanging(bool hanging);
    int port() const { return m_port; }
    QString calendarPath() const { return QStringLiteral("/user/") + m_collection + QLatin1Char('/'); }
    // The calendar's events, read with a plain CalDAV REPORT: href and text.
    QList<std::pair<QString, QByteArray>> report() const;
    // The calendar's event texts by the order id each names (empty: none).
    QHash<QString, QList<QByteArray>> eventsByOrder() const;
    // Writes an event's text to its href, as another device would.
    bool put(const QString& href, const QByteArray& ics) const;

private:
    QByteArray request(const QByteArray& verb, const QString& path, const QByteArray& body, int* status = nullptr) const;
    QProcess m_server;
    QString m_config;
    QString m_collection;
    int m_port = 0;
};
