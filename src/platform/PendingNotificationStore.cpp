#include "PendingNotificationStore.h"

#include "FileLock.h"
#include "Log.h"
#include "Paths.h"
#include "SetAsideFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kMaxStoreSize = 16 * 1024 * 1024;

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

// Reads a list in the shape encodeAll writes (any spacing, "requests" and
// "version" in either order) a request at a time: the whole document parsed
// at once takes about three times the file's size. False for any other
// shape, which is then parsed whole; `each` may have seen some requests.
bool eachRequest(QByteArrayView text, const std::function<void(const QJsonValue&)>& each)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipSpace = [&] {
        while (i < n && (text[i] == ' ' || text[i] == '\n' || text[i] == '\r' || text[i] == '\t'))
            ++i;
    };
    auto eat = [&](char c) {
        skipSpace();
        if (i >= n || text[i] != c)
            return false;
        ++i;
        return true;
    };
    // From a string's opening quote to past its closing one.
    auto skipString = [&] {
        for (++i; i < n; ++i) {
            if (text[i] == '\\') {
                ++i;
            } else if (text[i] == '"') {
                ++i;
                return true;
            }
        }
        return false;
    };
    auto requests = [&] {
        if (!eat('['))
            return false;
        if (eat(']'))
            return true;
        do {
            if (!eat('{'))
                return false;
            const qsizetype start = i - 1;
            int depth = 1;
            while (depth > 0 && i < n) {
                if (text[i] == '"') {
                    if (!skipString())
                        return false;
                    continue;
                }
                if (text[i] == '{' || text[i] == '[')
                    ++depth;
                else if (text[i] == '}' || text[i] == ']')
                    --depth;
                ++i;
            }
            if (depth != 0)
                return false;
            const QJsonDocument item = QJsonDocument::fromJson(QByteArray::fromRawData(text.data() + start, i - start));
            if (!item.isObject())
                return false;
            each(item.object());
        } while (eat(','));
        return eat(']');
    };
    auto version = [&] {
        skipSpace();
        const qsizetype start = i;
        while (i < n && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i > start && (text[start] != '0' || i == start + 1);
    };
    if (!eat('{'))
        return false;
    bool sawRequests = false;
    bool sawVersion = false;
    do {
        if (!eat('"'))
            return false;
        const qsizetype start = i - 1;
        if (!skipString())
            return false;
        const QByteArrayView key = text.sliced(start, i - start);
        if (!eat(':'))
            return false;
        if (key == QByteArrayView("\"requests\"") && !std::exchange(sawRequests, true)) {
            if (!requests())
                return false;
        } else if (key == QByteArrayView("\"version\"") && !std::exchange(sawVersion, true)) {
            if (!version())
                return false;
        } else {
            return false;
        }
    } while (eat(','));
    if (!eat('}'))
        return false;
    skipSpace();
    return sawRequests && i == n;
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
    // Reading a long list again costs more than twice its size in memory.
    const std::optional<FileIdentity> identity = identityOf(f.handle());
    if (identity && m_known && m_known->first == *identity) {
        out = m_known->second;
        return ReadState::Ok;
    }
    m_known.reset();
    if (f.size() > kMaxStoreSize)
        return ReadState::Unreadable;
    const QByteArray text = f.readAll();
    const auto known = [&] {
        if (identity)
            m_known.emplace(*identity, out);
        return ReadState::Ok;
    };
    // The first of a repeated identifier wins, found through a set: a list
    // of thousands of reminders is read on every change.
    QSet<QString> seen;
    auto keep = [&](const QJsonValue& v) {
        if (auto r = decode(v)) {
            if (!seen.contains(r->identifier)) {
                seen.insert(r->identifier);
                out.append(*r);
            }
        }
    };
    if (eachRequest(text, keep))
        return known();
    out.clear();
    seen.clear();
    const QJsonDocument doc = QJsonDocument::fromJson(text);
    if (!doc.isObject())
        return ReadState::Unreadable;
    for (const QJsonValue& v : doc.object().value("requests").toArray())
        keep(v);
    return known();
}

std::optional<PendingNotificationStore::FileIdentity> PendingNotificationStore::identityOf(int fd)
{
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return std::nullopt;
    return FileIdentity{quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
                        qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                        qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

std::optional<PendingNotificationStore::FileIdentity> PendingNotificationStore::identityOf(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const std::optional<FileIdentity> identity = identityOf(fd);
    if (fd >= 0)
        ::close(fd);
    return identity;
}

PendingNotificationStore::Requests PendingNotificationStore::read() const
{
    Requests out;
    if (readUnlocked(out) != ReadState::Unreadable)
        return out;
    // Looked at again under the lock: the other process may be mid-write.
    FileLock lock(m_path + QStringLiteral(".lock"));
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
    if (QFile::rename(m_path, aside))
        SetAsideFiles::record(SetAsideFiles::Kind::reminders, m_path, aside);
    Log::line(QStringLiteral("📱 本地通知列表无法读取，已另存为 ") + aside);
    return {};
}

bool PendingNotificationStore::writeLocked(const Requests& list, QString* error)
{
    const QByteArray text = encodeAll(list);
    // A list past the read bound would be set aside as unreadable at the next
    // read, every reminder in it lost: it is refused while the old one stands.
    const QString failure = text.size() > kMaxStoreSize
        ? QStringLiteral("待发送的通知过多，列表超过 %1 MB").arg(kMaxStoreSize / (1024 * 1024))
        : Paths::saveAtomically(m_path, text);
    if (!failure.isEmpty() && error)
        *error = QStringLiteral("无法保存本地通知：") + failure;
    // Under the lock: the file looked at is the one just written.
    m_known.reset();
    if (failure.isEmpty()) {
        if (const std::optional<FileIdentity> identity = identityOf(m_path))
            m_known.emplace(*identity, list);
    }
    return failure.isEmpty();
}

std::optional<PendingNotificationStore::Requests> PendingNotificationStore::update(
    const std::function<void(Requests&)>& change, QString* error)
{
    FileLock lock(m_path + QStringLiteral(".lock"));
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
        FileLock lock(m_path + QStringLiteral(".lock"));
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
