#include "platform/PcmConverter.h"
#include "platform/Product.h"
#include "platform/SpeechEngine.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QDeadlineTimer>
#include <QIODevice>
#include <QMediaDevices>

#include <pulse/context.h>
#include <pulse/mainloop.h>

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

// Whether a sound server (PulseAudio, or PipeWire's stand-in for it)
// answers now, looked for as Qt's audio layer looks, through the same client
// library and settings; one that would only start on demand is not started.
bool soundServerAnswers()
{
    pa_mainloop* loop = pa_mainloop_new();
    if (!loop)
        return false;
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), Product::kSystemName);
    bool ready = false;
    if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        const QDeadlineTimer deadline(2000);
        for (;;) {
            const pa_context_state_t state = pa_context_get_state(context);
            ready = state == PA_CONTEXT_READY;
            if (ready || !PA_CONTEXT_IS_GOOD(state) || deadline.hasExpired())
                break;
            if (pa_mainloop_prepare(loop, int(deadline.remainingTime() * 1000)) < 0 || pa_mainloop_poll(loop) < 0
                || pa_mainloop_dispatch(loop) < 0)
                break;
        }
        pa_context_disconnect(context);
    }
    if (context)
        pa_context_unref(context);
    pa_mainloop_free(loop);
    return ready;
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
        // Qt 6.4's audio layer connects to the sound server at its first
        // question only: when none answered then, it lists no input for the
        // rest of the run. So whether one answers is asked once, right after.
        static const bool connected = soundServerAnswers();
        m_connected = connected;
        return inputs;
    }

    bool soundServiceConnected() const override { return m_connected; }

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
    bool m_connected = true;
};
}

extern "C" Q_DECL_EXPORT AudioCapture* tessaryCreateAudioCapture() { return new QtAudioCapture; }
