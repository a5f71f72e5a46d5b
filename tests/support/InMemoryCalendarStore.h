#pragma once

#include "platform/CalendarStore.h"

#include <QHash>

#include <optional>

// A calendar store held in memory, for fast tests of its callers. Behaves like
// the file store: uncommitted saves are visible to reads and dropped by
// `reset`; commits are counted; failures can be injected.
class InMemoryCalendarStore : public CalendarStore
{
    Q_OBJECT
public:
    // Starts with one local source ("本地") and no calendar.
    explicit InMemoryCalendarStore(QObject* parent = nullptr);

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

    // Test controls.
    void setSources(const QList<CalendarSource>& sources) { m_sources = sources; }
    void setDefaultCalendarIdentifier(const QString& identifier) { m_defaultCalendar = identifier; }
    // While set, every save, removal and commit fails with this message.
    void setFailure(const std::optional<QString>& message) { m_failure = message; }
    // While set, saves and removals without commit succeed and the commit
    // fails with this message.
    void setCommitFailure(const std::optional<QString>& message) { m_commitFailure = message; }
    // While set, every calendar's server is out of reach for this reason:
    // writes still succeed, as the calendar service's offline copy takes them.
    void setServerProblem(const QString& problem)
    {
        m_serverProblem = problem;
        Q_EMIT serverStateChanged();
    }
    QString serverProblem(const QString&) const override { return m_serverProblem; }
    // Whether it stands for the calendar service, where online accounts can be added.
    void setSupportsOnlineAccounts(bool supports) { m_onlineAccounts = supports; }
    bool supportsOnlineAccounts() const override { return m_onlineAccounts; }
    // Number of commits that wrote something.
    int commitCount() const { return m_commitCount; }
    // Applies an edit as another program would: committed, then announced.
    void editFromOutside(const std::function<void(InMemoryCalendarStore&)>& edit);

private:
    struct State {
        QList<CalendarInfo> calendars;
        QHash<QString, CalendarEvent> events;
        bool operator==(const State&) const = default;
    };
    bool failIfAsked(QString* error) const;
    void finish(bool commit);

    QList<CalendarSource> m_sources;
    QString m_defaultCalendar;
    State m_committed;
    State m_current;
    std::optional<QString> m_failure;
    std::optional<QString> m_commitFailure;
    QString m_serverProblem;
    bool m_onlineAccounts = false;
    int m_commitCount = 0;
};
