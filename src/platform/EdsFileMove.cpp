#include "EdsFileMove.h"

#include "EdsCalendarStore.h"
#include "IcsCalendarStore.h"
#include "Log.h"
#include "Paths.h"

#include <QDir>
#include <QFile>

namespace {

// The calendar to move into: one of the same name, else a new one where the
// sync prefers new calendars (an online account before this computer).
std::optional<CalendarInfo> targetFor(EdsCalendarStore& store, const CalendarInfo& from, QString* error)
{
    for (const CalendarInfo& c : store.calendars()) {
        if (c.title.trimmed() == from.title.trimmed())
            return c;
    }
    const QList<CalendarSource> sources = store.sources();
    CalendarInfo made;
    made.title = from.title;
    made.color = from.color;
    for (CalendarSourceType type : {CalendarSourceType::CalDAV, CalendarSourceType::Local}) {
        for (const CalendarSource& s : sources) {
            if (s.type == type && made.source.identifier.isEmpty())
                made.source = s;
        }
    }
    if (!store.saveCalendar(made, true, error))
        return std::nullopt;
    return made;
}

}

bool EdsFileMove::run(const QString& folder, EdsCalendarStore& target, QString* error)
{
    if (QDir(folder).entryList({QStringLiteral("*.ics")}, QDir::Files).isEmpty())
        return true;
    QStringList moved;
    {
        const IcsCalendarStore files(folder);
        for (const CalendarInfo& from : files.calendars()) {
            const QString path = files.filePath(from.identifier);
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                *error = QStringLiteral("无法读取日历文件 ") + path;
                return false;
            }
            const std::optional<CalendarInfo> to = targetFor(target, from, error);
            if (!to)
                return false;
            const int count = target.addComponents(to->identifier, file.readAll(), error);
            if (count < 0)
                return false;
            Log::line(QStringLiteral("[CalendarStore] 已将日历「%1」的 %2 个事件移入系统日历").arg(from.title).arg(count));
            moved << path;
        }
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (const QString& path : std::as_const(moved)) {
        const QString aside = path + QStringLiteral(".moved-") + stamp;
        if (QFile::rename(path, aside))
            Log::line(QStringLiteral("[CalendarStore] 原日历文件已另存为：") + aside);
        else
            Log::line(QStringLiteral("[CalendarStore] 无法另存日历文件：") + path);
    }
    Paths::syncDirectory(folder);
    return true;
}
