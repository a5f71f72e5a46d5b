#pragma once

#include "platform/SpeechEngine.h"

#include <QObject>

#include <memory>

// Live speech recognition over the microphone: the engine hears what the
// audio capture records while a recognition runs. Results and errors arrive
// as signals on the recognizer's thread.
class SpeechRecognizer : public QObject
{
    Q_OBJECT
public:
    SpeechRecognizer(const QString& locale, std::unique_ptr<SpeechEngine> engine,
                     std::unique_ptr<AudioCapture> audio, QObject* parent = nullptr);
    ~SpeechRecognizer() override;

    QString locale() const { return m_locale; }
    SpeechAuthorization authorization() const { return m_engine->authorization(); }
    // The answer is delivered on this object's thread, and not at all once it is gone.
    void requestAuthorization(std::function<void(SpeechAuthorization)> answer);
    // The engine looks for what the locale needs on the first question.
    bool isAvailable();
    QString unavailableReason() const { return m_engine->unavailableReason(); }

    enum class Start { started, noMicrophone, noSoundService, failed };
    // Looks for a microphone, opens it at the engine's format and starts
    // recognising. On failure nothing stays open and `error` says why;
    // noSoundService is a missing microphone that only a restart can find.
    Start start(QString* error);
    // Ends the audio, cancels the recognition and closes the microphone;
    // harmless when nothing runs.
    void stop();
    bool isRunning() const { return m_running; }

Q_SIGNALS:
    void recognized(const QString& text, bool isFinal);
    void failed(const QString& message);

private:
    QString m_locale;
    std::unique_ptr<SpeechEngine> m_engine;
    std::unique_ptr<AudioCapture> m_audio;
    bool m_running = false;
    bool m_loaded = false;
    quint64 m_generation = 0;
};
