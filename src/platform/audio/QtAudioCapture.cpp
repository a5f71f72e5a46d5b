#include "platform/PcmConverter.h"
#include "platform/SpeechEngine.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QIODevice>
#include <QMediaDevices>

#include <algorithm>
#include <memory>
#include <optional>

namespace {
std::optional<PcmConverter::Sample> sampleOf(QAudioFormat::SampleFormat format)
{
    switch (format) {
    case QAudioFormat::UInt8: return PcmConverter::Sample::UInt8;
    case QAudioFormat::Int16: return PcmConverter::Sample::Int16;
    case QAudioFormat::Int32: return PcmConverter::Sample::Int32;
    case QAudioFormat::Float: return PcmConverter::Sample::Float;
    default: return std::nullopt;
    }
}

class QtAudioCapture : public AudioCapture
{
public:
    ~QtAudioCapture() override { close(); }

    std::optional<QList<AudioInputDevice>> inputDevices(QString*) override
    {
        QList<AudioInputDevice> inputs;
        for (const QAudioDevice& device : QMediaDevices::audioInputs())
            inputs.append({device.id(), device.description(), device.isDefault()});
        return inputs;
    }

    bool open(const AudioInputDevice& input, const SpeechAudioFormat& format, BufferHandler onBuffer,
              QString* error) override
    {
        close();
        const QList<QAudioDevice> devices = QMediaDevices::audioInputs();
        const auto found = std::find_if(devices.begin(), devices.end(),
                                        [&input](const QAudioDevice& d) { return d.id() == input.id; });
        // Unplugged since it was listed.
        if (found == devices.end()) {
            if (error)
                *error = QStringLiteral("没有可用的麦克风");
            return false;
        }
        const QAudioDevice device = *found;
        QAudioFormat f;
        f.setSampleRate(format.sampleRate);
        f.setChannelCount(format.channels);
        f.setSampleFormat(QAudioFormat::Int16);
        // A device that cannot record at the recogniser's rate records at its
        // own, and the buffers are converted as they arrive.
        std::shared_ptr<PcmConverter> converter;
        if (!device.isFormatSupported(f)) {
            f = device.preferredFormat();
            const auto sample = sampleOf(f.sampleFormat());
            if (!sample || f.sampleRate() <= 0 || f.channelCount() <= 0 || !device.isFormatSupported(f)) {
                if (error)
                    *error = QStringLiteral("麦克风不支持所需的音频格式");
                return false;
            }
            converter = std::make_shared<PcmConverter>(f.sampleRate(), f.channelCount(), *sample, format.sampleRate);
        }
        m_source = std::make_unique<QAudioSource>(device, f);
        m_source->setBufferSize(f.bytesForFrames(1024));
        QIODevice* io = m_source->start();
        if (!io || m_source->error() != QAudio::NoError) {
            if (error)
                *error = QStringLiteral("无法打开麦克风");
            m_source.reset();
            return false;
        }
        QObject::connect(io, &QIODevice::readyRead, io, [io, onBuffer, converter] {
            QByteArray pcm = io->readAll();
            if (converter)
                pcm = converter->convert(pcm);
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
