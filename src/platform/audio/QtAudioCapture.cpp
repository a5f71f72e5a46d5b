#include "platform/SpeechEngine.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QIODevice>
#include <QMediaDevices>

namespace {
class QtAudioCapture : public AudioCapture
{
public:
    ~QtAudioCapture() override { close(); }

    bool open(const SpeechAudioFormat& format, BufferHandler onBuffer, QString* error) override
    {
        close();
        const QAudioDevice device = QMediaDevices::defaultAudioInput();
        if (device.isNull()) {
            if (error)
                *error = QStringLiteral("没有可用的麦克风");
            return false;
        }
        QAudioFormat f;
        f.setSampleRate(format.sampleRate);
        f.setChannelCount(format.channels);
        f.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(f)) {
            if (error)
                *error = QStringLiteral("麦克风不支持所需的音频格式");
            return false;
        }
        m_source = std::make_unique<QAudioSource>(device, f);
        m_source->setBufferSize(1024 * 2 * format.channels);
        QIODevice* io = m_source->start();
        if (!io || m_source->error() != QAudio::NoError) {
            if (error)
                *error = QStringLiteral("无法打开麦克风");
            m_source.reset();
            return false;
        }
        QObject::connect(io, &QIODevice::readyRead, io, [io, onBuffer] {
            const QByteArray pcm = io->readAll();
            if (!pcm.isEmpty())
                onBuffer(pcm);
        });
        return true;
    }

    void close() override
    {
        if (m_source) {
            m_source->stop();
            m_source.reset();
        }
    }

    bool isOpen() const override { return m_source != nullptr; }

private:
    std::unique_ptr<QAudioSource> m_source;
};
}

extern "C" Q_DECL_EXPORT AudioCapture* tessaryCreateAudioCapture() { return new QtAudioCapture; }
