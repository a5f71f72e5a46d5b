#pragma once

#include <QHash>
#include <QSet>
#include <QString>

// One subfolder of the dated folder ("照片" or "视频") as the duplicate rule
// sees it. Its listing is read once per run; sizes are looked up only for
// names that collide, so a re-import of a full card costs one stat per file.
class AutoImportDestination
{
public:
    explicit AutoImportDestination(const QString& folder);

    // Reads the folder's entries (hidden ones and folders included). A folder
    // that cannot be listed counts as empty.
    void load();

    struct Placement
    {
        bool duplicate = false; // this file is already here under `name`
        QString name;           // the free name to copy to, or the duplicate's
    };

    // Same name and same size is a duplicate; same name and another size
    // moves on to "-2", "-3" ... so nothing is skipped wrongly or overwritten.
    Placement place(const QString& name, qint64 size);

    void noteCopied(const QString& name, qint64 size);
    // Another writer took `name` between the listing and our copy.
    void noteTaken(const QString& name);

    QString folder() const { return m_folder; }

    static constexpr int kMaxNumber = 100000;

private:
    qint64 sizeOf(const QString& name);

    QString m_folder;
    QSet<QString> m_names;
    QHash<QString, qint64> m_sizes; // -1: not a regular file
};
