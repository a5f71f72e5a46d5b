#pragma once

#include "orderbook/LocalCalendar.h"
#include "orderbook/Order.h"
#include "orderbook/OrderCodec.h"
#include "orderbook/OrderbookKeys.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <ctime>
#include <memory>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

// A private preference file per test, captured log lines and an empty
// quarantine folder, so tests can look at the stored bytes directly.
class OrderbookFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The day rules here are written for Shanghai, whatever the caller's TZ.
        pinTimeZone("Asia/Shanghai");
        ASSERT_TRUE(dir.isValid());
        store = std::make_unique<UserDefaults>(dir.path() + "/defaults.json");
        QDir(quarantineDir()).removeRecursively();
        previousSink = Log::setSink([this](const QString& line) { logLines.append(line); });
    }
    void TearDown() override { Log::setSink(previousSink); }

    // The test main puts the zone back after every case.
    static void pinTimeZone(const char* zone)
    {
        qputenv("TZ", zone);
        tzset();
        LocalCalendar::resetCache();
    }

    static QString quarantineDir() { return Paths::dataSubdir("quarantine"); }
    // A plain file where the quarantine folder belongs: no copy can be made.
    static void blockQuarantine(bool blocked)
    {
        const QString path = Paths::dataDir() + "/quarantine";
        QDir(path).removeRecursively();
        QFile::remove(path);
        if (blocked) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
    static QStringList quarantined() { return QDir(quarantineDir()).entryList(QDir::Files, QDir::Name); }
    // The bytes of every quarantined copy, sorted.
    static QByteArrayList quarantinedBytes()
    {
        QByteArrayList all;
        for (const QString& name : quarantined()) {
            QFile f(quarantineDir() + "/" + name);
            all.append(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)"));
        }
        std::sort(all.begin(), all.end());
        return all;
    }

    QByteArray stored(const QString& key) const { return store->data(key).value_or(QByteArray()); }
    QJsonArray storedArray(const QString& key) const { return QJsonDocument::fromJson(stored(key)).array(); }

    // A moment in the pinned local time zone.
    static QDateTime local(int y, int m, int d, int h = 12, int min = 0) { return {QDate(y, m, d), QTime(h, min)}; }

    static Order order(const QString& name, const QDateTime& shoot, double total,
                       const QList<PaymentRecord>& payments = {},
                       OrderStatus status = OrderStatus::pendingDeposit)
    {
        return Order(name, "13800000000", "标准套系", shoot, shoot, ShootTimeSlot::morning, total, 0,
                     payments, "", status, false, QString("提前1天"), "", false);
    }

    QTemporaryDir dir;
    std::unique_ptr<UserDefaults> store;
    QStringList logLines;
    Log::Sink previousSink;
};
