#include "PocketSphinxEngine.h"

#include "PocketSphinxConfig.h"

#include <QProcess>
#include <QScopeGuard>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace {
void discardLog(void*, err_lvl_t, const char*, ...) {}

// The recogniser's own log says nothing a user needs; the model check reports
// what failed.
void silenceLog()
{
    static std::once_flag once;
    std::call_once(once, [] {
        err_set_logfp(nullptr);
        err_set_callback(discardLog, nullptr);
    });
}

// Samples decoded at a time: partial results and the end of speech are
// looked at after each.
constexpr int kChunkSamples = 1024;
constexpr int kSampleRate = 16000;

// The model file the check's log shows failing: the one named in its last
// error, else the part the failing code reads, else (a crash) the last file
// it started to read.
QString failedFile(const QString& log, const SpeechModel& model)
{
    const QStringList lines = log.split(QLatin1Char('\n'));
    const QStringList files = model.files();
    auto named = [&files](const QString& line) -> QString {
        for (const QString& f : files) {
            if (line.contains(f))
                return f;
        }
        return {};
    };
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        if (!line->startsWith(QLatin1String("error:")))
            continue;
        if (const QString f = named(*line); !f.isEmpty())
            return f;
        if (line->contains(QLatin1String("ngram")) || line->contains(QLatin1String("Language model")))
            return model.languageModel;
        if (line->contains(QLatin1String("dict")))
            return model.dictionary;
        break;
    }
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        if (const QString f = named(*line); !f.isEmpty())
            return f;
    }
    return {};
}
}

struct PocketSphinxEngine::Session {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<QByteArray> queue;
    bool ended = false;
    bool cancelled = false;
    std::atomic<bool> finished{false};
    ResultHandler onResult;
    ErrorHandler onError;

    bool isCancelled()
    {
        std::lock_guard lock(mutex);
        return cancelled;
    }
};

struct PocketSphinxEngine::Shared {
    QString checker;

    mutable std::mutex state;
    bool looked = false;
    std::optional<SpeechModel> model;
    QString why;

    // One worker at a time decodes; a new recognition waits for the
    // cancelled one to let go.
    std::mutex decoderMutex;
    cmd_ln_t* config = nullptr;
    ps_decoder_t* decoder = nullptr;

    std::mutex workersMutex;
    std::list<std::pair<std::thread, std::shared_ptr<Session>>> workers;

    ~Shared()
    {
        if (decoder)
            ps_free(decoder);
        if (config)
            cmd_ln_free_r(config);
    }

    void fail(const QString& reason)
    {
        std::lock_guard lock(state);
        why = reason;
    }

    // Checks the model in a process of its own, then loads it here.
    bool openDecoder(QString* reason)
    {
        SpeechModel m;
        {
            std::lock_guard lock(state);
            m = *model;
        }
        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(checker, {m.acoustic, m.languageModel, m.dictionary});
        if (!check.waitForStarted(10000)) {
            *reason = QStringLiteral("缺少语音组件 tessary-speech-check");
            return false;
        }
        check.waitForFinished(120000);
        const QString log = QString::fromUtf8(check.readAll());
        if (check.state() != QProcess::NotRunning) {
            check.kill();
            check.waitForFinished(5000);
        }
        if (check.exitStatus() != QProcess::NormalExit || check.exitCode() != 0
            || !log.endsWith(QLatin1String("\nok\n"))) {
            const QString file = failedFile(log, m);
            *reason = file.isEmpty() ? QStringLiteral("语音模型无法加载：%1").arg(m.folder)
                                     : QStringLiteral("语音模型文件无法读取：%1").arg(file);
            return false;
        }
        silenceLog();
        config = pocketSphinxConfig(m.acoustic.toLocal8Bit().constData(), m.languageModel.toLocal8Bit().constData(),
                                    m.dictionary.toLocal8Bit().constData());
        decoder = config ? ps_init(config) : nullptr;
        if (!decoder) {
            *reason = QStringLiteral("语音模型无法加载：%1").arg(m.folder);
            return false;
        }
        return true;
    }

    void reapFinished()
    {
        std::lock_guard lock(workersMutex);
        for (auto it = workers.begin(); it != workers.end();) {
            if (it->second->finished) {
                it->first.join();
                it = workers.erase(it);
            } else {
                ++it;
            }
        }
    }
};

namespace {
void decode(const std::shared_ptr<PocketSphinxEngine::Shared>& shared,
            const std::shared_ptr<PocketSphinxEngine::Session>& s);
}

PocketSphinxEngine::PocketSphinxEngine(const QString& checker)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->checker = checker;
}

PocketSphinxEngine::~PocketSphinxEngine()
{
    cancel();
    std::lock_guard lock(m_shared->workersMutex);
    for (auto& worker : m_shared->workers)
        worker.first.join();
    m_shared->workers.clear();
}

bool PocketSphinxEngine::load(const QString& locale)
{
    std::lock_guard lock(m_shared->state);
    if (!m_shared->looked) {
        m_shared->looked = true;
        m_shared->model = SpeechModel::find(locale, &m_shared->why);
    }
    return m_shared->model && m_shared->why.isEmpty();
}

bool PocketSphinxEngine::isAvailable() const
{
    std::lock_guard lock(m_shared->state);
    return m_shared->model && m_shared->why.isEmpty();
}

QString PocketSphinxEngine::unavailableReason() const
{
    std::lock_guard lock(m_shared->state);
    return m_shared->why;
}

bool PocketSphinxEngine::begin(const QString& locale, ResultHandler onResult, ErrorHandler onError, QString* error)
{
    if (!load(locale)) {
        if (error)
            *error = unavailableReason();
        return false;
    }
    cancel();
    auto session = std::make_shared<Session>();
    session->onResult = std::move(onResult);
    session->onError = std::move(onError);
    m_session = session;
    std::lock_guard lock(m_shared->workersMutex);
    m_shared->workers.emplace_back(std::thread(decode, m_shared, session), session);
    return true;
}

void PocketSphinxEngine::feed(const QByteArray& pcm)
{
    const std::shared_ptr<Session> s = m_session;
    if (!s || pcm.isEmpty())
        return;
    {
        std::lock_guard lock(s->mutex);
        if (s->ended || s->cancelled)
            return;
        s->queue.push_back(pcm);
    }
    s->wake.notify_one();
}

void PocketSphinxEngine::endAudio()
{
    if (const std::shared_ptr<Session> s = m_session) {
        {
            std::lock_guard lock(s->mutex);
            s->ended = true;
        }
        s->wake.notify_one();
    }
}

void PocketSphinxEngine::cancel()
{
    // Not waited for: a worker still loading the model may take seconds,
    // and the next recognition's worker waits for the decoder instead.
    if (const std::shared_ptr<Session> s = std::exchange(m_session, nullptr)) {
        {
            std::lock_guard lock(s->mutex);
            s->cancelled = true;
            s->queue.clear();
        }
        s->wake.notify_one();
    }
    m_shared->reapFinished();
}

int PocketSphinxEngine::runningWorkers() const
{
    std::lock_guard lock(m_shared->workersMutex);
    int running = 0;
    for (const auto& worker : m_shared->workers)
        running += worker.second->finished ? 0 : 1;
    return running;
}

namespace {
void decode(const std::shared_ptr<PocketSphinxEngine::Shared>& shared,
            const std::shared_ptr<PocketSphinxEngine::Session>& s)
{
    auto finished = qScopeGuard([&s] { s->finished = true; });
    std::unique_lock decoderLock(shared->decoderMutex);
    if (s->isCancelled())
        return;
    if (!shared->decoder) {
        QString why;
        {
            std::lock_guard lock(shared->state);
            why = shared->why;
        }
        // A model that failed once is not checked again in this session.
        if (!why.isEmpty() || !shared->openDecoder(&why)) {
            shared->fail(why);
            s->onError(why);
            return;
        }
    }
    ps_decoder_t* ps = shared->decoder;
    // The recogniser carries its estimate of the channel (the cepstral mean)
    // from one recognition to the next; one that heard no words (a quiet
    // room) would skew it for the next speaker, so then the estimate goes back.
    cmn_t* channel = ps_get_feat(ps) ? ps_get_feat(ps)->cmn_struct : nullptr;
    mfcc_t channelBefore[64] = {};
    const bool keepChannel = channel && channel->veclen <= 64;
    if (keepChannel)
        cmn_live_get(channel, channelBefore);
    auto restoreChannel = [&](bool heardWords) {
        if (keepChannel && !heardWords)
            cmn_live_set(channel, channelBefore);
    };
    if (ps_start_utt(ps) < 0) {
        s->onError(QStringLiteral("语音识别无法开始"));
        return;
    }
    const qint64 endSilence = qint64(kSampleRate) * PocketSphinxEngine::kEndSilenceMs / 1000;
    bool heard = false, cancelled = false;
    qint64 quiet = 0;
    std::string last;
    QByteArray pending;
    for (;;) {
        {
            std::unique_lock lock(s->mutex);
            s->wake.wait(lock, [&s] { return s->cancelled || s->ended || !s->queue.empty(); });
            if (s->cancelled) {
                cancelled = true;
                break;
            }
            if (s->queue.empty())
                break; // the audio ended
            pending.append(s->queue.front());
            s->queue.pop_front();
        }
        // Buffers may split a sample; the odd byte waits for the next one.
        qsizetype used = 0;
        bool ended = false;
        while (pending.size() - used >= 2 && !ended) {
            const int samples = int(std::min<qsizetype>((pending.size() - used) / 2, kChunkSamples));
            ps_process_raw(ps, reinterpret_cast<const int16*>(pending.constData() + used), samples, FALSE, FALSE);
            used += qsizetype(samples) * 2;
            const char* hyp = ps_get_hyp(ps, nullptr);
            if (hyp && *hyp && last != hyp) {
                last = hyp;
                s->onResult(QString::fromUtf8(hyp), false);
            }
            // The recogniser's voice detector also fires on the first
            // moments of a quiet room: speech counts once words were heard.
            heard = heard || !last.empty();
            if (ps_get_in_speech(ps))
                quiet = 0;
            else if (heard)
                quiet += samples;
            ended = heard && quiet >= endSilence;
        }
        pending.remove(0, used);
        if (ended || s->isCancelled()) {
            cancelled = !ended;
            break;
        }
    }
    ps_end_utt(ps);
    const char* hyp = ps_get_hyp(ps, nullptr);
    const QString text = QString::fromUtf8(hyp && *hyp ? hyp : last.c_str());
    restoreChannel(!text.isEmpty());
    if (cancelled)
        return;
    if (text.isEmpty())
        s->onError(QStringLiteral("没有听清"));
    else
        s->onResult(text, true);
}
}
