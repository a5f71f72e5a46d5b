#pragma once

#include "SafeFileTransfer.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <functional>

// A folder that a run puts files into (the import's "照片" and "视频", the
// quick filter's output) as the duplicate rule sees it. Its listing is read
// once per run; size and time are looked up only for names that collide, so
// a re-import of a full card costs one stat per file.
class DestinationFolder
{
public:
    explicit DestinationFolder(const QString& folder);

    // Reads the folder's entries (hidden ones and folders included). A folder
    // that cannot be listed counts as empty.
    void load();

    // What the rule needs to know of a source file.
    struct Source
    {
        QString path;
        qint64 size = 0;
        qint64 modified = 0; // modification time, ms since the epoch
    };

    struct Placement
    {
        bool duplicate = false; // this file is already here under `name`
        QString name;           // the free name to copy to, or the duplicate's
    };

    // A file already here under the same name is this one when its size and
    // time match (copies keep the time), or, when only the time differs, when
    // its bytes match. Two camera bodies or a folder roll-over give equal
    // names and sizes of different pictures, so anything else moves on to
    // "-2", "-3" ... and nothing is skipped wrongly or overwritten.
    Placement place(const QString& name, const Source& source);

    static Source sourceOf(const QString& path);

    // Copies or moves `source` (through `transfer`, to the name it is given)
    // unless it is already here; a name another writer takes meanwhile moves
    // it on to the next number.
    using Transfer = std::function<SafeFileTransfer::Result(const QString& name)>;
    enum class Outcome { placed, duplicate, failed, cancelled };
    struct Put
    {
        Outcome outcome = Outcome::failed;
        QString name;  // where it went, or the duplicate's name
        QString error; // why it failed
    };
    Put put(const QString& name, const Source& source, const Transfer& transfer);

    void noteCopied(const QString& name, const Source& source);
    // Another writer took `name` between the listing and our copy.
    void noteTaken(const QString& name);

    QString folder() const { return m_folder; }

    // Byte-wise comparison; false when either file cannot be read whole.
    static bool sameContents(const QString& a, const QString& b);

    static constexpr int kMaxNumber = 100000;

private:
    struct Entry
    {
        qint64 size = -1; // -1: not a regular file
        qint64 modified = 0;
    };
    Entry entryOf(const QString& name);

    QString m_folder;
    QSet<QString> m_names;
    QHash<QString, Entry> m_entries;
};
