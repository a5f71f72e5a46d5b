#pragma once

#include <QList>
#include <QString>
#include <QVariant>

// A stored preference: its key and the value readers see while nothing is
// stored. Each folder declares its own in <Folder>Keys.h and lists them in
// that header's `entries()`, which the app registers at start.
template <typename T>
struct PreferenceKey
{
    const char* name;
    T defaultValue;

    operator QString() const { return QString::fromLatin1(name); }
};

// A stored value with no default (lists, data, texts that are empty until written).
struct StoredKey
{
    const char* name;

    operator QString() const { return QString::fromLatin1(name); }
};

// One row of a folder's key table, as the registry keeps it.
struct PreferenceEntry
{
    QString name;
    QVariant defaultValue; // invalid: no default
};

template <typename T>
PreferenceEntry entry(const PreferenceKey<T>& key)
{
    return {key, QVariant::fromValue(key.defaultValue)};
}

inline PreferenceEntry entry(const StoredKey& key) { return {key, {}}; }
