#pragma once

#include "platform/PreferenceKey.h"


// Every folder's preference keys, registered once at start: their defaults go
// to the standard store.
namespace Preferences {
void add(const QList<PreferenceEntry>& entries);
const QList<PreferenceEntry>& all();
bool isDefined(const QString& key);
}
