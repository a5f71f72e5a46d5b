#pragma once

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include <functional>
#include <vector>

// The in-process default notification centre. Observers are registered by
// name with an owner; when the owner is destroyed its observers go with it.
// Notifications are delivered synchronously on the posting thread.
class NotificationCenter : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(const QVariant& object)>;

    static NotificationCenter& defaultCenter();

    // Returns a token for removeObserver. `owner` must be non-null.
    int addObserver(QObject* owner, const QString& name, Handler handler);
    void removeObserver(int token);
    void removeObservers(QObject* owner);

    void post(const QString& name, const QVariant& object = {});

    int observerCount(const QString& name) const;

private:
    struct Entry {
        int token;
        QString name;
        QPointer<QObject> owner;
        QObject* ownerKey;
        std::shared_ptr<Handler> handler;
    };
    mutable QMutex m_mutex;
    std::vector<Entry> m_entries;
    int m_nextToken = 1;
};
