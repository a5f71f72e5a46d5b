#pragma once

#include "platform/SpeechEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QtEndian>

#include <cstring>

// Real speech from Debian's recogniser test data, and a microphone that
// plays it.
namespace RecordedSpeech {

inline QString dataFolder() { return QStringLiteral("/usr/share/pocketsphinx/test/data"); }
inline QString englishModel() { return QStringLiteral("/usr/share/pocketsphinx/model/en-us"); }

// The 16-bit samples of a headerless recording or of a WAV file's data chunk.
inline QByteArray samples(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith("RIFF"))
        return bytes;
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + at + 4);
        if (bytes.mid(at, 4) == "data")
            return bytes.mid(at + 8, size);
        at += 8 + size + (size & 1);
    }
    return {};
}

// The quiet of a room: low noise rather than digital zeros.
inline QByteArray quiet(int milliseconds, int rate = 16000)
{
    QByteArray out(qsizetype(rate) * milliseconds / 1000 * 2, Qt::Uninitialized);
    quint32 seed = 12345;
    for (qsizetype i = 0; i < out.size(); i += 2) {
        seed = seed * 1103515245u + 12345u;
        qToLittleEndian<qint16>(qint16(int((seed >> 16) % 7) - 3), out.data() + i);
    }
    return out;
}

// Makes the English model the user's model for `tag` (the app's own folder
// for it), file by file as links; the files named in `truncated` are copies
// cut to half their size instead.
inline void installEnglishModel(const QString& userFolder, const QStringList& truncated = {})
{
    const QDir source(englishModel());
    QDir().mkpath(userFolder);
    for (const QString& rel : {QStringLiteral("en-us/README"), QStringLiteral("en-us/feat.params"),
                               QStringLiteral("en-us/mdef"), QStringLiteral("en-us/means"),
                               QStringLiteral("en-us/noisedict"), QStringLiteral("en-us/sendump"),
                               QStringLiteral("en-us/transition_matrices"), QStringLiteral("en-us/variances"),
                               QStringLiteral("en-us.lm.bin"), QStringLiteral("cmudict-en-us.dict")}) {
        const QString from = source.filePath(rel), to = userFolder + QLatin1Char('/') + rel;
        QDir().mkpath(QFileInfo(to).absolutePath());
        if (!truncated.contains(rel)) {
            QFile::link(from, to);
            continue;
        }
        QFile in(from), out(to);
        if (in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly))
            out.write(in.read(in.size() / 2));
    }
}

inline AudioInputDevice builtInMicrophone()
{
    return {"alsa_input.pci-0000_00_1f.3.analog-stereo", QStringLiteral("Built-in Audio Analog Stereo"), true};
}
inline AudioInputDevice speakerMonitor()
{
    return {"alsa_output.pci-0000_00_1f.3.analog-stereo.monitor",
            QStringLiteral("Monitor of Built-in Audio Analog Stereo"), true};
}

// A capture whose inputs are what the test lists: by default one built-in
// microphone; a test unplugs it or leaves only the monitor of the speakers.
class ListedAudioCapture : public AudioCapture
{
public:
    std::optional<QList<AudioInputDevice>> inputDevices(QString*) override { return devices; }
    QList<AudioInputDevice> devices = {builtInMicrophone()};
};

// A microphone that plays a recording (16 kHz mono 16-bit), then the quiet
// of a room, in buffers of 1024 samples: by default a few at a time and
// faster than real time; `realPace`, one every 64 ms as a device gives them.
// Lives on the thread that opens it.
class FileAudioCapture : public ListedAudioCapture
{
public:
    explicit FileAudioCapture(QByteArray pcm, int quietMs = 4000, bool realPace = false)
        : m_pcm(pcm + quiet(quietMs))
    {
        setRealPace(realPace);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    void setRealPace(bool realPace)
    {
        m_buffersPerTick = realPace ? 1 : 2;
        m_timer.setInterval(realPace ? 64 : 4);
    }

    bool open(const AudioInputDevice& device, const SpeechAudioFormat& format, BufferHandler onBuffer,
              QString* error) override
    {
        if (format.sampleRate != 16000 || format.channels != 1 || m_pcm.isEmpty()) {
            if (error)
                *error = QStringLiteral("无法打开麦克风");
            return false;
        }
        opened = device.id;
        m_onBuffer = std::move(onBuffer);
        m_at = 0;
        ++opens;
        m_timer.start();
        return true;
    }
    void close() override { m_timer.stop(); }
    bool isOpen() const override { return m_timer.isActive(); }
    // Bytes delivered by the current opening.
    qsizetype delivered() const { return m_at; }

    int opens = 0;
    // The id of the input last opened.
    QByteArray opened;

private:
    void tick()
    {
        for (int i = 0; i < m_buffersPerTick && m_at < m_pcm.size(); ++i) {
            const QByteArray buffer = m_pcm.mid(m_at, 2048);
            m_at += buffer.size();
            m_onBuffer(buffer);
        }
    }

    QByteArray m_pcm;
    int m_buffersPerTick = 2;
    qsizetype m_at = 0;
    QTimer m_timer;
    BufferHandler m_onBuffer;
};

}
