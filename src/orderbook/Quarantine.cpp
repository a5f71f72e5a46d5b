#include "Quarantine.h"

#include "platform/Log.h"
#include "platform/Paths.h"

#include <QDateTime>
#include <QFile>

QString Quarantine::keep(const QString& key, const QByteArray& bytes)
{
    const QString dir = Paths::dataSubdir(QStringLiteral("quarantine"));
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    QString path = QStringLiteral("%1/%2_%3.json").arg(dir, key, stamp);
    for (int n = 2; QFile::exists(path); ++n)
        path = QStringLiteral("%1/%2_%3-%4.json").arg(dir, key, stamp).arg(n);

    if (!Paths::saveAtomically(path, bytes).isEmpty()) {
        Log::line(QStringLiteral("⚠️ [数据] 无法读取 %1 的已存数据，另存副本失败，暂不覆盖: %2").arg(key, path));
        return {};
    }
    Log::line(QStringLiteral("⚠️ [数据] 无法读取 %1 的已存数据，已另存到: %2").arg(key, path));
    return path;
}
