#pragma once

#include <QObject>

// Turns SIGTERM, SIGINT and SIGHUP into an orderly quit of the event loop, so
// the work that runs at quit (aboutToQuit) also runs when the session or a
// terminal ends the process.
class QuitSignals : public QObject
{
    Q_OBJECT
public:
    // Installs the handlers once; later calls return the same watcher.
    static QuitSignals& install();

Q_SIGNALS:
    // Emitted on the main thread before the event loop is asked to quit.
    void received(int signalNumber);

private:
    QuitSignals();
    void onReadable();
};
