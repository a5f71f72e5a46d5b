#pragma once

#include "platform/UserDefaults.h"

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <optional>

// One list kept as JSON bytes under a preference key. Bytes that could not be
// read are never replaced unseen: they are copied to the quarantine folder
// before the first write over them, and held back until that copy is safe.
class StoredList
{
public:
    StoredList(UserDefaults& store, const QString& key);

    const QString& key() const { return m_key; }

    // The stored value as JSON bytes: none when the key is absent. A list
    // restored as text or as a parsed list is the same JSON, so it reads too.
    std::optional<QByteArray> read() const;

    // Tell what became of bytes read: unreadable ones are remembered; readable
    // ones replace any remembered bytes, which are copied aside when they
    // differ (someone else overwrote them, e.g. a backup import).
    void markReadable(const QByteArray& bytes);
    void markUnreadable(const QByteArray& bytes);

    // Stores `bytes` unless unreadable bytes would be lost because their copy
    // could not be written. Identical bytes are not rewritten. True when the
    // key now holds `bytes`.
    bool write(const QByteArray& bytes);
    // The same check, but the write is only added to `batch` (left out when
    // the bytes are already stored), so several lists reach the disk in one
    // UserDefaults::setValues. False when the bytes must be held back.
    bool stage(const QByteArray& bytes, QVariantMap& batch);
    // The same for bytes given as pieces, compared and stored without joining them.
    bool stage(const UserDefaults::Pieces& pieces, QVariantMap& batch);

private:
    // False while unreadable bytes could not be copied aside.
    bool setAsideUnreadable();

    UserDefaults& m_store;
    QString m_key;
    std::optional<QByteArray> m_unreadable;
};
