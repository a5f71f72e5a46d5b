#include "OnlineFixture.h"

#include "ChildProcess.h"
#include "online/StatsReporter.h"

#include <QDir>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <ctime>

namespace {

// A bucket that recomputes each signature from the method, path, "Host" and
// sign time it received and checks the window against the fixed clock.
constexpr const char* kBucket = R"(
import hashlib, hmac, json, os
from http.server import BaseHTTPRequestHandler, HTTPServer
KEY, AK, NOW = os.environ['SK'].encode(), os.environ['AK'], int(os.environ['NOW'])
class Bucket(BaseHTTPRequestHandler):
    def do_PUT(self):
        body = self.rfile.read(int(self.headers.get('Content-Length', 0)))
        auth = dict(p.split('=', 1) for p in self.headers.get('Authorization', '').split('&') if '=' in p)
        kt = auth.get('q-sign-time', '0;0')
        req = f"{self.command.lower()}\n{self.path}\n\nhost={self.headers['Host']}\n"
        ts = f"sha1\n{kt}\n{hashlib.sha1(req.encode()).hexdigest()}\n"
        sig = hmac.new(hmac.new(KEY, kt.encode(), hashlib.sha1).hexdigest().encode(), ts.encode(), hashlib.sha1).hexdigest()
        ok = (auth.get('q-ak') == AK and auth.get('q-key-time') == kt and auth.get('q-header-list') == 'host'
              and auth.get('q-url-param-list') == '' and auth.get('q-signature') == sig and kt == f"{NOW - 60};{NOW + 3600}")
        print(json.dumps({'ok': ok, 'path': self.path, 'body': body.decode(), 'raw': str(self.headers)}), flush=True)
        self.send_response(200 if ok else 403)
        self.send_header('Content-Length', '0')
        self.end_headers()
    def log_message(self, *args):
        pass
server = HTTPServer(('127.0.0.1', 0), Bucket)
print(server.server_port, flush=True)
server.serve_forever()
)";

constexpr qint64 kNow = 1796479199; // 2026-12-05 21:59:59 in Shanghai
const OnlineConfig::StatsUpload kVector{"https", "bucket-test.stats.example.test", "AKIDABCDEFGHIJKLMNOPQRSTUVWXYZ012345",
                                        "abcdefghijklmnopqrstuvwxyz012345"};

struct StatsReporterTest : OnlineFixture {
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("defaults.json")};
    std::optional<OnlineConfig::StatsUpload> upload;
    QProcess bucket;

    std::unique_ptr<StatsReporter> reporter()
    {
        return std::make_unique<StatsReporter>(
            defaults, [this] { return upload; }, [] { return QDateTime::fromSecsSinceEpoch(kNow, Qt::UTC); });
    }
    ~StatsReporterTest() override
    {
        bucket.kill();
        bucket.waitForFinished();
    }
};

TEST_F(StatsReporterTest, SignsWithTheServiceScheme)
{
    EXPECT_EQ(StatsReporter::hmacSha1Hex(kVector.secretKey.toUtf8(), "1796479139;1796482799"),
              "1ea8686351c21dd99a048649b3dc03a3b5308820");
    const QString key = "stats/2026-12-05/app_launch_1A2B3C4D_20261205215959_4821.json";
    EXPECT_EQ(StatsReporter::objectKey("app_launch", "1A2B3C4D-0000", QDateTime::fromSecsSinceEpoch(kNow), 4821), key);
    EXPECT_EQ(StatsReporter::cosV5Sign(kVector, "PUT", key, kNow),
              "q-sign-algorithm=sha1&q-ak=AKIDABCDEFGHIJKLMNOPQRSTUVWXYZ012345&q-sign-time=1796479139;1796482799"
              "&q-key-time=1796479139;1796482799&q-header-list=host&q-url-param-list="
              "&q-signature=b97be095b94f253df244f4b4c673b7bc82dc67af");
}

TEST_F(StatsReporterTest, UploadsOneSignedObjectPerEventInShanghaiTime)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SK", kVector.secretKey);
    env.insert("AK", kVector.secretId);
    env.insert("NOW", QString::number(kNow));
    bucket.setProcessEnvironment(env);
    bucket.start("python3", {"-c", kBucket});
    const QByteArray port = nextLine(bucket, 10000).trimmed();
    ASSERT_FALSE(port.isEmpty()) << bucket.readAllStandardError().toStdString();
    upload = {"http", "127.0.0.1:" + port, kVector.secretId, kVector.secretKey};
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "UTC");
    tzset();
    defaults.set("stats_device_id", "1A2B3C4D-5E6F-7A8B-9C0D-1E2F3A4B5C6D");
    auto r = reporter();
    r->report("打开设置", "");
    QThread* worker = QThread::create([&] { r->report("from-worker 1", "x"); });
    worker->start();
    worker->wait();
    delete worker;

    const struct { const char *prefix, *event, *extra; } rows[] = {
        {"/stats/2026-12-05/_1A2B3C4D_20261205215959_", "打开设置", ""},
        {"/stats/2026-12-05/fromworker1_1A2B3C4D_20261205215959_", "from-worker 1", "x"}};
    QList<QJsonObject> lines;
    auto line = [&](const char* prefix) {
        return std::find_if(lines.begin(), lines.end(), [&](const QJsonObject& o) { return o["path"].toString().startsWith(prefix); });
    };
    // A retried request may come twice: wait for each by its path.
    (void)QTest::qWaitFor([&] {
        while (bucket.canReadLine())
            lines << QJsonDocument::fromJson(bucket.readLine()).object();
        return line(rows[0].prefix) != lines.end() && line(rows[1].prefix) != lines.end();
    }, 5000);
    qputenv("TZ", oldTz);
    tzset();
    for (const auto& row : rows) {
        const auto l = line(row.prefix);
        ASSERT_NE(l, lines.end()) << row.prefix;
        EXPECT_TRUE((*l)["ok"].toBool()) << row.prefix;
        EXPECT_TRUE(QRegularExpression("_[1-9]\\d{3}\\.json$").match((*l)["path"].toString()).hasMatch());
        EXPECT_EQ(QJsonDocument::fromJson((*l)["body"].toString().toUtf8()).object(),
                  QJsonObject({{"t", "2026-12-05 21:59:59"}, {"e", row.event}, {"v", "3.5"},
                               {"d", "1A2B3C4D-5E6F-7A8B-9C0D-1E2F3A4B5C6D"}, {"x", row.extra}}));
        for (const QString& personal : {QHostInfo::localHostName(), qEnvironmentVariable("USER"), QDir::homePath()})
            if (personal.size() > 2)
                EXPECT_FALSE((*l)["raw"].toString().contains(personal) || (*l)["body"].toString().contains(personal));
    }
}

TEST_F(StatsReporterTest, MakesAnIdForAnEmptyOneSendsNothingUnsetAndCapsUnanswered)
{
    defaults.set("stats_device_id", "");
    auto r = reporter();
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$").match(r->deviceId()).hasMatch());
    EXPECT_EQ(defaults.string("stats_device_id"), r->deviceId());
    r->report("app_launch"); // unset: nothing leaves the machine
    EXPECT_EQ(r->inFlight(), 0);

    upload = OnlineConfig::StatsUpload{"http", stub.base().mid(7).chopped(1), "id", "key"};
    for (int i = 0; i < StatsReporter::kMaxInFlight + 3; ++i)
        r->report("app_launch");
    EXPECT_EQ(r->inFlight(), StatsReporter::kMaxInFlight);
    QTest::qWait(100);
    EXPECT_EQ(stub.requests().size(), StatsReporter::kMaxInFlight);
}

}
