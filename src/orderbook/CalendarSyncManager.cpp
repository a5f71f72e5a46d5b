#include "CalendarSyncManager.h"

#include "orderbook/LocalCalendar.h"
#include "orderbook/OrderCodec.h"
#include "orderbook/OrderManager.h"
#include "orderbook/StoredList.h"
#include "platform/CalendarStore.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/SystemSettingsHook.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotificationCenter.h"

#include <QPointer>
#include <QTimer>

#include <utility>

namespace {

QColor dedicatedCalendarColor()
{
    return QColor::fromRgbF(0.804f, 0.357f, 0.169f, 1.0f);
}

}

CalendarSyncManager& CalendarSyncManager::shared()
{
    static CalendarSyncManager* instance = new CalendarSyncManager(
        CalendarStore::shared(), UserNotificationCenter::current(), UserDefaults::standard(), OrderManager::shared());
    return *instance;
}

CalendarSyncManager::CalendarSyncManager(CalendarStore& eventStore, UserNotificationCenter& notificationCenter,
                                         UserDefaults& defaults, OrderManager& orders, QObject* parent)
    : QObject(parent)
    , m_eventStore(eventStore)
    , m_notificationCenter(notificationCenter)
    , m_defaults(defaults)
    , m_orders(orders)
    , m_log(Paths::dataDir() + QLatin1Char('/') + QLatin1String(logFileName))
    , m_pending(defaults)
    , m_released(defaults)
{
    // A stored 0 or 1 is a switch too; anything else leaves it on.
    const QVariant stored = defaults.object(OrderbookKeys::calendarSyncEnabled);
    const bool isSwitch = stored.typeId() == QMetaType::Bool
        || (stored.canConvert<qint64>() && stored.typeId() != QMetaType::QString
            && (UserDefaults::toInteger(stored) == 0 || UserDefaults::toInteger(stored) == 1)
            && UserDefaults::toDouble(stored) == double(UserDefaults::toInteger(stored)));
    m_calendarSyncEnabled = isSwitch ? UserDefaults::toBool(stored) : true;

    if (!m_eventStore.sessionNotice().isEmpty())
        logDebug(m_eventStore.sessionNotice());
    m_orders.setCalendarEventDeleter([this](const QList<Order>& going) { ordersDeleted(going); });
    m_orders.setDeleteAnnouncer([this](const QList<Order>& orders, bool going) { ordersAboutToGo(orders, going); });
    connect(&m_eventStore, &CalendarStore::changed, this, [this] {
        if (m_calendarSyncEnabled)
            refreshEvents();
    });
    connect(&m_eventStore, &CalendarStore::serverStateChanged, this, [this] {
        if (calendarServiceProblem().isEmpty())
            m_silenceLogged = false;
        Q_EMIT pendingWorkChanged();
    });
    QTimer::singleShot(0, this, [this] {
        checkPermission();
        checkNotificationPermission();
    });
}

CalendarSyncManager::~CalendarSyncManager()
{
    m_orders.setCalendarEventDeleter({});
    m_orders.setDeleteAnnouncer({});
}

void CalendarSyncManager::logDebug(const QString& message) const
{
    m_log.append(message);
}

void CalendarSyncManager::logFailure(const QString& error)
{
    const QString silence = calendarServiceProblem();
    if (silence.isEmpty()) {
        m_silenceLogged = false;
        logDebug(QStringLiteral("日历同步失败: ") + error);
    } else if (!std::exchange(m_silenceLogged, true)) {
        logDebug(QStringLiteral("日历同步失败: ") + silence);
    }
}

// --- State ---

void CalendarSyncManager::setCalendarSyncEnabled(bool enabled)
{
    m_defaults.set(OrderbookKeys::calendarSyncEnabled, enabled);
    const bool changed = m_calendarSyncEnabled != enabled;
    m_calendarSyncEnabled = enabled;
    if (changed)
        Q_EMIT calendarSyncEnabledChanged();
    if (enabled)
        checkPermissionAndAutoRefresh();
    else
        QMetaObject::invokeMethod(this, [this] { setShootEvents({}); }, Qt::QueuedConnection);
}

bool CalendarSyncManager::canReadEvents() const
{
    return m_calendarSyncEnabled && m_eventStore.authorizationStatus() == CalendarAuthorizationStatus::FullAccess;
}

void CalendarSyncManager::setAuthorized(bool authorized)
{
    if (m_isAuthorized == authorized)
        return;
    m_isAuthorized = authorized;
    Q_EMIT isAuthorizedChanged();
}

void CalendarSyncManager::setShootEvents(const QList<ShootEvent>& events)
{
    if (m_shootEvents == events)
        return;
    m_shootEvents = events;
    Q_EMIT shootEventsChanged();
}

QList<ReminderRule> CalendarSyncManager::reminderRules() const
{
    if (const auto bytes = StoredList(m_defaults, OrderbookKeys::reminderRules).read()) {
        if (auto rules = OrderCodec::decodeReminderRules(*bytes))
            return *rules;
    }
    return ReminderRule::defaultRules();
}

void CalendarSyncManager::setReminderRules(const QList<ReminderRule>& rules)
{
    if (const auto bytes = OrderCodec::encodeReminderRules(rules))
        m_defaults.set(OrderbookKeys::reminderRules, *bytes);
}

bool CalendarSyncManager::localNotificationEnabled() const
{
    return m_defaults.boolean(OrderbookKeys::localNotificationEnabled);
}

// --- Permission ---

void CalendarSyncManager::checkPermission()
{
    m_permissionGranted = false;
    switch (m_eventStore.authorizationStatus()) {
    case CalendarAuthorizationStatus::NotDetermined:
        setAuthorized(false);
        logDebug(QStringLiteral("日历权限状态: 未确定（需要请求权限）"));
        break;
    case CalendarAuthorizationStatus::Restricted:
        setAuthorized(false);
        logDebug(QStringLiteral("日历权限状态: 受限制"));
        break;
    case CalendarAuthorizationStatus::Denied:
        setAuthorized(false);
        logDebug(QStringLiteral("日历权限状态: 已拒绝"));
        break;
    case CalendarAuthorizationStatus::FullAccess:
        m_permissionGranted = true;
        setAuthorized(true);
        logDebug(QStringLiteral("日历权限状态: 已授权（完整访问）"));
        break;
    case CalendarAuthorizationStatus::WriteOnly:
        m_permissionGranted = true;
        setAuthorized(true);
        logDebug(QStringLiteral("日历权限状态: 已授权（仅写入）"));
        break;
    }
    if (canReadEvents())
        refreshEvents();
    else if (m_isAuthorized)
        logDebug(QStringLiteral("日历权限为仅写入，不执行读取操作"));
}

void CalendarSyncManager::checkPermissionAndAutoRefresh()
{
    checkPermission();
    const bool now = canReadEvents();
    if (now && !m_lastCanReadEvents) {
        logDebug(QStringLiteral("检测到日历读取权限已开启，自动刷新日历事件"));
        refreshEvents();
    }
    m_lastCanReadEvents = now;
}

void CalendarSyncManager::requestPermission(BoolCompletion completion)
{
    auto answer = [&completion](bool granted) {
        if (completion)
            completion(granted);
    };
    switch (m_eventStore.authorizationStatus()) {
    case CalendarAuthorizationStatus::Denied:
    case CalendarAuthorizationStatus::Restricted:
        logDebug(QStringLiteral("日历权限已被拒绝，直接跳转系统设置"));
        openSystemSettings();
        answer(false);
        return;
    case CalendarAuthorizationStatus::WriteOnly:
        m_permissionGranted = true;
        setAuthorized(true);
        logDebug(QStringLiteral("日历权限为仅写入，不执行读取操作"));
        answer(true);
        return;
    case CalendarAuthorizationStatus::FullAccess:
        m_permissionGranted = true;
        setAuthorized(true);
        refreshEvents();
        answer(true);
        return;
    case CalendarAuthorizationStatus::NotDetermined:
        break;
    }
    // The store answers later on the main thread, and only while we live.
    m_eventStore.requestFullAccessToEvents(this, [this, completion](bool granted, const QString& error) {
        if (!error.isEmpty())
            logDebug(QStringLiteral("请求日历权限失败: ") + error);
        m_permissionGranted = granted;
        setAuthorized(granted);
        if (granted)
            refreshEvents();
        else
            openSystemSettings();
        logDebug(QStringLiteral("日历权限请求结果: ") + (granted ? QStringLiteral("已授权") : QStringLiteral("未授权")));
        if (completion)
            completion(granted);
    });
}

void CalendarSyncManager::requestCalendarPermission(PermissionCompletion completion)
{
    requestPermission([completion](bool granted) {
        if (!completion)
            return;
        if (granted)
            completion(true, std::nullopt);
        else
            completion(false, QStringLiteral("权限被拒绝"));
    });
}

void CalendarSyncManager::openSystemSettings()
{
    SystemSettingsHook::open(SystemSettingsHook::Page::CalendarPrivacy);
}

void CalendarSyncManager::checkNotificationPermission()
{
    m_notificationCenter.getAuthorizationStatus(this, [this](UserNotificationAuthorizationStatus status) {
        m_notificationPermissionGranted = status == UserNotificationAuthorizationStatus::Authorized;
    });
}

void CalendarSyncManager::requestNotificationPermission(BoolCompletion completion)
{
    m_notificationCenter.requestAuthorization(
        UserNotificationCenter::Alert | UserNotificationCenter::Sound, this,
        [this, completion](bool granted, const QString& error) {
            if (!error.isEmpty())
                Log::line(QStringLiteral("📱 请求通知权限失败: ") + error);
            m_notificationPermissionGranted = granted;
            Log::line(QStringLiteral("📱 通知权限请求结果: ")
                      + (granted ? QStringLiteral("已授权") : QStringLiteral("未授权")));
            if (completion)
                completion(granted);
        });
}

void CalendarSyncManager::applicationDidBecomeActive()
{
    if (m_calendarSyncEnabled)
        checkPermissionAndAutoRefresh();
}

// --- The dedicated calendar ---

std::optional<CalendarInfo> CalendarSyncManager::getDedicatedCalendar()
{
    const QList<CalendarInfo> calendars = m_eventStore.calendars();
    if (m_dedicatedCalendar) {
        for (const CalendarInfo& c : calendars) {
            if (c.identifier == m_dedicatedCalendar->identifier)
                return m_dedicatedCalendar;
        }
        m_dedicatedCalendar.reset();
    }

    const QString name = calendarName().trimmed();
    auto isCalDav = [](const CalendarSource& s) { return s.type == CalendarSourceType::CalDAV; };
    auto isICloud = [&](const CalendarSource& s) { return isCalDav(s) && s.title.contains(QLatin1String("iCloud")); };
    auto find = [&](const std::function<bool(const CalendarSource&)>& test) -> std::optional<CalendarInfo> {
        for (const CalendarInfo& c : calendars) {
            if (c.title.trimmed() == name && test(c.source))
                return c;
        }
        return std::nullopt;
    };
    if ((m_dedicatedCalendar = find(isICloud))) {
        logDebug(QStringLiteral("找到 iCloud 源专属日历: ") + calendarName());
        return m_dedicatedCalendar;
    }
    if ((m_dedicatedCalendar = find(isCalDav))) {
        logDebug(QStringLiteral("找到 calDAV 源专属日历: ") + calendarName() + QStringLiteral(" (")
                 + m_dedicatedCalendar->source.title + QLatin1Char(')'));
        return m_dedicatedCalendar;
    }
    if ((m_dedicatedCalendar = find([](const CalendarSource&) { return true; }))) {
        logDebug(QStringLiteral("找到本地源专属日历: ") + calendarName());
        return m_dedicatedCalendar;
    }

    logDebug(QStringLiteral("未找到已存在的专属日历，准备创建新日历"));
    const QList<CalendarSource> sources = m_eventStore.sources();
    auto firstSource = [&](const std::function<bool(const CalendarSource&)>& test) -> std::optional<CalendarSource> {
        for (const CalendarSource& s : sources) {
            if (test(s))
                return s;
        }
        return std::nullopt;
    };
    if (const auto s = firstSource(isICloud)) {
        logDebug(QStringLiteral("使用iCloud源创建专属日历"));
        return createCalendar(*s);
    }
    if (const auto s = firstSource(isCalDav)) {
        logDebug(QStringLiteral("使用calDAV源创建专属日历: ") + s->title);
        return createCalendar(*s);
    }
    if (const auto s = firstSource([](const CalendarSource& s) { return s.type == CalendarSourceType::Local; })) {
        logDebug(QStringLiteral("使用本地源创建专属日历（不会同步到手机）"));
        return createCalendar(*s);
    }
    if (const auto fallback = m_eventStore.defaultCalendarForNewEvents()) {
        logDebug(QStringLiteral("使用默认日历源创建专属日历: ") + fallback->source.title);
        return createCalendar(fallback->source);
    }
    logDebug(QStringLiteral("无法找到可用的日历源，创建专属日历失败"));
    return std::nullopt;
}

std::optional<CalendarInfo> CalendarSyncManager::createCalendar(const CalendarSource& source)
{
    CalendarInfo calendar;
    calendar.title = calendarName();
    calendar.source = source;
    calendar.color = dedicatedCalendarColor();
    QString error;
    if (!m_eventStore.saveCalendar(calendar, true, &error)) {
        logDebug(QStringLiteral("创建专属日历失败: ") + error);
        return std::nullopt;
    }
    m_dedicatedCalendar = calendar;
    return calendar;
}

// --- Events of the dedicated calendar ---

void CalendarSyncManager::refreshEvents()
{
    if (!m_calendarSyncEnabled) {
        logDebug(QStringLiteral("刷新事件跳过：日历同步总开关已关闭"));
        return;
    }
    if (!canReadEvents()) {
        logDebug(QStringLiteral("刷新事件跳过：无读取权限（当前为仅写入权限）"));
        return;
    }
    const auto calendar = getDedicatedCalendar();
    if (!calendar) {
        logDebug(QStringLiteral("刷新事件失败：无法获取专属日历"));
        return;
    }
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime start = now.addMonths(-6);
    const QDateTime end = now.addMonths(6);
    logDebug(QStringLiteral("开始刷新日历事件，范围：") + CalendarSyncLog::dateText(start) + QStringLiteral(" ~ ") + CalendarSyncLog::dateText(end));
    const QList<CalendarEvent> found = m_eventStore.events(start, end, {calendar->identifier});
    // What a silent service gave is only what was read before, if anything.
    if (calendarServiceProblem().isEmpty())
        logDebug(QStringLiteral("从系统日历读取到 %1 条事件").arg(found.size()));
    else
        logFailure({});
    QList<ShootEvent> events;
    events.reserve(found.size());
    for (const CalendarEvent& e : found)
        events.append({e.identifier, e.title, e.startDate, e.endDate, e.location, e.notes, e.orderIdentifier});
    QMetaObject::invokeMethod(this, [this, events] { publishRefreshedEvents(events); }, Qt::QueuedConnection);
}
