#include "CompletionSound.h"

#include "Log.h"
#include "Product.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QMutex>
#include <QStandardPaths>
#include <QThreadPool>

#include <algorithm>
#include <cmath>

namespace {
// libcanberra and what it pulls in live in a module beside the app, loaded
// with the first sound: the app starts without them.
using PlayEventSound = int (*)(const char* eventId, const char* description, const char* volumeDb,
                               const char** error);

PlayEventSound soundModule()
{
    static QMutex mutex;
    QMutexLocker lock(&mutex);
    static PlayEventSound play = nullptr;
    if (!play) {
        QLibrary module(QCoreApplication::applicationDirPath() + QStringLiteral("/tessary-sound"));
        play = reinterpret_cast<PlayEventSound>(module.resolve("tessaryPlayEventSound"));
    }
    return play;
}
}

static bool themeHasSound()
{
    QStringList dirs = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    for (const QString& dir : dirs) {
        for (const char* ext : {".oga", ".ogg", ".wav"}) {
            if (QFileInfo::exists(dir + QStringLiteral("/sounds/freedesktop/stereo/")
                                  + QLatin1String(CompletionSound::kEventId) + QLatin1String(ext)))
                return true;
        }
    }
    return false;
}

float CompletionSound::gainForVolume(float volume)
{
    if (!(volume > 0.0f)) // negative and NaN alike
        return 0.0f;
    if (volume >= 1.0f)
        return kMaxGain;
    return volume * kMaxGain;
}

double CompletionSound::decibelsForGain(float gain)
{
    if (!(gain > 0.0f))
        return kSilentDb;
    return std::max(kSilentDb, 20.0 * std::log10(double(gain)));
}

QString CompletionSound::canberraVolume(float gain)
{
    return QString::number(decibelsForGain(gain), 'f', 2);
}

void CompletionSound::play(float volume)
{
    const QByteArray db = canberraVolume(gainForVolume(volume)).toLatin1();
    QThreadPool::globalInstance()->start([db] {
        const PlayEventSound play = soundModule();
        if (!play) {
            Log::line(QStringLiteral("⚠️ [提示音] 播放失败: 缺少音频组件 tessary-sound"));
            return;
        }
        const char* error = "";
        const int result = play(kEventId, "导片完成", db.constData(), &error);
        // The ALSA backend also answers "not found" for a missing device.
        if (result == 1 && !themeHasSound())
            Log::line(QStringLiteral("⚠️ [提示音] 找不到内置音效 ") + QLatin1String(kEventId));
        else if (result != 0)
            Log::line(QStringLiteral("⚠️ [提示音] 播放失败: ") + QString::fromUtf8(error));
    });
}
