#include "Preferences.h"

#include "platform/UserDefaults.h"

// Filled on the main thread at start, before anything reads it.
namespace Preferences {

namespace {
QList<PreferenceEntry>& registry()
{
    static QList<PreferenceEntry> entries;
    return entries;
}
}

void add(const QList<PreferenceEntry>& entries)
{
    QVariantMap defaults;
    for (const PreferenceEntry& e : entries) {
        if (isDefined(e.name))
            continue;
        registry().append(e);
        if (e.defaultValue.isValid())
            defaults.insert(e.name, e.defaultValue);
    }
    if (!defaults.isEmpty())
        UserDefaults::standard().registerDefaults(defaults);
}

const QList<PreferenceEntry>& all() { return registry(); }

bool isDefined(const QString& key)
{
    for (const PreferenceEntry& e : registry())
        if (e.name == key)
            return true;
    return false;
}

}
