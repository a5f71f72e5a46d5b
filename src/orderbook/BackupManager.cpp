#include "BackupManager.h"

#include "orderbook/OrderCodec.h"
#include "orderbook/OrderManager.h"
#include "orderbook/OrderbookKeys.h"
#include "orderbook/PackageManager.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/Product.h"
#include "platform/SetAsideFiles.h"
#include "platform/UserDefaults.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <limits>

BackupManager& BackupManager::shared()
{
    static BackupManager* instance = new BackupManager;
    return *instance;
}

namespace {

const QString kInvalidFormat = QStringLiteral("备份文件格式无效");
const QString kTooLarge = QStringLiteral("文件过大（超过 64 MB），不是有效的备份文件");
const QString kAutoPrefix = QStringLiteral("auto_backup_");
const QString kBeforeImportPrefix = QStringLiteral("before_import_");
const QString kSuffix = QStringLiteral(".kvbak");
const QString kStampFormat = QStringLiteral("yyyyMMdd_HHmmss");

// Whether bytes under a stored-list key read as that list.
bool decodes(const QString& key, const QByteArray& bytes)
{
    if (key == QLatin1String(OrderbookKeys::orders.name))
        return OrderCodec::decodeOrders(bytes).has_value();
    if (key == QLatin1String(OrderbookKeys::restDays.name))
        return OrderCodec::decodeRestDays(bytes).has_value();
    if (key == QLatin1String(OrderbookKeys::packages.name))
        return OrderCodec::decodePackages(bytes).has_value();
    return OrderCodec::decodeReminderRules(bytes).has_value();
}

// How a backed-up key's value is kept, as the app writes it.
enum class ValueKind {
    storedList, // bytes of a stored list, base64 in the file
    flag,
    integer,
    text,
    // Text exactly as typed (any text, a port among them); earlier versions
    // kept a whole number here.
    typedText,
    textList,
    any,
};

// Which export choice brings a key into a manual backup.
enum class KeyGroup { core, viewPreferences, customStatsTemplates, recycleBin, printTemplates };

struct BackupKey {
    const char* name;
    ValueKind kind;
    KeyGroup group = KeyGroup::core;
};

// Every key a backup carries, in the order of the key lists, and the kind
// its value has in the file. The export writes each value in this kind and
// the import takes nothing else, so whatever the export writes imports again.
constexpr BackupKey kBackupKeys[] = {
    {"schedule_orders_v1", ValueKind::storedList},
    {"schedule_restdays_v1", ValueKind::storedList},
    {"schedulePackages", ValueKind::storedList},
    {"scheduleMaxOrdersPerDay", ValueKind::integer},
    {"scheduleSyncCalendarDefault", ValueKind::flag},
    {"scheduleReminderDefault", ValueKind::text},
    {"packageDepositMigratedTo300", ValueKind::flag},
    {"ftpAllowVideo", ValueKind::flag},
    {"ftpPort", ValueKind::typedText},
    {"ftpUsername", ValueKind::text},
    {"ftpPassword", ValueKind::text},
    {"ftpRootDirectory", ValueKind::text},
    {"ftpAnonymousAccess", ValueKind::flag},
    {"defaultLaunchPage", ValueKind::text},
    {"autoImportEnabled", ValueKind::flag},
    {"autoImportVolume", ValueKind::integer},
    {"autoImportPlaySound", ValueKind::flag},
    {"autoImportCreateDailyFolder", ValueKind::flag},
    {"autoImportSavePath", ValueKind::text},
    {"quickSplitSeparator", ValueKind::text},
    {"scheduleViewMode", ValueKind::any},
    {"scheduleStatsMode", ValueKind::any},
    // The keys the app really writes; the ones above stay so older files still restore.
    {"scheduleReminderRules", ValueKind::storedList},
    {"calendarSyncEnabled", ValueKind::flag},
    {"scheduleLocalNotificationEnabled", ValueKind::flag},
    {"weekStartsOnMonday", ValueKind::flag},
    {"quickShootLocations", ValueKind::textList},
    {"autoBackupEnabled", ValueKind::flag},
    {"appThemeStyle", ValueKind::text},
    {"appIconStyle", ValueKind::text},
    {"autoImportSound", ValueKind::flag},
    {"dailyNewFolder", ValueKind::flag},
    {"autoImportRootPath", ValueKind::text},
    {"missingRawList", ValueKind::flag},
    {"scheduleListColumnWidths", ValueKind::any, KeyGroup::viewPreferences},
    {"scheduleListHiddenColumns", ValueKind::any, KeyGroup::viewPreferences},
    {"scheduleListDefaultSort", ValueKind::any, KeyGroup::viewPreferences},
    {"scheduleListFilterPresets", ValueKind::any, KeyGroup::viewPreferences},
    {"scheduleCustomStatsTemplates", ValueKind::any, KeyGroup::customStatsTemplates},
    {"scheduleRecycleBin", ValueKind::any, KeyGroup::recycleBin},
    {"schedulePrintTemplates", ValueKind::any, KeyGroup::printTemplates},
};

QStringList keysIn(const QList<KeyGroup>& groups)
{
    QStringList keys;
    for (const BackupKey& key : kBackupKeys) {
        if (groups.contains(key.group))
            keys << QString::fromLatin1(key.name);
    }
    return keys;
}

ValueKind kindOf(const QString& name)
{
    static const QHash<QString, ValueKind> kinds = [] {
        QHash<QString, ValueKind> k;
        for (const BackupKey& key : kBackupKeys)
            k.insert(QString::fromLatin1(key.name), key.kind);
        return k;
    }();
    return kinds.value(name, ValueKind::any);
}

std::optional<qint64> wholeInt(const QJsonValue& v)
{
    const double d = v.toDouble(0.5);
    if (v.isDouble() && d == std::trunc(d) && d >= std::numeric_limits<int>::min()
        && d <= std::numeric_limits<int>::max())
        return qint64(d);
    return std::nullopt;
}

// A file value in the form its kind keeps, or none when it is not of that
// kind. Older files write flags as 0 and 1, and whole numbers as doubles.
std::optional<QJsonValue> inKind(ValueKind kind, const QJsonValue& v)
{
    switch (kind) {
    case ValueKind::storedList:
        // Whether the text is base64 of a list that reads is the import's
        // check of the content.
        return v.isString() || v.isArray() ? std::optional<QJsonValue>(v) : std::nullopt;
    case ValueKind::flag:
        if (v.isBool())
            return v;
        if (v.isDouble() && (v.toDouble() == 0 || v.toDouble() == 1))
            return QJsonValue(v.toDouble() == 1);
        return std::nullopt;
    case ValueKind::integer:
        if (const auto n = wholeInt(v))
            return QJsonValue(*n);
        return std::nullopt;
    case ValueKind::typedText:
        if (const auto n = wholeInt(v))
            return QJsonValue(QString::number(*n));
        [[fallthrough]];
    case ValueKind::text:
        return v.isString() ? std::optional<QJsonValue>(v) : std::nullopt;
    case ValueKind::textList: {
        if (!v.isArray())
            return std::nullopt;
        QJsonArray texts;
        for (const QJsonValue& item : v.toArray()) {
            if (item.isString())
                texts.append(item);
            else if (!item.isNull())
                return std::nullopt;
        }
        return texts;
    }
    case ValueKind::any:
        return v;
    }
    return std::nullopt;
}

QString kindName(ValueKind kind)
{
    switch (kind) {
    case ValueKind::flag:
        return QStringLiteral("开关值（true/false）");
    case ValueKind::integer:
        return QStringLiteral("整数");
    case ValueKind::text:
        return QStringLiteral("文本");
    case ValueKind::typedText:
        return QStringLiteral("文本或整数");
    case ValueKind::textList:
        return QStringLiteral("文本列表");
    case ValueKind::storedList:
    case ValueKind::any:
        break;
    }
    return {};
}

// A JSON value as the store holds it; nulls (which it cannot hold) are dropped.
std::optional<QVariant> storedValue(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::Bool:
    case QJsonValue::Double:
    case QJsonValue::String:
        return v.toVariant();
    case QJsonValue::Array: {
        QVariantList list;
        for (const QJsonValue& item : v.toArray()) {
            if (auto value = storedValue(item))
                list.append(*value);
        }
        return list;
    }
    case QJsonValue::Object: {
        QVariantMap map;
        const QJsonObject obj = v.toObject();
        for (auto it = obj.begin(); it != obj.end(); ++it) {
            if (auto value = storedValue(it.value()))
                map.insert(it.key(), *value);
        }
        return map;
    }
    default:
        return std::nullopt;
    }
}

// Base64 text as written by the export; a list written out as JSON is taken too.
std::optional<QByteArray> storedBytes(const QJsonValue& v)
{
    if (v.isString()) {
        auto decoded = QByteArray::fromBase64Encoding(v.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        return *decoded;
    }
    if (v.isArray())
        return QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact);
    return std::nullopt;
}

// The stamp in "auto_backup_yyyyMMdd_HHmmss.kvbak", else the last change.
QDateTime backupMoment(const QFileInfo& info)
{
    const QString name = info.fileName();
    const QString stamp = name.mid(kAutoPrefix.size(), name.size() - kAutoPrefix.size() - kSuffix.size());
    const QDateTime fromName = QDateTime::fromString(stamp, kStampFormat);
    return fromName.isValid() ? fromName : info.lastModified();
}

}

BackupManager::BackupManager()
    : m_coreDataKeys(keysIn({KeyGroup::core}))
    , m_preferenceKeys(keysIn({KeyGroup::viewPreferences, KeyGroup::customStatsTemplates, KeyGroup::recycleBin,
                               KeyGroup::printTemplates}))
{
    connect(&UserDefaults::standard(), &UserDefaults::changed, this, [this](const QString& key) {
        if (key == QLatin1String(OrderbookKeys::orders.name) && m_automaticOrderChanges == 0)
            releaseAutoBackupHold();
    });
}

bool BackupManager::isAutoBackupHeld() const
{
    return SetAsideFiles::count(SetAsideFiles::Kind::settings, UserDefaults::standard().filePath())
        > m_answeredSetAsides;
}

void BackupManager::releaseAutoBackupHold()
{
    m_answeredSetAsides = SetAsideFiles::count(SetAsideFiles::Kind::settings, UserDefaults::standard().filePath());
}

int BackupManager::Contents::orderCount() const
{
    const auto orders = OrderCodec::decodeOrders(values.value(QLatin1String(OrderbookKeys::orders.name)).toByteArray());
    return orders ? int(orders->size()) : 0;
}

QString BackupManager::dataDirectory() const { return Paths::dataDir(); }

QString BackupManager::autoBackupDirectory() const
{
    const QString dir = dataDirectory() + QStringLiteral("/AutoBackups");
    QDir().mkpath(dir);
    // Backups hold the FTP password.
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return dir;
}

void BackupManager::performAutoBackupIfEnabled()
{
    if (!UserDefaults::standard().value(OrderbookKeys::autoBackupEnabled))
        return;
    if (isAutoBackupHeld()) {
        Log::line(QStringLiteral("💾 本次启动时设置文件无法读取，恢复备份或修改订单前不做自动备份"));
        return;
    }
    const QString stamp = QDateTime::currentDateTime().toString(kStampFormat);
    const QString path = autoBackupDirectory() + u'/' + kAutoPrefix + stamp + kSuffix;
    if (exportBackup(path, backupKeys()))
        cleanupOldAutoBackups(5, path);
}

bool BackupManager::exportBackup(const QString& filePath, bool includeViewPreferences,
                                 bool includeCustomStatsTemplates, bool includeRecycleBin, bool includePrintTemplates,
                                 QString* error)
{
    QList<KeyGroup> groups{KeyGroup::core};
    if (includeViewPreferences)
        groups << KeyGroup::viewPreferences;
    if (includeCustomStatsTemplates)
        groups << KeyGroup::customStatsTemplates;
    if (includeRecycleBin)
        groups << KeyGroup::recycleBin;
    if (includePrintTemplates)
        groups << KeyGroup::printTemplates;
    return exportBackup(filePath, keysIn(groups), error);
}

bool BackupManager::exportBackup(const QString& filePath, const QStringList& keys, QString* failure)
{
    QJsonObject data;
    const UserDefaults& defaults = UserDefaults::standard();
    // Only what the user stored: defaults come back by themselves.
    const QVariantMap stored = defaults.dictionaryRepresentation();
    for (const QString& key : keys) {
        const auto it = stored.constFind(key);
        if (it == stored.constEnd())
            continue;
        // A value the import would refuse would make the whole file useless;
        // only a hand-edited settings file can hold one.
        if (const auto value = inKind(kindOf(key), QJsonValue::fromVariant(serializeValue(*it))))
            data.insert(key, *value);
        else
            Log::line(QStringLiteral("💾 备份跳过类型不符的项: ") + key);
    }
    QJsonObject root;
    root.insert(QStringLiteral("version"), QStringLiteral("3.2"));
    root.insert(QStringLiteral("exportDate"), QDateTime::currentMSecsSinceEpoch() / 1000.0);
    root.insert(QStringLiteral("appName"), QString::fromLatin1(Product::kDisplayName));
    root.insert(QStringLiteral("data"), data);
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);

    // Owner only from the first byte on: the file holds the FTP password.
    const QString error = Paths::saveAtomically(
        filePath, bytes, {.makeFolder = false, .permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner});
    if (!error.isEmpty()) {
        Log::line(QStringLiteral("💾 备份导出失败: ") + error);
        if (failure)
            *failure = error;
        return false;
    }
    Log::line(QStringLiteral("💾 备份导出成功: ") + filePath + QStringLiteral(", 大小: ")
              + QString::number(bytes.size()) + QStringLiteral(" 字节"));
    return true;
}

namespace {
BackupManager::Contents refused(const QString& cause)
{
    BackupManager::Contents contents;
    contents.error = cause;
    return contents;
}
}

BackupManager::Contents BackupManager::readBackup(const QString& filePath) const
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("无法读取文件（") + file.errorString() + u'）');
    if (file.size() > maxImportBytes)
        return refused(kTooLarge);
    const QByteArray bytes = file.read(maxImportBytes + 1);
    if (bytes.size() > maxImportBytes)
        return refused(kTooLarge);
    if (file.error() != QFileDevice::NoError)
        return refused(QStringLiteral("无法读取文件（") + file.errorString() + u'）');

    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return refused(
            QStringLiteral("文件不是有效的 JSON（第 %1 个字节处：%2）").arg(error.offset).arg(error.errorString()));
    const QJsonValue dataValue = doc.object().value(QStringLiteral("data"));
    if (!doc.isObject() || !dataValue.isObject())
        return refused(kInvalidFormat);
    const QJsonValue appName = doc.object().value(QStringLiteral("appName"));
    const QString ourName = QString::fromLatin1(Product::kDisplayName);
    if (!appName.isUndefined() && appName.toString() != ourName) {
        const QString named = appName.isString() ? appName.toString() : QStringLiteral("非文本值");
        return refused(QStringLiteral("这不是 %1 的备份文件（appName 为“%2”）").arg(ourName, named));
    }

    // Only what an export writes comes back, and the stored lists only when
    // they read: a damaged file must not replace good orders.
    const QStringList accepted = backupKeys();
    const QJsonObject data = dataValue.toObject();
    Contents contents;
    const QJsonValue version = doc.object().value(QStringLiteral("version"));
    contents.version = version.isString() ? version.toString() : QStringLiteral("unknown");
    for (auto it = data.begin(); it != data.end(); ++it) {
        const QString& key = it.key();
        if (!accepted.contains(key)) {
            Log::line(QStringLiteral("💾 忽略备份中的未知项: ") + key);
            continue;
        }
        if (it.value().isNull())
            continue;
        const ValueKind kind = kindOf(key);
        const std::optional<QJsonValue> value = inKind(kind, it.value());
        if (kind == ValueKind::storedList) {
            // A list that does not read is a damaged file, whatever its form.
            const std::optional<QByteArray> stored = value ? storedBytes(*value) : std::nullopt;
            if (!stored || !decodes(key, *stored))
                return refused(kInvalidFormat);
            contents.values.insert(key, *stored);
        } else if (!value) {
            return refused(QStringLiteral("备份中“%1”的值不是%2").arg(key, kindName(kind)));
        } else if (auto restored = storedValue(*value)) {
            contents.values.insert(key, *restored);
        }
    }
    return contents;
}

BackupManager::ImportResult BackupManager::importBackup(const QString& filePath)
{
    const Contents contents = readBackup(filePath);
    if (!contents.error.isEmpty())
        return {false, contents.error};
    Log::line(QStringLiteral("💾 导入备份版本: ") + contents.version);

    // What the import replaces stays restorable.
    const QString stamp = QDateTime::currentDateTime().toString(kStampFormat);
    QString kept = autoBackupDirectory() + u'/' + kBeforeImportPrefix + stamp + kSuffix;
    for (int n = 2; QFileInfo::exists(kept); ++n)
        kept = autoBackupDirectory() + u'/' + kBeforeImportPrefix + stamp + u'-' + QString::number(n) + kSuffix;
    QString failure;
    if (!exportBackup(kept, backupKeys(), &failure))
        return {false, QStringLiteral("无法先备份当前数据（") + failure + QStringLiteral("），未导入任何内容")};
    Log::line(QStringLiteral("💾 导入前已备份当前数据: ") + kept);

    // The calendar still holds the events of the book being replaced: the
    // sync brings it in line with the restored one, in the same write.
    QVariantMap values = contents.values;
    if (values.contains(QString(OrderbookKeys::orders)))
        values.insert(QString(OrderbookKeys::calendarRestoreFollowUp), calendarFollowUp());
    if (!values.isEmpty() && !UserDefaults::standard().setValues(values))
        return {false, QStringLiteral("无法写入设置文件")};

    releaseAutoBackupHold();
    OrderManager::shared().load();
    PackageManager::shared().loadPackages();
    return {true, QStringLiteral("备份导入成功，请重启软件使全部数据生效\n导入前的数据已备份到：") + kept};
}

QVariantMap BackupManager::calendarFollowUp()
{
    // An earlier import not yet followed left its events in the calendar too.
    QVariantMap followUp = UserDefaults::standard()
                               .dictionary(QString(OrderbookKeys::calendarRestoreFollowUp))
                               .value_or(QVariantMap());
    QStringList held = followUp.value(QStringLiteral("heldEvents")).toStringList();
    QStringList orders = followUp.value(QStringLiteral("orders")).toStringList();
    for (const Order& o : OrderManager::shared().orders()) {
        if (o.calendarEventIdentifier && !o.calendarEventIdentifier->isEmpty())
            held.append(*o.calendarEventIdentifier);
        orders.append(OrderCodec::uuidText(o.id));
    }
    held.removeDuplicates();
    orders.removeDuplicates();
    followUp.insert(QStringLiteral("heldEvents"), held);
    followUp.insert(QStringLiteral("orders"), orders);
    return followUp;
}

QList<std::pair<QDateTime, QFileInfo>> BackupManager::autoBackupsNewestFirst(const QString& except) const
{
    // Only our own backups count: a file the user put here is theirs, and
    // names carry the stamp where the file system keeps no creation time.
    QList<std::pair<QDateTime, QFileInfo>> backups;
    const QDir dir(autoBackupDirectory());
    const QString skipped = except.isEmpty() ? QString() : QFileInfo(except).absoluteFilePath();
    for (const QFileInfo& info : dir.entryInfoList({kAutoPrefix + u'*' + kSuffix}, QDir::Files | QDir::System)) {
        if (info.isSymLink() || !info.isFile() || info.absoluteFilePath() == skipped)
            continue;
        backups.append({backupMoment(info), info});
    }
    std::stable_sort(backups.begin(), backups.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second.fileName() > b.second.fileName();
    });
    return backups;
}

std::optional<BackupManager::AutoBackup> BackupManager::newestAutoBackupWithOrders() const
{
    for (const auto& [moment, info] : autoBackupsNewestFirst()) {
        const Contents contents = readBackup(info.absoluteFilePath());
        if (contents.error.isEmpty() && contents.orderCount() > 0)
            return AutoBackup{info.absoluteFilePath(), moment, contents.orderCount()};
    }
    return std::nullopt;
}

void BackupManager::cleanupOldAutoBackups(int keep, const QString& justWritten)
{
    const auto backups = autoBackupsNewestFirst(justWritten);
    // The file just written is one of the kept ones, whatever its stamp.
    for (qsizetype i = std::max(keep - 1, 0); i < backups.size(); ++i)
        QFile::remove(backups.at(i).second.absoluteFilePath());
}

QVariant BackupManager::serializeValue(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return value;
    case QMetaType::QDateTime:
        return value.toDateTime().toMSecsSinceEpoch() / 1000.0;
    case QMetaType::QByteArray:
        return QString::fromLatin1(value.toByteArray().toBase64());
    case QMetaType::QUrl:
        return value.toUrl().toString(QUrl::FullyEncoded);
    case QMetaType::QVariantList: {
        QVariantList out;
        for (const QVariant& v : value.toList())
            out.append(serializeValue(v));
        return out;
    }
    case QMetaType::QVariantMap: {
        QVariantMap out;
        const QVariantMap in = value.toMap();
        for (auto it = in.begin(); it != in.end(); ++it)
            out.insert(it.key(), serializeValue(it.value()));
        return out;
    }
    default:
        return value.toString();
    }
}
