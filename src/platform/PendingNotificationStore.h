#pragma once

#include "platform/UserNotificationRequest.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

// The pending notification requests: one JSON file shared by the app and the
// reminder agent. Every change is a read-modify-write under an advisory lock
// (flock on "<file>.lock") held by whichever process changes it, and the file
// is replaced atomically, so neither process writes over what the other just
// changed and a request is taken for delivery by one process only.
class PendingNotificationStore
{
public:
    using Requests = QList<UserNotificationRequest>;

    explicit PendingNotificationStore(const QString& path);

    QString path() const { return m_path; }

    // The requests on disk; none when there is no file. A file that cannot be
    // read is renamed aside (one log line) and reads as empty.
    Requests read() const;
    // Applies `change` to the list on disk under the lock and writes it when
    // it changed. Returns the list as it now stands; none when the write
    // failed (`error` says why; the file is then as it was).
    std::optional<Requests> update(const std::function<void(Requests&)>& change, QString* error = nullptr);

    enum class Taken { Shown, NotPending, NotShown, WriteFailed };
    // Shows a pending request at most once across processes: under the lock
    // the request leaves the list, then `show` runs; a request `show` could
    // not show goes back. A request the other process took or removed first
    // is not shown.
    Taken take(const UserNotificationRequest& request, const std::function<bool()>& show, QString* error = nullptr);

private:
    enum class ReadState { Missing, Ok, Unreadable };
    ReadState readUnlocked(Requests& out) const;
    // With the lock held: an unreadable file is put aside.
    Requests readLocked() const;
    bool writeLocked(const Requests& list, QString* error);

    // Which file a list was read from or written to: a file still the same
    // is not read again. Every write replaces the file, so a change by the
    // other process, or an edit in place, shows in these.
    struct FileIdentity {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = -1;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        bool operator==(const FileIdentity&) const = default;
    };
    static std::optional<FileIdentity> identityOf(int fd);
    static std::optional<FileIdentity> identityOf(const QString& path);

    QString m_path;
    // The list as last read or written here, sharing its data with the
    // lists handed out.
    mutable std::optional<std::pair<FileIdentity, Requests>> m_known;
};
