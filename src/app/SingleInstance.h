#pragma once

#include <QObject>

class QLocalServer;

// One running app per user. Two processes would each hold the order book and
// the settings in memory and overwrite each other's saves, so a second launch
// hands its request to the first, which brings its window forward, and ends.
// A local socket in the runtime folder carries the request: it needs no
// session bus.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);

    // The socket's path: the runtime folder, the product's system name and the user.
    static QString serverName();

    // True when this process is the one to run: it now answers later
    // launches. False when another instance took the request; the caller
    // then exits. A socket left by a crashed instance is replaced.
    bool claim();

Q_SIGNALS:
    // A later launch asked for the window.
    void activationRequested();

private:
    bool handOver();
    void onConnection();

    QLocalServer* m_server = nullptr;
};
