#include "SpeechEngine.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

std::unique_ptr<SpeechEngine> SpeechEngine::createDefault()
{
    return fromModule(QCoreApplication::applicationDirPath() + QStringLiteral("/tessary-speech"));
}

std::unique_ptr<SpeechEngine> SpeechEngine::fromModule(const QString& path)
{
    // The recogniser and its libraries load with the module, on the first
    // spoken search; where the library is missing the load fails and speech
    // input reports itself unavailable.
    QLibrary module(path);
    using Create = SpeechEngine* (*)(const QString& helperFolder);
    const auto create = reinterpret_cast<Create>(module.resolve("tessaryCreateSpeechEngine"));
    if (!create)
        return std::make_unique<NoSpeechEngine>();
    return std::unique_ptr<SpeechEngine>(create(QFileInfo(module.fileName()).absolutePath()));
}

std::optional<AudioInputDevice> AudioCapture::microphone(const QList<AudioInputDevice>& inputs)
{
    std::optional<AudioInputDevice> first;
    for (const AudioInputDevice& input : inputs) {
        if (input.isMonitor())
            continue;
        if (input.isDefault)
            return input;
        if (!first)
            first = input;
    }
    return first;
}

namespace {
// The Qt Multimedia capture lives in a module beside the app, loaded when the
// microphone is first looked for.
class ModuleAudioCapture : public AudioCapture
{
public:
    explicit ModuleAudioCapture(QString path)
        : m_path(std::move(path))
    {
    }

    std::optional<QList<AudioInputDevice>> inputDevices(QString* error) override
    {
        if (!load(error))
            return std::nullopt;
        return m_capture->inputDevices(error);
    }

    bool open(const AudioInputDevice& device, const SpeechAudioFormat& format, BufferHandler onBuffer,
              QString* error) override
    {
        return load(error) && m_capture->open(device, format, std::move(onBuffer), error);
    }

    void close() override
    {
        if (m_capture)
            m_capture->close();
    }

    bool isOpen() const override { return m_capture && m_capture->isOpen(); }
    bool soundServiceConnected() const override { return !m_capture || m_capture->soundServiceConnected(); }

private:
    bool load(QString* error)
    {
        if (m_capture)
            return true;
        QLibrary module(m_path);
        using Create = AudioCapture* (*)();
        const auto create = reinterpret_cast<Create>(module.resolve("tessaryCreateAudioCapture"));
        if (!create) {
            if (error)
                *error = QStringLiteral("缺少音频组件 tessary-audio，无法打开麦克风");
            return false;
        }
        m_capture.reset(create());
        return true;
    }

    QString m_path;
    std::unique_ptr<AudioCapture> m_capture;
};
}

std::unique_ptr<AudioCapture> AudioCapture::createDefault()
{
    return fromModule(QCoreApplication::applicationDirPath() + QStringLiteral("/tessary-audio"));
}

std::unique_ptr<AudioCapture> AudioCapture::fromModule(const QString& path)
{
    return std::make_unique<ModuleAudioCapture>(path);
}
