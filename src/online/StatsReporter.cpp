#include "StatsReporter.h"

#include "online/OnlineKeys.h"
#include "online/RemoteFetch.h"
#include "platform/AppVersion.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>
#include <QTimeZone>
#include <QUuid>

StatsReporter::StatsReporter(UserDefaults& defaults, Settings settings, Clock clock, QObject* parent)
    : QObject(parent)
    , m_settings(std::move(settings))
    , m_clock(std::move(clock))
    , m_version(AppVersion::shortVersion())
{
    m_deviceId = defaults.string(OnlineKeys::statsDeviceId).value_or(QString());
    if (m_deviceId.isEmpty()) {
        m_deviceId = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        defaults.set(OnlineKeys::statsDeviceId, m_deviceId);
    }
}

StatsReporter& StatsReporter::shared()
{
    static StatsReporter* instance = [] {
        auto* reporter = new StatsReporter(UserDefaults::standard(), &OnlineConfig::statsUpload,
                                           &QDateTime::currentDateTimeUtc);
        // Made on whichever thread asks first; uploads belong on the main one.
        if (QCoreApplication* app = QCoreApplication::instance())
            reporter->moveToThread(app->thread());
        return reporter;
    }();
    return *instance;
}

void StatsReporter::report(const QString& event, const QString& extra)
{
    const QDateTime when = m_clock();
    if (QThread::currentThread() == thread()) {
        upload(event, extra, when);
        return;
    }
    QMetaObject::invokeMethod(this, [this, event, extra, when] { upload(event, extra, when); }, Qt::QueuedConnection);
}

QString StatsReporter::format(const QDateTime& date, const QString& pattern)
{
    static const QTimeZone shanghai("Asia/Shanghai");
    return date.toTimeZone(shanghai.isValid() ? shanghai : QTimeZone::systemTimeZone()).toString(pattern);
}

QString StatsReporter::sha1Hex(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
}

QString StatsReporter::hmacSha1Hex(const QByteArray& key, const QByteArray& data)
{
    return QString::fromLatin1(QMessageAuthenticationCode::hash(data, key, QCryptographicHash::Sha1).toHex());
}

QString StatsReporter::cosV5Sign(const OnlineConfig::StatsUpload& upload, const QString& method, const QString& key,
                                 qint64 t)
{
    const QString keyTime = QString::number(t - 60) + QLatin1Char(';') + QString::number(t + 3600);
    const QString request = method.toLower() + QStringLiteral("\n/") + key + QStringLiteral("\n\nhost=") + upload.host
        + QLatin1Char('\n');
    const QString toSign = QStringLiteral("sha1\n") + keyTime + QLatin1Char('\n') + sha1Hex(request.toUtf8())
        + QLatin1Char('\n');
    const QString signKey = hmacSha1Hex(upload.secretKey.toUtf8(), keyTime.toUtf8());
    const QString signature = hmacSha1Hex(signKey.toUtf8(), toSign.toUtf8());
    return QStringLiteral("q-sign-algorithm=sha1&q-ak=") + upload.secretId + QStringLiteral("&q-sign-time=") + keyTime
        + QStringLiteral("&q-key-time=") + keyTime + QStringLiteral("&q-header-list=host&q-url-param-list=&q-signature=")
        + signature;
}

QString StatsReporter::objectKey(const QString& event, const QString& deviceId, const QDateTime& when, int random)
{
    static const QRegularExpression unsafe(QStringLiteral("[^a-zA-Z0-9_]"));
    QString safe = event;
    safe.remove(unsafe);
    return QStringLiteral("stats/") + format(when, QStringLiteral("yyyy-MM-dd")) + QLatin1Char('/') + safe
        + QLatin1Char('_') + deviceId.left(8) + QLatin1Char('_') + format(when, QStringLiteral("yyyyMMddHHmmss"))
        + QLatin1Char('_') + QString::number(random) + QStringLiteral(".json");
}

QByteArray StatsReporter::body(const QString& event, const QString& extra, const QDateTime& when) const
{
    const QJsonObject object{{QStringLiteral("t"), format(when, QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
                             {QStringLiteral("e"), event},
                             {QStringLiteral("v"), m_version},
                             {QStringLiteral("d"), m_deviceId},
                             {QStringLiteral("x"), extra}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void StatsReporter::upload(const QString& event, const QString& extra, const QDateTime& when)
{
    const std::optional<OnlineConfig::StatsUpload> settings = m_settings();
    if (!settings || m_inFlight >= kMaxInFlight)
        return;
    const QString key = objectKey(event, m_deviceId, when, QRandomGenerator::global()->bounded(1000, 9999));
    RemoteFetch::Request request;
    request.address = settings->scheme + QStringLiteral("://") + settings->host + QLatin1Char('/') + key;
    request.method = "PUT";
    request.body = body(event, extra, when);
    request.timeoutMs = RemoteFetch::timeouts().uploadMs;
    const qint64 signedAt = m_clock().toSecsSinceEpoch();
    request.headers = {{"Authorization", cosV5Sign(*settings, QStringLiteral("put"), key, signedAt).toUtf8()},
                       {"Host", settings->host.toUtf8()},
                       // Said outright, or the network layer would call the JSON a web form.
                       {"Content-Type", "application/json"}};
    ++m_inFlight;
    RemoteFetch::send(request, this, [this](const RemoteFetch::Reply&) { --m_inFlight; });
}
