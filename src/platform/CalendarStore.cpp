#include "CalendarStore.h"

#include "EdsCalendarStore.h"
#include "EdsFileMove.h"
#include "IcsCalendarStore.h"
#include "Log.h"
#include "Paths.h"

#include <QCoreApplication>
#include <QPointer>
#include <QUuid>

#include <algorithm>

namespace {
// Never destroyed: the store lives for the process and must not outlive the
// application object in a static destructor.
CalendarStore*& sharedSlot()
{
    static CalendarStore* slot = nullptr;
    return slot;
}
}

CalendarStore::CalendarStore(QObject* parent)
    : QObject(parent)
{
}

CalendarStore::~CalendarStore() = default;

CalendarStore& CalendarStore::shared()
{
    CalendarStore*& slot = sharedSlot();
    if (!slot)
        slot = openForSession(Paths::dataSubdir(QStringLiteral("calendars"))).release();
    return *slot;
}

std::unique_ptr<CalendarStore> CalendarStore::openForSession(const QString& fileFolder, const QDBusConnection& bus,
                                                            int serviceStartMs)
{
    // One choice for every session: a session that used the files while the
    // service was merely not started would leave events behind in each.
    if (!EdsCalendarStore::serviceInstalled(bus))
        return std::make_unique<IcsCalendarStore>(fileFolder);
    QString error;
    if (EdsCalendarStore::startService(bus, serviceStartMs, &error)) {
        if (std::unique_ptr<EdsCalendarStore> service = EdsCalendarStore::connect(&error)) {
            if (EdsFileMove::run(fileFolder, *service, &error))
                return service;
            Log::line(QStringLiteral("[CalendarStore] 日历文件中的事件未能移入系统日历，继续使用日历文件：") + error);
        } else {
            Log::line(QStringLiteral("[CalendarStore] ") + error + QStringLiteral("，继续使用日历文件"));
        }
    } else {
        Log::line(QStringLiteral("[CalendarStore] 系统日历服务没有响应（%1），本次使用日历文件").arg(error));
    }
    auto files = std::make_unique<IcsCalendarStore>(fileFolder);
    files->setSessionNotice(QStringLiteral("系统日历服务暂不可用，本次档期暂存在本机日历文件，下次启动时移入系统日历"));
    return files;
}

CalendarStore* CalendarStore::installShared(std::unique_ptr<CalendarStore> store)
{
    delete sharedSlot();
    sharedSlot() = store.release();
    return sharedSlot();
}

void CalendarStore::setAccessRequestAnswer(bool grant, const QString& error)
{
    m_requestGrants = grant;
    m_requestError = error;
}

void CalendarStore::requestFullAccessToEvents(QObject* context, AccessCompletion completion)
{
    bool granted = m_status == CalendarAuthorizationStatus::FullAccess;
    QString error;
    if (m_status == CalendarAuthorizationStatus::NotDetermined) {
        granted = m_requestGrants;
        error = m_requestError;
        m_status = granted ? CalendarAuthorizationStatus::FullAccess : CalendarAuthorizationStatus::Denied;
    }
    // Like a real permission prompt the answer never arrives synchronously.
    QPointer<QObject> guard(context);
    const bool hadContext = context != nullptr;
    QMetaObject::invokeMethod(
        this,
        [guard, hadContext, granted, error, completion = std::move(completion)] {
            if ((hadContext && !guard) || !completion)
                return;
            completion(granted, error);
        },
        Qt::QueuedConnection);
}

std::optional<CalendarInfo> CalendarStore::calendar(const QString& identifier) const
{
    for (const CalendarInfo& c : calendars()) {
        if (c.identifier == identifier)
            return c;
    }
    return std::nullopt;
}

bool CalendarStore::validateEvent(const CalendarEvent& event, QString* error)
{
    if (event.calendarIdentifier.isEmpty()) {
        setError(error, QStringLiteral("未指定事件所属的日历"));
        return false;
    }
    if (!event.startDate.isValid() || !event.endDate.isValid()) {
        setError(error, QStringLiteral("事件缺少开始或结束时间"));
        return false;
    }
    if (event.endDate < event.startDate) {
        setError(error, QStringLiteral("事件的结束时间早于开始时间"));
        return false;
    }
    for (const CalendarAlarm& alarm : event.alarms) {
        if (alarm.absoluteDate && !alarm.absoluteDate->isValid()) {
            setError(error, QStringLiteral("提醒时间无效"));
            return false;
        }
    }
    return true;
}

namespace {
QDateTime wholeSeconds(const QDateTime& dt)
{
    return dt.isValid() ? dt.addMSecs(-(dt.toMSecsSinceEpoch() % 1000 + 1000) % 1000) : dt;
}
}

void CalendarStore::normalizeTimes(CalendarEvent& event)
{
    event.startDate = wholeSeconds(event.startDate);
    event.endDate = wholeSeconds(event.endDate);
    for (CalendarAlarm& alarm : event.alarms) {
        if (alarm.absoluteDate)
            alarm.absoluteDate = wholeSeconds(*alarm.absoluteDate);
    }
    if (!event.allDay || !event.startDate.isValid() || !event.endDate.isValid())
        return;
    // Days are the user's days: a start given in UTC still names a local date.
    const QDateTime localStart = event.startDate.toLocalTime();
    const QDateTime localEnd = event.endDate.toLocalTime();
    const QDate first = localStart.date();
    // The end is exclusive; an end inside a day still covers that day.
    QDate after = localEnd.time() == QTime(0, 0) ? localEnd.date() : localEnd.date().addDays(1);
    if (after <= first)
        after = first.addDays(1);
    event.startDate = QDateTime(first, QTime(0, 0));
    event.endDate = QDateTime(after, QTime(0, 0));
}

bool CalendarStore::overlaps(const CalendarEvent& event, const QDateTime& start, const QDateTime& end)
{
    if (event.startDate >= end)
        return false;
    if (event.endDate > start)
        return true;
    return event.endDate == event.startDate && event.startDate >= start;
}

void CalendarStore::sortEvents(QList<CalendarEvent>& events)
{
    std::stable_sort(events.begin(), events.end(), [](const CalendarEvent& a, const CalendarEvent& b) {
        if (a.startDate != b.startDate)
            return a.startDate < b.startDate;
        return a.identifier < b.identifier;
    });
}

QString CalendarStore::newIdentifier()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

void CalendarStore::setError(QString* error, const QString& message)
{
    if (error)
        *error = message;
}
