#pragma once

#include <QByteArray>
#include <QObject>

#include <functional>
#include <optional>
#include <vector>

class QSocketNotifier;

// One accepted passive data connection, driven on its descriptor directly: an
// upload must tell a clean end of stream (keep the file) from a reset (drop it),
// and streams through one fixed block instead of a growing socket buffer.
class FtpDataConnection : public QObject
{
    Q_OBJECT
public:
    enum class End { Complete, ConnectionLost, SinkFailed };
    // Receives each block in order; returning false ends the upload.
    using Sink = std::function<bool(const char* data, qsizetype size)>;

    static constexpr qsizetype kBlockSize = 256 * 1024;

    // Takes ownership of a connected TCP socket descriptor.
    explicit FtpDataConnection(int fd, QObject* parent = nullptr);
    ~FtpDataConnection() override;

    // Sends `bytes`, closes the connection, then emits `sendFinished`.
    void send(const QByteArray& bytes);
    // Streams everything the client sends into `sink` until the stream ends.
    void receive(Sink sink);
    // Reads what has already arrived without waiting; the end when it was reached.
    std::optional<End> drain();
    // Closes at once; nothing is emitted afterwards.
    void close();

    bool isOpen() const { return m_fd >= 0; }

Q_SIGNALS:
    void sendFinished(bool ok);
    void receiveFinished(FtpDataConnection::End end);

private:
    void onReadable();
    void onWritable();
    std::optional<End> readAvailable(int maxBlocks);
    void finishSend(bool ok);

    int m_fd = -1;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QByteArray m_outgoing;
    qsizetype m_sent = 0;
    Sink m_sink;
    std::vector<char> m_block;
};
