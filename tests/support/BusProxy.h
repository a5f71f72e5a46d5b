#pragma once

#include <QByteArray>
#include <QList>
#include <QLocalServer>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QLocalSocket;

// Stands between a client and a private bus daemon, so a test can stop the
// client at a chosen step of its talk with the bus: a call it makes waits
// here, or the bus's answer to a call goes on to the client and then the bus
// goes away. Forwards bytes as they are; reads only the messages' headers.
class BusProxy : public QObject
{
public:
    // `busAddress` as the daemon printed it ("unix:path=..." or "unix:abstract=...").
    explicit BusProxy(const QString& busAddress);
    ~BusProxy() override;

    // What the client is given as its bus address.
    QString address() const;

    // The client's call to `member`, and all it sends after it, wait here
    // for as long as the link lasts.
    void holdCallTo(const QString& member);
    // A call is waiting here.
    bool holding() const;

    // `then` runs once the bus's answer to the client's call to `member` has
    // been written on to the client.
    void afterAnswerTo(const QString& member, std::function<void()> then);

    // Ends every client's connection here, as a bus that goes away does.
    void cut();

    // The header fields a test looks at.
    struct Message {
        char type = 0; // 1 call, 2 return, 3 error, 4 signal
        quint32 serial = 0;
        quint32 replySerial = 0;
        QString member;
    };
    // One whole message at the front of `data`: its length, or 0 when more is
    // needed; -1 when it is not a message.
    static qsizetype messageLength(const QByteArray& data);
    static Message parse(const QByteArray& message);

private:
    struct Link;
    void accept();
    void fromClient(Link& link);
    void fromBus(Link& link);
    void drop(Link& link);
    void close(Link& link);

    QString m_busPath;
    bool m_busAbstract = false;
    QLocalServer m_server;
    QList<std::shared_ptr<Link>> m_links;
    QString m_holdMember;
    QString m_answerMember;
    std::function<void()> m_afterAnswer;
};
