#pragma once

#include "platform/SpeechEngine.h"
#include "SpeechModel.h"

#include <memory>

// Offline recognition with PocketSphinx over a model folder (SpeechModel).
// The model is checked in a helper process and loaded on the first
// recognition's worker thread; each recognition runs on a worker thread of
// its own that decodes the audio as it is fed and reports partial results,
// then the final one once the speech has ended and `endSilence` of quiet
// followed, or the audio ended.
class PocketSphinxEngine : public SpeechEngine
{
public:
    // `checker`: the model-check program (tessary-speech-check).
    explicit PocketSphinxEngine(const QString& checker);
    ~PocketSphinxEngine() override;

    SpeechAuthorization authorization() const override { return SpeechAuthorization::authorized; }
    void requestAuthorization(std::function<void(SpeechAuthorization)> answer) override
    {
        answer(SpeechAuthorization::authorized);
    }
    bool load(const QString& locale) override;
    bool isAvailable() const override;
    QString unavailableReason() const override;
    SpeechAudioFormat format() const override { return {16000, 1}; }

    bool begin(const QString& locale, ResultHandler onResult, ErrorHandler onError, QString* error) override;
    void feed(const QByteArray& pcm) override;
    void endAudio() override;
    void cancel() override;

    // The quiet after the recogniser's own end of speech that ends a recognition.
    static constexpr int kEndSilenceMs = 1000;
    // Worker threads not yet finished (a cancelled one ends at its next buffer).
    int runningWorkers() const;

    struct Shared;
    struct Session;

private:
    std::shared_ptr<Shared> m_shared;
    std::shared_ptr<Session> m_session;
};
