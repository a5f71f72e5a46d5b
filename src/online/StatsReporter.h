#pragma once

#include "online/OnlineConfig.h"

#include <QDateTime>
#include <QObject>

#include <functional>
#include <optional>

class UserDefaults;

// The process-wide anonymous usage reporter: one signed PUT of a small JSON
// object per event into the configured bucket. Reporting never blocks and
// never reports back; nothing is queued on disk or retried, and every failure
// loses only that event. Without upload settings nothing is sent.
class StatsReporter : public QObject
{
    Q_OBJECT
public:
    using Settings = std::function<std::optional<OnlineConfig::StatsUpload>()>;
    using Clock = std::function<QDateTime()>;

    // Uploads past this many unanswered ones are dropped, so a dead network
    // cannot pile up requests.
    static constexpr int kMaxInFlight = 8;

    // Reads, or makes and stores, the device id in `defaults`.
    StatsReporter(UserDefaults& defaults, Settings settings, Clock clock, QObject* parent = nullptr);
    static StatsReporter& shared();

    // Callable from any thread; the upload starts on the reporter's thread.
    void report(const QString& event, const QString& extra = QString());

    QString deviceId() const { return m_deviceId; }
    int inFlight() const { return m_inFlight; }

    // `date` in Shanghai time with a fixed pattern.
    static QString format(const QDateTime& date, const QString& pattern);
    static QString sha1Hex(const QByteArray& data);
    static QString hmacSha1Hex(const QByteArray& key, const QByteArray& data);
    // The "Authorization" value for `method` on `key`, valid from t - 60 s to t + 1 h.
    static QString cosV5Sign(const OnlineConfig::StatsUpload& upload, const QString& method, const QString& key,
                             qint64 t);
    // "stats/<day>/<event>_<device>_<stamp>_<random>.json"; `random` from 1000 to 9998.
    static QString objectKey(const QString& event, const QString& deviceId, const QDateTime& when, int random);
    QByteArray body(const QString& event, const QString& extra, const QDateTime& when) const;

private:
    void upload(const QString& event, const QString& extra, const QDateTime& when);

    Settings m_settings;
    Clock m_clock;
    QString m_deviceId;
    QString m_version;
    int m_inFlight = 0;
};
