#include "PendingNotificationStore.h"

#include "Log.h"
#include "Paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr qint64 kMaxStoreSize = 16 * 1024 * 1024;

// Held while the list is read and rewritten; released when it goes out of
// scope, also when the process dies.
class FileLock
{
public:
    explicit FileLock(const QString& dataPath)
    {
        QDir().mkpath(QFileInfo(dataPath).absolutePath());
        m_fd = ::open(QFile::encodeName(dataPath + QStringLiteral(".lock")).constData(),
                      O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd >= 0) {
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int m_fd = -1;
};

QJsonObject encode(const UserNotificationRequest& r)
{
    return QJsonObject{
        {"identifier", r.identifier},
        {"title", r.title},
        {"subtitle", r.subtitle},
        {"body", r.body},
        {"sound", r.defaultSound ? QJsonValue(QStringLiteral("default")) : QJsonValue()},
        {"trigger", QJsonObject{{"year", r.trigger.year},
                                {"month", r.trigger.month},
                                {"day", r.trigger.day},
                                {"hour", r.trigger.hour},
                                {"minute", r.trigger.minute},
                                {"repeats", false}}},
    };
}

std::optional<UserNotificationRequest> decode(const QJsonValue& v)
{
    const QJsonObject o = v.toObject();
    const QJsonObject t = o.value("trigger").toObject();
    UserNotificationRequest r;
    r.identifier = o.value("identifier").toString();
    r.title = o.value("title").toString();
    r.subtitle = o.value("subtitle").toString();
    r.body = o.value("body").toString();
    r.defaultSound = o.value("sound").toString() == QLatin1String("default");
    r.trigger = {t.value("year").toInt(), t.value("month").toInt(), t.value("day").toInt(), t.value("hour").toInt(),
                 t.value("minute").toInt()};
    if (r.identifier.isEmpty() || !r.trigger.fireDate().isValid())
        return std::nullopt;
    return r;
}

// The same text QJsonDocument writes for {"requests": [...], "version": 1},
// one request at a time: a whole document of a long list held at once costs
// several times the file's size.
QByteArray encodeAll(const PendingNotificationStore::Requests& list)
{
    QByteArray out = "{\n    \"requests\": [\n";
    out.reserve(out.size() + list.size() * 512);
    for (qsizetype i = 0; i < list.size(); ++i) {
        QByteArray item = QJsonDocument(encode(list[i])).toJson();
        item.chop(1); // the document's closing newline
        out += "        " + item.replace("\n", "\n        ") + (i + 1 < list.size() ? ",\n" : "\n");
    }
    out += "    ],\n    \"version\": 1\n}\n";
    return out;
}

}

PendingNotificationStore::PendingNotificationStore(const QString& path)
    : m_path(path)
{
}

PendingNotificationStore::ReadState PendingNotificationStore::readUnlocked(Requests& out) const
{
    out.clear();
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return f.exists() ? ReadState::Unreadable : ReadState::Missing;
    QJsonDocument doc;
    if (f.size() <= kMaxStoreSize)
        doc = QJsonDocument::fromJson(f.readAll());
    if (!doc.isObject())
        return ReadState::Unreadable;
    // The first of a repeated identifier wins, found through a set: a list
    // of thousands of reminders is read on every change.
    QSet<QString> seen;
    for (const QJsonValue& v : doc.object().value("requests").toArray()) {
        if (auto r = decode(v)) {
            if (!seen.contains(r->identifier)) {
                seen.insert(r->identifier);
                out.append(*r);
            }
        }
    }
    return ReadState::Ok;
}

PendingNotificationStore::Requests PendingNotificationStore::read() const
{
    Requests out;
    if (readUnlocked(out) != ReadState::Unreadable)
        return out;
    // Looked at again under the lock: the other process may be mid-write.
    FileLock lock(m_path);
    return readLocked();
}

PendingNotificationStore::Requests PendingNotificationStore::readLocked() const
{
    Requests out;
    if (readUnlocked(out) != ReadState::Unreadable)
        return out;
    // Keep what could not be read instead of writing over it later.
    const QString aside = m_path + QStringLiteral(".corrupt-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    QFile::rename(m_path, aside);
    Log::line(QStringLiteral("📱 本地通知列表无法读取，已另存为 ") + aside);
    return {};
}

bool PendingNotificationStore::writeLocked(const Requests& list, QString* error)
{
    const QString failure = Paths::saveAtomically(m_path, encodeAll(list));
    if (!failure.isEmpty() && error)
        *error = QStringLiteral("无法保存本地通知：") + failure;
    return failure.isEmpty();
}

std::optional<PendingNotificationStore::Requests> PendingNotificationStore::update(
    const std::function<void(Requests&)>& change, QString* error)
{
    FileLock lock(m_path);
    Requests list = readLocked();
    const Requests before = list;
    change(list);
    if (list != before && !writeLocked(list, error))
        return std::nullopt;
    return list;
}

PendingNotificationStore::Taken PendingNotificationStore::take(const UserNotificationRequest& request,
                                                               const std::function<bool()>& show, QString* error)
{
    {
        FileLock lock(m_path);
        Requests list = readLocked();
        if (!list.removeOne(request))
            return Taken::NotPending;
        if (!writeLocked(list, error))
            return Taken::WriteFailed;
    }
    if (show())
        return Taken::Shown;
    // Refused: back into the list, unless it was replaced meanwhile.
    update([&](Requests& list) {
        if (std::none_of(list.cbegin(), list.cend(),
                         [&](const UserNotificationRequest& r) { return r.identifier == request.identifier; }))
            list.append(request);
    }, error);
    return Taken::NotShown;
}
