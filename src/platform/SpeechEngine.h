#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// Whether the user lets the app turn speech into text.
enum class SpeechAuthorization { notDetermined, denied, restricted, authorized };

// 16-bit signed little-endian PCM at the engine's rate and channel count.
struct SpeechAudioFormat
{
    int sampleRate = 16000;
    int channels = 1;
};

// An offline speech-to-text engine. The recognizer feeds it microphone audio
// and forwards what it hears; engines report on the thread that feeds them.
class SpeechEngine
{
public:
    using ResultHandler = std::function<void(const QString& text, bool isFinal)>;
    using ErrorHandler = std::function<void(const QString& message)>;

    virtual ~SpeechEngine() = default;

    virtual SpeechAuthorization authorization() const = 0;
    // Asks once; the answer may come later, on any thread.
    virtual void requestAuthorization(std::function<void(SpeechAuthorization)> answer) = 0;
    virtual bool isAvailable() const = 0;
    // Finds what recognising `locale` needs (a quick look; the heavy loading
    // waits for the first recognition). False when the engine cannot.
    virtual bool load(const QString& /*locale*/) { return isAvailable(); }
    // Why the engine is not available, in words for the user.
    virtual QString unavailableReason() const { return {}; }
    virtual SpeechAudioFormat format() const = 0;

    // One recognition at a time: begin, feed*, then endAudio or cancel.
    virtual bool begin(const QString& locale, ResultHandler onResult, ErrorHandler onError, QString* error) = 0;
    virtual void feed(const QByteArray& pcm) = 0;
    virtual void endAudio() = 0;
    virtual void cancel() = 0;

    // The engine of this machine, from the module beside the app; without
    // the module or its library, one that reports itself unavailable.
    static std::unique_ptr<SpeechEngine> createDefault();
    // The engine of the module at `path` (without its suffix), or the
    // unavailable one.
    static std::unique_ptr<SpeechEngine> fromModule(const QString& path);
};

// The engine of a machine without a speech engine.
class NoSpeechEngine : public SpeechEngine
{
public:
    SpeechAuthorization authorization() const override { return SpeechAuthorization::authorized; }
    void requestAuthorization(std::function<void(SpeechAuthorization)> answer) override
    {
        answer(SpeechAuthorization::authorized);
    }
    bool isAvailable() const override { return false; }
    QString unavailableReason() const override { return QStringLiteral("本机未安装语音识别引擎"); }
    SpeechAudioFormat format() const override { return {}; }
    bool begin(const QString&, ResultHandler, ErrorHandler, QString* error) override
    {
        if (error)
            *error = QStringLiteral("未安装语音识别引擎");
        return false;
    }
    void feed(const QByteArray&) override {}
    void endAudio() override {}
    void cancel() override {}
};

// One audio input the system offers, as its sound server names it.
struct AudioInputDevice
{
    QByteArray id;
    QString description;
    bool isDefault = false;

    // The sound server's copy of what an output plays: it hears the
    // speakers, not the user.
    bool isMonitor() const { return id.endsWith(".monitor"); }
};

// The microphone: delivers PCM buffers in the requested format until closed.
class AudioCapture
{
public:
    using BufferHandler = std::function<void(const QByteArray& pcm)>;
    virtual ~AudioCapture() = default;
    // The inputs there are now. Asked before every opening rather than kept,
    // so a microphone plugged in while the app runs is found on the next
    // try. Null when the inputs cannot be listed at all; `error` says why.
    virtual std::optional<QList<AudioInputDevice>> inputDevices(QString* error) = 0;
    virtual bool open(const AudioInputDevice& device, const SpeechAudioFormat& format, BufferHandler onBuffer,
                      QString* error) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // False when no sound service answered as the inputs were first listed:
    // the audio layer does not connect later, so no input appears before the
    // app starts again.
    virtual bool soundServiceConnected() const { return true; }

    // The input to record from: the default one unless it is a monitor,
    // otherwise the first that is not; none when every input is a monitor.
    static std::optional<AudioInputDevice> microphone(const QList<AudioInputDevice>& inputs);

    // The default input device through Qt Multimedia, from the module beside the app.
    static std::unique_ptr<AudioCapture> createDefault();
    // The capture of the module at `path` (without its suffix), loaded when
    // first used.
    static std::unique_ptr<AudioCapture> fromModule(const QString& path);
};
