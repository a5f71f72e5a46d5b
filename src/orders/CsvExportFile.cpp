#include "CsvExportFile.h"

#include "platform/Paths.h"

#include <QFileInfo>
#include <QSaveFile>

namespace CsvExportFile {

QString proposedName(const QDate& start, const QDate& end)
{
    return QStringLiteral("档期收入明细_") + start.toString(QStringLiteral("MM-dd")) + QLatin1Char('_')
        + end.toString(QStringLiteral("MM-dd")) + QStringLiteral(".csv");
}

bool write(const QString& path, const QString& text, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    Paths::syncDirectory(QFileInfo(path).absolutePath());
    return true;
}

}
