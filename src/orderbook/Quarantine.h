#pragma once

#include <QByteArray>
#include <QString>

// Stored lists that cannot be read are copied aside before anything
// overwrites them, so a bad write or a newer format never costs the user
// their orders unseen.
class Quarantine
{
public:
    // Writes `bytes` to the "quarantine" folder of the data folder under a
    // timestamped name derived from `key`, and logs one line. Returns the
    // file's path, or an empty text when the copy could not be written.
    static QString keep(const QString& key, const QByteArray& bytes);
};
