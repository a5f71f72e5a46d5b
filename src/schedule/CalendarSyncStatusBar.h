#pragma once

#include <QWidget>

#include <functional>

class PlateButton;
class ThemedLabel;

// The one-line banner under the month header telling whether the calendar
// mirror can read events, with the one button that fixes what it reports.
class CalendarSyncStatusBar : public QWidget
{
    Q_OBJECT
public:
    // `pending`: synced, but writes wait (the calendar refused some, or this
    // session could not reach the calendar service).
    enum class State { hidden, synced, writeOnly, notEnabled, pending };
    struct Source
    {
        std::function<bool()> syncEnabled;
        std::function<bool()> isAuthorized;   // full or write-only access
        std::function<bool()> hasFullAccess;  // the calendar store's status
        std::function<bool()> reachesPhone;   // the calendar lies in an online account
        std::function<int()> pendingWork;     // bookings not yet written to or removed from the calendar
        std::function<QString()> lastFailure; // why the calendar last refused
        std::function<QString()> storeNotice; // why this session's calendar is not the usual one
        std::function<QString()> serverProblem; // why the calendar's server cannot be reached
        std::function<bool()> onlineAccounts;   // the calendar store can have online accounts at all
        std::function<QString()> serviceProblem; // why the calendar service itself does not answer
        std::function<int()> restoreWork;        // of pendingWork, what follows a restored backup
    };
    // The banner's message: the phone is named only when the calendar syncs
    // online; otherwise it says the bookings stay on this computer, and how
    // to get them to the phone where online accounts can be added.
    static QString messageFor(State state, bool reachesPhone, bool onlineAccounts = true);
    static State stateFor(bool syncEnabled, bool isAuthorized, bool hasFullAccess);
    // The warning of the pending state: a service that does not answer, or a
    // server out of reach, with what waits and why; else a restore being
    // followed; else what waits and why; else the notice.
    static QString pendingMessage(int pendingWork, const QString& lastFailure, const QString& storeNotice,
                                  const QString& serverProblem = {}, const QString& serviceProblem = {},
                                  int restoreWork = 0);

    explicit CalendarSyncStatusBar(Source source, QWidget* parent = nullptr);
    State state() const { return m_state; }
    void setSource(Source source);
    // Reads the source again (its signals and window activation call this).
    void refresh();

Q_SIGNALS:
    void openSystemSettingsClicked();
    void enableSyncClicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Source m_source;
    State m_state = State::hidden;
    ThemedLabel* m_icon;
    ThemedLabel* m_message;
    PlateButton* m_settings;
    PlateButton* m_enable;
};
