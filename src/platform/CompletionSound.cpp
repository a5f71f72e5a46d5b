#include "CompletionSound.h"

#include "Log.h"
#include "Product.h"

#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>
#include <QThreadPool>

#include <canberra.h>

#include <algorithm>
#include <cmath>

namespace {
// One playback id for every end sound, so a new one can cancel its predecessor.
constexpr uint32_t kPlayId = 1;

QMutex& contextMutex()
{
    static QMutex m;
    return m;
}

// Made on first use and kept for the process: it is the holder that keeps a
// playing sound alive, and all access goes through contextMutex().
ca_context* sharedContext(int* error)
{
    static ca_context* context = nullptr;
    if (!context) {
        ca_context* made = nullptr;
        *error = ca_context_create(&made);
        if (*error != CA_SUCCESS)
            return nullptr;
        ca_context_change_props(made, CA_PROP_APPLICATION_NAME, "Tessary",
                                CA_PROP_APPLICATION_ID, "tessary", nullptr);
        // Opened here, so a missing audio backend is not taken for a missing sound.
        *error = ca_context_open(made);
        if (*error != CA_SUCCESS) {
            ca_context_destroy(made);
            return nullptr;
        }
        context = made;
    }
    *error = CA_SUCCESS;
    return context;
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
        QMutexLocker lock(&contextMutex());
        int error = CA_SUCCESS;
        ca_context* context = sharedContext(&error);
        if (!context) {
            Log::line(QStringLiteral("⚠️ [提示音] 播放失败: ") + QString::fromUtf8(ca_strerror(error)));
            return;
        }
        ca_context_cancel(context, kPlayId);
        error = ca_context_play(context, kPlayId, CA_PROP_EVENT_ID, kEventId,
                                CA_PROP_EVENT_DESCRIPTION, "导片完成", CA_PROP_CANBERRA_VOLUME,
                                db.constData(), CA_PROP_CANBERRA_CACHE_CONTROL, "volatile",
                                nullptr);
        // The ALSA backend also answers "not found" for a missing device.
        if (error == CA_ERROR_NOTFOUND && !themeHasSound())
            Log::line(QStringLiteral("⚠️ [提示音] 找不到内置音效 ") + QLatin1String(kEventId));
        else if (error != CA_SUCCESS)
            Log::line(QStringLiteral("⚠️ [提示音] 播放失败: ") + QString::fromUtf8(ca_strerror(error)));
    });
}
