#include "StoredList.h"

#include "orderbook/Quarantine.h"
#include "platform/UserDefaults.h"

#include <QJsonDocument>
#include <QVariant>

StoredList::StoredList(UserDefaults& store, const QString& key)
    : m_store(store)
    , m_key(key)
{
}

std::optional<QByteArray> StoredList::read() const
{
    if (!m_store.hasStoredValue(m_key))
        return m_store.data(m_key); // a registered default, if any
    if (auto bytes = m_store.data(m_key))
        return bytes;
    const QVariant value = m_store.object(m_key);
    const int type = value.typeId();
    if (type == QMetaType::QVariantList || type == QMetaType::QVariantMap)
        return QJsonDocument::fromVariant(value).toJson(QJsonDocument::Compact);
    // Text, or anything else in its text form: kept whole for the quarantine
    // copy even when it is no JSON at all.
    if (const auto text = m_store.string(m_key))
        return text->toUtf8();
    return value.toString().toUtf8();
}

void StoredList::markReadable(const QByteArray& bytes)
{
    if (m_unreadable && *m_unreadable != bytes)
        Quarantine::keep(m_key, *m_unreadable);
    m_unreadable.reset();
}

void StoredList::markUnreadable(const QByteArray& bytes)
{
    if (m_unreadable && *m_unreadable != bytes)
        Quarantine::keep(m_key, *m_unreadable);
    m_unreadable = bytes;
}

bool StoredList::write(const QByteArray& bytes)
{
    QVariantMap batch;
    if (!stage(bytes, batch))
        return false;
    return batch.isEmpty() || m_store.set(m_key, bytes);
}

bool StoredList::setAsideUnreadable()
{
    if (m_unreadable) {
        if (Quarantine::keep(m_key, *m_unreadable).isEmpty())
            return false;
        m_unreadable.reset();
    }
    return true;
}

bool StoredList::stage(const UserDefaults::Pieces& pieces, QVariantMap& batch)
{
    if (!setAsideUnreadable())
        return false;
    if (!m_store.holds(m_key, pieces))
        batch.insert(m_key, QVariant::fromValue(pieces));
    return true;
}

bool StoredList::stage(const QByteArray& bytes, QVariantMap& batch)
{
    if (!setAsideUnreadable())
        return false;
    // Skipping identical bytes spares a whole preference-file write for a
    // list that did not change.
    if (m_store.data(m_key) != bytes)
        batch.insert(m_key, bytes);
    return true;
}
