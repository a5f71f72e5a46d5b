#include "BusProxy.h"

#include <QDir>
#include <QLocalSocket>
#include <QTemporaryFile>
#include <QtEndian>

#include <algorithm>

struct BusProxy::Link {
    QPointer<QLocalSocket> client;
    QPointer<QLocalSocket> bus;
    QByteArray fromClient;
    QByteArray fromBus;
    // The client's BEGIN went on: from here both ways carry messages.
    bool begun = false;
    bool parsing = true;
    QByteArray held;
    QList<quint32> awaitedAnswers;
    bool closed = false;
};

namespace {

qsizetype alignedTo(qsizetype pos, int n) { return (pos + n - 1) / n * n; }

quint32 u32(const QByteArray& d, qsizetype pos, bool little)
{
    const auto* p = reinterpret_cast<const uchar*>(d.constData() + pos);
    return little ? qFromLittleEndian<quint32>(p) : qFromBigEndian<quint32>(p);
}

}

BusProxy::BusProxy(const QString& busAddress)
{
    for (const QString& part : busAddress.section(':', 1).split(',')) {
        if (part.startsWith("path="))
            m_busPath = part.mid(5);
        else if (part.startsWith("abstract=")) {
            m_busPath = part.mid(9);
            m_busAbstract = true;
        }
    }
    // A fresh name in the test's own folder: a path that is free now.
    QTemporaryFile name(QDir::tempPath() + "/bus-proxy-XXXXXX");
    name.open();
    const QString path = name.fileName();
    name.remove();
    m_server.listen(path);
    QObject::connect(&m_server, &QLocalServer::newConnection, this, [this] { accept(); });
}

BusProxy::~BusProxy()
{
    cut();
    m_server.close();
}

QString BusProxy::address() const
{
    return "unix:path=" + m_server.fullServerName();
}

void BusProxy::holdCallTo(const QString& member)
{
    m_holdMember = member;
}

bool BusProxy::holding() const
{
    return std::any_of(m_links.cbegin(), m_links.cend(), [](const auto& l) { return !l->held.isEmpty(); });
}

void BusProxy::afterAnswerTo(const QString& member, std::function<void()> then)
{
    m_answerMember = member;
    m_afterAnswer = std::move(then);
}

void BusProxy::cut()
{
    for (const auto& link : std::exchange(m_links, {}))
        close(*link);
}

void BusProxy::close(Link& link)
{
    link.closed = true;
    for (QLocalSocket* socket : {link.client.data(), link.bus.data()}) {
        if (socket)
            QObject::disconnect(socket, nullptr, this, nullptr);
    }
    if (link.bus)
        link.bus->abort();
    // What was written on goes out first, as from a peer that answered and then left.
    if (link.client)
        link.client->disconnectFromServer();
}

void BusProxy::accept()
{
    while (QLocalSocket* client = m_server.nextPendingConnection()) {
        auto link = std::make_shared<Link>();
        link->client = client;
        link->bus = new QLocalSocket(client);
        if (m_busAbstract)
            link->bus->setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        link->bus->connectToServer(m_busPath);
        if (!link->bus->waitForConnected(5000)) {
            client->abort();
            client->deleteLater();
            continue;
        }
        m_links.append(link);
        // A step may end the link (a test's cut): each holds it while it runs.
        const std::weak_ptr<Link> weak = link;
        auto on = [this, weak](void (BusProxy::*step)(Link&)) {
            return [this, weak, step] {
                if (const std::shared_ptr<Link> l = weak.lock())
                    (this->*step)(*l);
            };
        };
        QObject::connect(client, &QLocalSocket::readyRead, this, on(&BusProxy::fromClient));
        QObject::connect(link->bus, &QLocalSocket::readyRead, this, on(&BusProxy::fromBus));
        QObject::connect(client, &QLocalSocket::disconnected, this, on(&BusProxy::drop));
        QObject::connect(link->bus, &QLocalSocket::disconnected, this, on(&BusProxy::drop));
        QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        fromClient(*link);
    }
}

void BusProxy::drop(Link& link)
{
    const auto it = std::find_if(m_links.begin(), m_links.end(), [&link](const auto& l) { return l.get() == &link; });
    if (it == m_links.end())
        return;
    const std::shared_ptr<Link> keep = *it;
    m_links.erase(it);
    close(*keep);
}

void BusProxy::fromClient(Link& link)
{
    if (link.closed || !link.client || !link.bus)
        return;
    link.fromClient += link.client->readAll();
    // The authentication lines go on as they come, up to the client's BEGIN.
    while (!link.begun) {
        const qsizetype end = link.fromClient.indexOf("\r\n");
        if (end < 0)
            return;
        const QByteArray line = link.fromClient.left(end + 2);
        link.fromClient.remove(0, end + 2);
        link.bus->write(line);
        link.begun = line.endsWith("BEGIN\r\n");
    }
    for (;;) {
        const qsizetype length = link.parsing ? messageLength(link.fromClient) : link.fromClient.size();
        if (length < 0) {
            link.parsing = false;
            continue;
        }
        if (length == 0)
            return;
        const QByteArray bytes = link.fromClient.left(length);
        link.fromClient.remove(0, length);
        const Message message = link.parsing ? parse(bytes) : Message{};
        if (message.type == 1 && !m_answerMember.isEmpty() && message.member == m_answerMember)
            link.awaitedAnswers.append(message.serial);
        if (link.held.isEmpty() && !(message.type == 1 && !m_holdMember.isEmpty() && message.member == m_holdMember))
            link.bus->write(bytes);
        else
            link.held += bytes;
    }
}

void BusProxy::fromBus(Link& link)
{
    if (link.closed || !link.client || !link.bus)
        return;
    const QByteArray bytes = link.bus->readAll();
    if (!link.begun || !link.parsing) {
        link.client->write(bytes);
        return;
    }
    link.fromBus += bytes;
    for (;;) {
        const qsizetype length = messageLength(link.fromBus);
        if (length <= 0) {
            if (length < 0)
                link.client->write(std::exchange(link.fromBus, {}));
            return;
        }
        const QByteArray message = link.fromBus.left(length);
        link.fromBus.remove(0, length);
        link.client->write(message);
        const Message m = parse(message);
        if ((m.type == 2 || m.type == 3) && link.awaitedAnswers.removeOne(m.replySerial) && m_afterAnswer) {
            link.client->flush();
            m_afterAnswer();
            if (link.closed)
                return;
        }
    }
}

qsizetype BusProxy::messageLength(const QByteArray& data)
{
    if (data.size() < 16)
        return 0;
    const bool little = data[0] == 'l';
    if ((!little && data[0] != 'B') || data[3] != 1)
        return -1;
    const quint32 body = u32(data, 4, little), fields = u32(data, 12, little);
    constexpr quint32 kMax = 128u << 20;
    if (body > kMax || fields > kMax)
        return -1;
    const qsizetype total = alignedTo(16 + qsizetype(fields), 8) + qsizetype(body);
    return data.size() >= total ? total : 0;
}

BusProxy::Message BusProxy::parse(const QByteArray& d)
{
    Message m;
    const bool little = d[0] == 'l';
    m.type = d[1];
    m.serial = u32(d, 8, little);
    const qsizetype end = 16 + qsizetype(u32(d, 12, little));
    qsizetype pos = 16;
    while (pos < end) {
        pos = alignedTo(pos, 8);
        if (pos + 3 > end)
            break;
        const char code = d[pos];
        const int sigLength = uchar(d[pos + 1]);
        const char type = d[pos + 2];
        pos += 2 + sigLength + 1;
        if (pos + 4 > end)
            break;
        if (type == 's' || type == 'o') {
            pos = alignedTo(pos, 4);
            const qsizetype length = u32(d, pos, little);
            if (code == 3)
                m.member = QString::fromUtf8(d.mid(pos + 4, length));
            pos += 4 + length + 1;
        } else if (type == 'g') {
            pos += 1 + uchar(d[pos]) + 1;
        } else if (type == 'u') {
            pos = alignedTo(pos, 4);
            if (code == 5)
                m.replySerial = u32(d, pos, little);
            pos += 4;
        } else {
            break;
        }
    }
    return m;
}
