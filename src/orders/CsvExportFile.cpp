#include "CsvExportFile.h"

#include "platform/Paths.h"


namespace CsvExportFile {

QString proposedName(const QDate& start, const QDate& end)
{
    return QStringLiteral("档期收入明细_") + start.toString(QStringLiteral("MM-dd")) + QLatin1Char('_')
        + end.toString(QStringLiteral("MM-dd")) + QStringLiteral(".csv");
}

bool write(const QString& path, const QString& text, QString* error)
{
    // The folder is the user's choice: one that went away is an error.
    const QString failure = Paths::saveAtomically(path, text.toUtf8(), {.makeFolder = false});
    if (error)
        *error = failure;
    return failure.isEmpty();
}

}
