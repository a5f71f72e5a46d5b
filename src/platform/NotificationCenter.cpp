#include "NotificationCenter.h"

#include <algorithm>

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter* center = new NotificationCenter;
    return *center;
}

int NotificationCenter::addObserver(QObject* owner, const QString& name, Handler handler)
{
    Q_ASSERT(owner);
    int token;
    bool firstForOwner;
    {
        QMutexLocker lock(&m_mutex);
        token = m_nextToken++;
        firstForOwner = std::none_of(m_entries.begin(), m_entries.end(),
                                     [owner](const Entry& e) { return e.ownerKey == owner; });
        m_entries.push_back({token, name, owner, owner, std::make_shared<Handler>(std::move(handler))});
    }
    if (firstForOwner) {
        connect(owner, &QObject::destroyed, this, [this, owner] { removeObservers(owner); },
                Qt::DirectConnection);
    }
    return token;
}

void NotificationCenter::removeObserver(int token)
{
    QMutexLocker lock(&m_mutex);
    std::erase_if(m_entries, [token](const Entry& e) { return e.token == token; });
}

void NotificationCenter::removeObservers(QObject* owner)
{
    QMutexLocker lock(&m_mutex);
    std::erase_if(m_entries, [owner](const Entry& e) { return e.ownerKey == owner; });
}

void NotificationCenter::post(const QString& name, const QVariant& object)
{
    // Snapshot first: a handler may add or remove observers, or post again.
    std::vector<std::pair<QPointer<QObject>, std::shared_ptr<Handler>>> targets;
    {
        QMutexLocker lock(&m_mutex);
        for (const Entry& e : m_entries)
            if (e.name == name)
                targets.emplace_back(e.owner, e.handler);
    }
    for (auto& [owner, handler] : targets) {
        if (owner)
            (*handler)(object);
    }
}

int NotificationCenter::observerCount(const QString& name) const
{
    QMutexLocker lock(&m_mutex);
    return int(std::count_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.name == name && e.owner; }));
}
