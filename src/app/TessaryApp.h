#pragma once

#include <QObject>

class AppDelegate;
class MainWindow;

// The application: one delegate and one main window for the process.
class TessaryApp : public QObject
{
    Q_OBJECT
public:
    explicit TessaryApp(QObject* parent = nullptr);
    ~TessaryApp() override;

    AppDelegate& delegate() const { return *m_delegate; }
    MainWindow& window() const { return *m_window; }

    // Qt's own dialogs (file choosers, message boxes) in Chinese, whatever
    // the locale: the rest of the UI is Chinese too. False when Qt's
    // translations are not installed; the dialogs then stay in English.
    static bool installQtTranslations();

    // Shows the window, runs the launch actions after its first frame, and
    // returns the event loop's exit code.
    int run();

private:
    // The launch actions: usage event, remote switches, icon, reminders and
    // their agent, calendar sync.
    void launchAfterFirstFrame();

    AppDelegate* m_delegate = nullptr;
    MainWindow* m_window = nullptr;
    // The global pool's size, held at one thread until the first frame.
    int m_poolThreads = 0;
};
