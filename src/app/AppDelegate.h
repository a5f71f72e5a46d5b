#pragma once

#include <QObject>
#include <QPointer>

#include "app/AboutWindow.h"

// The process-level hooks: the launch actions, the About window and the
// automatic backup at quit.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    // Usage event "app_launch", remote feature switches, application icon.
    void applicationDidFinishLaunching();
    // The automatic backup; runs once per process however quitting began.
    void applicationWillTerminate();
    // The session asks to save before logging out, and the user may still
    // cancel: a backup now, without using up the one at the real quit
    // (which skips only when nothing changed since).
    void saveBeforeLogout();
    // Shows the About window, built on first use and kept.
    void showCustomAboutPanel();

    // Runs the quit action on aboutToQuit, on SIGTERM, SIGINT and SIGHUP, and
    // when the session asks to save before logout.
    void installQuitHooks();

    AboutWindow* aboutWindow() const { return m_aboutWindow; }
    bool hasTerminated() const { return m_terminated; }

private:
    QPointer<AboutWindow> m_aboutWindow;
    bool m_terminated = false;
    bool m_savedSinceLastChange = false;
};
