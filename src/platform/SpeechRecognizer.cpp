#include "SpeechRecognizer.h"

#include <QMetaObject>
#include <QPointer>

SpeechRecognizer::SpeechRecognizer(const QString& locale, std::unique_ptr<SpeechEngine> engine,
                                   std::unique_ptr<AudioCapture> audio, QObject* parent)
    : QObject(parent)
    , m_locale(locale)
    , m_engine(engine ? std::move(engine) : std::make_unique<NoSpeechEngine>())
    , m_audio(std::move(audio))
{
}

SpeechRecognizer::~SpeechRecognizer() { stop(); }

void SpeechRecognizer::requestAuthorization(std::function<void(SpeechAuthorization)> answer)
{
    QPointer<SpeechRecognizer> self(this);
    m_engine->requestAuthorization([self, answer = std::move(answer)](SpeechAuthorization status) {
        if (!self)
            return;
        QMetaObject::invokeMethod(self, [self, answer, status] {
            if (self)
                answer(status);
        }, Qt::QueuedConnection);
    });
}

bool SpeechRecognizer::isAvailable()
{
    if (!m_loaded) {
        m_loaded = true;
        m_engine->load(m_locale);
    }
    return m_engine->isAvailable();
}

SpeechRecognizer::Start SpeechRecognizer::start(QString* error)
{
    stop();
    if (!m_audio) {
        if (error)
            *error = QStringLiteral("没有可用的音频输入");
        return Start::failed;
    }
    const auto inputs = m_audio->inputDevices(error);
    if (!inputs)
        return Start::failed;
    const auto microphone = AudioCapture::microphone(*inputs);
    if (!microphone) {
        const bool connected = m_audio->soundServiceConnected();
        if (error)
            *error = connected ? QStringLiteral("没有可用的麦克风") : QStringLiteral("未连接到系统声音服务");
        return connected ? Start::noMicrophone : Start::noSoundService;
    }
    // Results of an earlier recognition that arrive late are dropped.
    const quint64 generation = ++m_generation;
    QPointer<SpeechRecognizer> self(this);
    auto onResult = [self, generation](const QString& text, bool isFinal) {
        QMetaObject::invokeMethod(self, [self, generation, text, isFinal] {
            if (self && self->m_generation == generation && self->m_running)
                Q_EMIT self->recognized(text, isFinal);
        }, Qt::QueuedConnection);
    };
    auto onError = [self, generation](const QString& message) {
        QMetaObject::invokeMethod(self, [self, generation, message] {
            if (self && self->m_generation == generation && self->m_running)
                Q_EMIT self->failed(message);
        }, Qt::QueuedConnection);
    };
    if (!m_engine->begin(m_locale, onResult, onError, error))
        return Start::failed;
    SpeechEngine* engine = m_engine.get();
    if (!m_audio->open(*microphone, m_engine->format(), [engine](const QByteArray& pcm) { engine->feed(pcm); },
                       error)) {
        m_engine->cancel();
        return Start::failed;
    }
    m_running = true;
    return Start::started;
}

void SpeechRecognizer::stop()
{
    if (m_audio && m_audio->isOpen())
        m_audio->close();
    if (m_running) {
        m_engine->endAudio();
        m_engine->cancel();
    }
    m_running = false;
    ++m_generation;
}
