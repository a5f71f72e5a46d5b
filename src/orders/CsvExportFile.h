#pragma once

#include <QDate>
#include <QString>

// Naming and writing the exported order list.
namespace CsvExportFile {

// "档期收入明细_MM-dd_MM-dd.csv" for the range.
QString proposedName(const QDate& start, const QDate& end);
// Writes `text` as UTF-8 without a byte-order mark, all or nothing: the
// target is the whole old file or the whole new one. On failure `error`
// gets the reason.
bool write(const QString& path, const QString& text, QString* error);

}
