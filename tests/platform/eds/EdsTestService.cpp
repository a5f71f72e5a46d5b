#include "EdsTestService.h"

#include "platform/EdsCalendarStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>


#undef signals
#include <libedataserver/libedataserver.h>

namespace {

QString root()
{
    return qEnvironmentVariable("TESSARY_TEST_ROOT") + QStringLiteral("/calendar-service");
}

void stopProcess(QProcess& p)
{
    CalendarServiceDaemons::stopProcess(p);
}

ESourceRegistry* registry()
{
    static ESourceRegistry* r = e_source_registry_new_sync(nullptr, nullptr);
    return r;
}

class StopAtExit : public ::testing::Environment
{
    void TearDown() override { EdsTestService::instance().stop(); }
};

}

EdsTestService& EdsTestService::instance()
{
    static EdsTestService* service = [] {
        ::testing::AddGlobalTestEnvironment(new StopAtExit);
        return new EdsTestService;
    }();
    service->m_daemons.exportSession();
    return *service;
}

EdsTestService::EdsTestService()
    : m_daemons(root())
{
    EXPECT_TRUE(m_daemons.ready());
}

EdsTestService::~EdsTestService()
{
    stop();
}

void EdsTestService::stop()
{
    m_daemons.stop();
}

std::unique_ptr<EdsCalendarStore> EdsTestService::store()
{
    QString error;
    std::unique_ptr<EdsCalendarStore> s = EdsCalendarStore::connect(&error);
    EXPECT_TRUE(s) << error.toStdString();
    return s;
}

QString EdsTestService::addCalDavCalendar(const QString& title, int port, const QString& path, bool offlineCopy)
{
    return addSource(title, "caldav", "caldav-stub", [&](ESource* source) {
        if (offlineCopy) {
            e_source_offline_set_stay_synchronized(
                E_SOURCE_OFFLINE(e_source_get_extension(source, E_SOURCE_EXTENSION_OFFLINE)), TRUE);
            auto* refresh = E_SOURCE_REFRESH(e_source_get_extension(source, E_SOURCE_EXTENSION_REFRESH));
            e_source_refresh_set_enabled(refresh, TRUE);
            e_source_refresh_set_interval_minutes(refresh, 5);
        }
        auto* auth = E_SOURCE_AUTHENTICATION(e_source_get_extension(source, E_SOURCE_EXTENSION_AUTHENTICATION));
        e_source_authentication_set_host(auth, "127.0.0.1");
        e_source_authentication_set_port(auth, guint16(port));
        e_source_authentication_set_user(auth, "");
        e_source_security_set_method(E_SOURCE_SECURITY(e_source_get_extension(source, E_SOURCE_EXTENSION_SECURITY)), "none");
        e_source_webdav_set_resource_path(E_SOURCE_WEBDAV(e_source_get_extension(source, E_SOURCE_EXTENSION_WEBDAV_BACKEND)),
                                          path.toUtf8().constData());
    });
}

QString EdsTestService::addSource(const QString& title, const char* backend, const QString& parent,
                                  const std::function<void(ESource*)>& configure)
{
    GError* error = nullptr;
    ESource* source = e_source_new(nullptr, nullptr, &error);
    e_source_set_parent(source, parent.toUtf8().constData());
    e_source_set_display_name(source, title.toUtf8().constData());
    e_source_backend_set_backend_name(E_SOURCE_BACKEND(e_source_get_extension(source, E_SOURCE_EXTENSION_CALENDAR)),
                                      backend);
    if (configure)
        configure(source);
    const bool ok = e_source_registry_commit_source_sync(registry(), source, nullptr, &error);
    EXPECT_TRUE(ok) << (error ? error->message : "");
    g_clear_error(&error);
    const QString uid = QString::fromUtf8(e_source_get_uid(source));
    g_object_unref(source);
    return uid;
}

void EdsTestService::removeCalendars(const QString& title)
{
    GList* list = e_source_registry_list_sources(registry(), E_SOURCE_EXTENSION_CALENDAR);
    for (GList* l = list; l; l = l->next) {
        auto* source = E_SOURCE(l->data);
        const QString name = QString::fromUtf8(e_source_get_display_name(source));
        if (name.trimmed() == title && e_source_get_removable(source))
            e_source_remove_sync(source, nullptr, nullptr);
    }
    g_list_free_full(list, g_object_unref);
}

// --- The CalDAV server ---

RadicaleServer::RadicaleServer(const QString& collection)
    : m_collection(collection)
{
    const QString dir = QDir::tempPath() + "/radicale-" + collection;
    QDir().mkpath(dir + "/collections");
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const int port = probe.serverPort();
    probe.close();
    m_config = dir + "/config";
    QFile config(m_config);
    config.open(QIODevice::WriteOnly);
    config.write(QString("[server]\nhosts = 127.0.0.1:%1\n[auth]\ntype = none\n[rights]\ntype = owner_only\n"
                         "[storage]\nfilesystem_folder = %2/collections\n[logging]\nlevel = warning\n")
                     .arg(port)
                     .arg(dir)
                     .toUtf8());
    config.close();
    m_port = port;
    int status = 0;
    // The parent must exist before the calendar.
    if (!start() || (request("MKCALENDAR", calendarPath(), {}, &status), status != 201))
        m_port = 0;
}

bool RadicaleServer::start()
{
    CalendarServiceDaemons::start(m_server, QProcessEnvironment::systemEnvironment(), "radicale", {"--config", m_config});
    if (m_server.state() != QProcess::Running)
        return false;
    int status = 0;
    // Radicale answers once it listens.
    return QTest::qWaitFor([&] { request("MKCOL", "/user/", {}, &status); return status > 0; }, 10000);
}

void RadicaleServer::stop()
{
    stopProcess(m_server);
}

void RadicaleServer::setHanging(bool hanging)
{
    if (m_server.state() != QProcess::NotRunning && m_server.processId() > 0)
        ::kill(pid_t(m_server.processId()), hanging ? SIGSTOP : SIGCONT);
}

RadicaleServer::~RadicaleServer()
{
    setHanging(false);
    stopProcess(m_server);
}

QByteArray RadicaleServer::request(const QByteArray& verb, const QString& path, const QByteArray& body, int* status) const
{
    QNetworkAccessManager net;
    QNetworkRequest req(QUrl(QString("http://127.0.0.1:%1%2").arg(m_port).arg(path)));
    req.setRawHeader("Content-Type", verb == "PUT" ? "text/calendar; charset=utf-8" : "application/xml; charset=utf-8");
    req.setRawHeader("Depth", "1");
    QNetworkReply* reply = net.sendCustomRequest(req, verb, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    if (status)
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray out = reply->readAll();
    reply->deleteLater();
    return out;
}

QList<std::pair<QString, QByteArray>> RadicaleServer::report() const
{
    const QByteArray body = R"(<?xml version="1.0" encoding="utf-8"?>
<C:calendar-query xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav">
<D:prop><D:getetag/><C:calendar-data/></D:prop>
<C:filter><C:comp-filter name="VCALENDAR"><C:comp-filter name="VEVENT"/></C:comp-filter></C:filter>
</C:calendar-query>)";
    const QString xml = QString::fromUtf8(request("REPORT", calendarPath(), body));
    QList<std::pair<QString, QByteArray>> out;
    static const QRegularExpression response(R"(<[a-zA-Z]*:?href>([^<]+)</[a-zA-Z]*:?href>.*?calendar-data[^>]*>([^<]*)<)",
                                             QRegularExpression::DotMatchesEverythingOption);
    for (auto it = response.globalMatch(xml); it.hasNext();) {
        const auto m = it.next();
        QString data = m.captured(2);
        data.replace("&#13;", "\r").replace("&lt;", "<").replace("&gt;", ">").replace("&amp;", "&");
        out.append({m.captured(1), data.toUtf8()});
    }
    return out;
}

QHash<QString, QList<QByteArray>> RadicaleServer::eventsByOrder() const
{
    static const QRegularExpression orderId(QStringLiteral("X-TESSARY-ORDER-ID:([0-9A-F-]{36})"));
    QHash<QString, QList<QByteArray>> out;
    for (const auto& [href, text] : report()) {
        const QRegularExpressionMatch m = orderId.match(QString::fromUtf8(text));
        out[m.hasMatch() ? m.captured(1) : QString()].append(text);
    }
    return out;
}

bool RadicaleServer::put(const QString& href, const QByteArray& ics) const
{
    int status = 0;
    request("PUT", href, ics, &status);
    return status == 201 || status == 204;
}
