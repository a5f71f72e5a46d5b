#include "SoftwareUpdatePrefs.h"

#include "online/OnlineKeys.h"
#include "online/UpdateChecker.h"
#include "platform/UserDefaults.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>

namespace SoftwareUpdatePrefs {

bool autoCheckEnabled()
{
    const QVariant v = UserDefaults::standard().object(OnlineKeys::autoCheckUpdate);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    // The switch is stored as a bool; 0 and 1 read as one too.
    if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int)
        return UserDefaults::toBool(v);
    return true;
}

void setAutoCheckEnabled(bool on) { UserDefaults::standard().set(OnlineKeys::autoCheckUpdate, on); }

double lastCheckTimestamp() { return UserDefaults::standard().doubleValue(OnlineKeys::lastUpdateCheckTime); }

void recordCheckTime()
{
    UserDefaults::standard().set(OnlineKeys::lastUpdateCheckTime, double(QDateTime::currentMSecsSinceEpoch()) / 1000.0);
}

QString lastCheckText(const QTimeZone& zone)
{
    const double t = lastCheckTimestamp();
    if (!(t > 0) || !std::isfinite(t))
        return QStringLiteral("尚未检查");
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(qint64(t * 1000.0), zone);
    return QLocale(QLocale::Chinese, QLocale::China).toString(when, QStringLiteral("yyyy年M月d日 HH:mm"));
}

}

namespace SoftwareUpdateAutoCheck {
void runIfNeeded(UpdateChecker* checker)
{
    if (checker && SoftwareUpdatePrefs::autoCheckEnabled())
        checker->checkForUpdate();
}
}
