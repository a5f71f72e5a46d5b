// Times the offline recogniser on real speech with the English model in the
// user's model folder: the real-time factor (recognition time over audio
// length, on one core; goal at most 0.3) of goforward.raw and one librivox
// recording, and, with the audio fed at its real pace, the time from the end
// of speech to the final text beyond the quiet the end detection waits for
// (goal at most 300 ms). Prints "name: value" lines.

#include "PocketSphinxEngine.h"
#include "RecordedSpeech.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <sched.h>

namespace {
struct Final {
    std::mutex mutex;
    std::condition_variable arrived;
    QString text;
    bool done = false;
    qint64 at = 0;
};

QString recognise(PocketSphinxEngine& engine, const QByteArray& pcm, const QElapsedTimer& clock, Final& final,
                  bool realPace, qint64* fedAt = nullptr, qsizetype markByte = -1)
{
    QString error;
    engine.begin(QStringLiteral("zh_CN"),
                 [&](const QString& text, bool isFinal) {
                     if (!isFinal)
                         return;
                     std::lock_guard lock(final.mutex);
                     final.text = text;
                     final.done = true;
                     final.at = clock.nsecsElapsed();
                     final.arrived.notify_all();
                 },
                 [&](const QString& message) {
                     std::lock_guard lock(final.mutex);
                     final.text = "error: " + message;
                     final.done = true;
                     final.at = clock.nsecsElapsed();
                     final.arrived.notify_all();
                 },
                 &error);
    const qint64 start = clock.nsecsElapsed();
    for (qsizetype at = 0; at < pcm.size(); at += 2048) {
        if (realPace) {
            // One buffer of 1024 samples every 64 ms, as a microphone gives them.
            const qint64 due = start + qint64(at / 2) * 1000000000 / 16000;
            while (clock.nsecsElapsed() < due)
                QThread::usleep(500);
            {
                std::lock_guard lock(final.mutex);
                if (final.done)
                    break;
            }
        }
        engine.feed(pcm.mid(at, 2048));
        if (fedAt && at <= markByte && markByte < at + 2048)
            *fedAt = clock.nsecsElapsed();
    }
    if (!realPace)
        engine.endAudio();
    std::unique_lock lock(final.mutex);
    final.arrived.wait(lock, [&] { return final.done; });
    return final.text;
}

// The byte where the speech in `pcm` ends: after it, nothing louder than a
// quiet room.
qsizetype speechEnd(const QByteArray& pcm)
{
    const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
    for (qsizetype i = pcm.size() / 2 - 1; i >= 0; --i) {
        if (std::abs(int(s[i])) > 600)
            return (i + 1) * 2;
    }
    return 0;
}
}

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    QCoreApplication app(argc, argv);
    // One core, as the goal is stated.
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    sched_setaffinity(0, sizeof one, &one);

    RecordedSpeech::installEnglishModel(SpeechModel::folders(QStringLiteral("zh_CN")).first());
    PocketSphinxEngine engine{QStringLiteral(TESSARY_SPEECH_CHECK)};
    if (!engine.load(QStringLiteral("zh_CN"))) {
        std::printf("speech_error: %s\n", qPrintable(engine.unavailableReason()));
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    const QByteArray goForward = RecordedSpeech::samples(RecordedSpeech::dataFolder() + "/goforward.raw");
    {
        // The first recognition checks and loads the model.
        Final warm;
        const qint64 t0 = clock.nsecsElapsed();
        recognise(engine, RecordedSpeech::quiet(200), clock, warm, false);
        std::printf("speech_model_load_ms: %.0f\n", (warm.at - t0) / 1e6);
    }

    struct Recording {
        const char* name;
        QString path;
    };
    for (const Recording& r :
         {Recording{"goforward", RecordedSpeech::dataFolder() + "/goforward.raw"},
          Recording{"librivox_0870",
                    RecordedSpeech::dataFolder() + "/librivox/sense_and_sensibility_01_austen_64kb-0870.wav"}}) {
        const QByteArray pcm = RecordedSpeech::samples(r.path);
        Final final;
        const qint64 t0 = clock.nsecsElapsed();
        const QString text = recognise(engine, pcm, clock, final, false);
        const double seconds = pcm.size() / 2 / 16000.0;
        std::printf("speech_text_%s: %s\n", r.name, qPrintable(text));
        std::printf("speech_rtf_%s: %.3f\n", r.name, (final.at - t0) / 1e9 / seconds);
    }

    // Fed at the microphone's pace: the final text comes the quiet after the
    // recogniser's own end of speech (its 0.5 s) and the engine's wait later.
    const QByteArray live = goForward + RecordedSpeech::quiet(4000);
    const qsizetype end = speechEnd(goForward);
    Final final;
    qint64 fedAt = 0;
    const QString text = recognise(engine, live, clock, final, true, &fedAt, end);
    const double waitMs = 500 + PocketSphinxEngine::kEndSilenceMs;
    const double endToFinal = (final.at - fedAt) / 1e6;
    std::printf("speech_text_live: %s\n", qPrintable(text));
    std::printf("speech_end_to_final_ms: %.0f\n", endToFinal);
    std::printf("speech_end_beyond_wait_ms: %.0f\n", endToFinal - waitMs);
    return 0;
}
