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

namespace {
// The Qt Multimedia capture lives in a module beside the app, loaded when the
// microphone is first opened.
class ModuleAudioCapture : public AudioCapture
{
public:
    bool open(const SpeechAudioFormat& format, BufferHandler onBuffer, QString* error) override
    {
        if (!m_capture) {
            QLibrary module(QCoreApplication::applicationDirPath() + QStringLiteral("/tessary-audio"));
            using Create = AudioCapture* (*)();
            const auto create = reinterpret_cast<Create>(module.resolve("tessaryCreateAudioCapture"));
            if (!create) {
                if (error)
                    *error = QStringLiteral("缺少音频组件 tessary-audio，无法打开麦克风");
                return false;
            }
            m_capture.reset(create());
        }
        return m_capture->open(format, std::move(onBuffer), error);
    }

    void close() override
    {
        if (m_capture)
            m_capture->close();
    }

    bool isOpen() const override { return m_capture && m_capture->isOpen(); }

private:
    std::unique_ptr<AudioCapture> m_capture;
};
}

std::unique_ptr<AudioCapture> AudioCapture::createDefault() { return std::make_unique<ModuleAudioCapture>(); }
