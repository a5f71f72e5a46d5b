#include "UsageUploads.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {
const char* const kNames[] = {"TESSARY_STATS_ENDPOINT", "TESSARY_STATS_SECRET_ID", "TESSARY_STATS_SECRET_KEY"};
}

UsageUploads::UsageUploads()
{
    // The stub points the remote endpoint at itself; uploads only are wanted.
    if (m_remoteBase.isEmpty())
        qunsetenv("TESSARY_REMOTE_BASE");
    else
        qputenv("TESSARY_REMOTE_BASE", m_remoteBase);
    const QByteArray base = m_stub.base().chopped(1).toUtf8();
    qputenv(kNames[0], base);
    qputenv(kNames[1], "AKIDTESTTESTTESTTESTTESTTESTTESTTEST");
    qputenv(kNames[2], "testtesttesttesttesttesttesttest");
}

UsageUploads::~UsageUploads()
{
    for (const char* name : kNames)
        qunsetenv(name);
}

QStringList UsageUploads::take(int expected)
{
    auto puts = [this] {
        QStringList events;
        for (const HttpStub::Request& r : m_stub.requests())
            if (r.method == "PUT" && r.path.startsWith("/stats/"))
                events << QJsonDocument::fromJson(r.body).object().value("e").toString();
        return events;
    };
    if (expected > 0)
        (void)QTest::qWaitFor([&] { return puts().size() >= m_seen + expected; }, 5000);
    else
        QTest::qWait(100);
    const QStringList all = puts();
    const QStringList fresh = all.mid(m_seen);
    m_seen = all.size();
    return fresh;
}
