// The offline recogniser on real speech: Debian's test recordings with the
// English model, read through the same model-folder loader the app uses for
// its zh-CN model (the English model is put where the user's zh-CN model
// goes).
#include "platform/SpeechEngine.h"

#include <gtest/gtest.h>

#ifdef TESSARY_SPEECH_CHECK

#include "PocketSphinxEngine.h"
#include "RecordedSpeech.h"
#include "platform/PcmConverter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QTest>

#include <cmath>
#include <mutex>

namespace {
const QString kLocale = QStringLiteral("zh_CN");

QString userModelFolder() { return SpeechModel::folders(kLocale).first(); }

// What one recognition reported, from its worker thread.
struct Heard {
    std::mutex mutex;
    QStringList partials;
    QString final, error;
    bool done = false;

    SpeechEngine::ResultHandler onResult()
    {
        return [this](const QString& text, bool isFinal) {
            std::lock_guard lock(mutex);
            (isFinal ? final : partials.emplaceBack()) = text;
            done = done || isFinal;
        };
    }
    SpeechEngine::ErrorHandler onError()
    {
        return [this](const QString& message) {
            std::lock_guard lock(mutex);
            error = message;
            done = true;
        };
    }
    bool isDone()
    {
        std::lock_guard lock(mutex);
        return done;
    }
};

// Feeds `pcm` in microphone-sized buffers and, when `end`, ends the audio;
// waits for the final result or an error.
void recognise(PocketSphinxEngine& engine, const QByteArray& pcm, Heard& heard, bool end = true)
{
    QString error;
    ASSERT_TRUE(engine.begin(kLocale, heard.onResult(), heard.onError(), &error)) << error.toStdString();
    for (qsizetype at = 0; at < pcm.size(); at += 2048)
        engine.feed(pcm.mid(at, 2048));
    if (end)
        engine.endAudio();
    ASSERT_TRUE(QTest::qWaitFor([&] { return heard.isDone(); }, 120000));
}

QStringList words(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("<s>|</s>|\\([^)]*\\)")));
    return text.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Substitutions, insertions and deletions that turn `said` into `heard`.
int wordErrors(const QStringList& said, const QStringList& heard)
{
    std::vector<int> row(heard.size() + 1);
    for (int j = 0; j <= heard.size(); ++j)
        row[j] = j;
    for (int i = 1; i <= said.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= heard.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (said[i - 1] == heard[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[heard.size()];
}

struct SpeechRecognition : ::testing::Test {
    void SetUp() override { QDir(userModelFolder()).removeRecursively(); }
    void TearDown() override { QDir(userModelFolder()).removeRecursively(); }
    PocketSphinxEngine engine{QStringLiteral(TESSARY_SPEECH_CHECK)};
};
}

TEST_F(SpeechRecognition, HearsGoForwardAndTheLibrivoxRecordingsWithinTheirWordErrorRate)
{
    RecordedSpeech::installEnglishModel(userModelFolder());
    ASSERT_TRUE(engine.load(kLocale)) << engine.unavailableReason().toStdString();

    // A first recognition that heard only a quiet room reports that, and
    // leaves the recogniser as it found it for the next one.
    Heard quietRoom;
    recognise(engine, RecordedSpeech::quiet(200), quietRoom);
    EXPECT_EQ(quietRoom.error, "没有听清");
    EXPECT_EQ(quietRoom.final, "");

    Heard goForward;
    recognise(engine, RecordedSpeech::samples(RecordedSpeech::dataFolder() + "/goforward.raw"), goForward);
    EXPECT_EQ(goForward.error, "");
    EXPECT_EQ(goForward.final, "go forward ten meters");
    EXPECT_FALSE(goForward.partials.isEmpty());

    QFile transcription(RecordedSpeech::dataFolder() + "/librivox/transcription");
    ASSERT_TRUE(transcription.open(QIODevice::ReadOnly));
    int errors = 0, total = 0, recordings = 0;
    for (const QString& line : QString::fromUtf8(transcription.readAll()).split('\n', Qt::SkipEmptyParts)) {
        const QString id = QRegularExpression(QStringLiteral("\\(([^)]+)\\)")).match(line).captured(1);
        Heard heard;
        recognise(engine, RecordedSpeech::samples(RecordedSpeech::dataFolder() + "/librivox/" + id + ".wav"),
                  heard);
        EXPECT_EQ(heard.error, "") << id.toStdString();
        errors += wordErrors(words(line), words(heard.final));
        total += words(line).size();
        ++recordings;
        std::printf("%s: %s\n", qPrintable(id), qPrintable(heard.final));
    }
    EXPECT_EQ(recordings, 5);
    const double rate = double(errors) / std::max(total, 1);
    std::printf("word error rate over the librivox recordings: %.1f%% (%d of %d words)\n", rate * 100, errors,
                total);
    EXPECT_LE(rate, 0.45);
}

TEST_F(SpeechRecognition, TheEndOfSpeechEndsTheRecognitionAndAStoppedOneLetsANewOneStart)
{
    RecordedSpeech::installEnglishModel(userModelFolder());
    ASSERT_TRUE(engine.load(kLocale));
    const QByteArray speech = RecordedSpeech::samples(RecordedSpeech::dataFolder() + "/goforward.raw");

    // Stopped in the middle of the utterance: what was heard was reported,
    // nothing more comes and the worker ends.
    Heard stopped;
    QString error;
    ASSERT_TRUE(engine.begin(kLocale, stopped.onResult(), stopped.onError(), &error));
    engine.feed(speech.left(speech.size() / 2));
    ASSERT_TRUE(QTest::qWaitFor([&] {
        std::lock_guard lock(stopped.mutex);
        return !stopped.partials.isEmpty();
    }, 60000));
    engine.cancel();
    EXPECT_TRUE(QTest::qWaitFor([&] { return engine.runningWorkers() == 0; }, 10000));
    {
        std::lock_guard lock(stopped.mutex);
        EXPECT_FALSE(stopped.done);
        EXPECT_TRUE(QStringLiteral("go forward ten meters").startsWith(stopped.partials.last().left(2)));
    }

    // Quiet alone never ends a recognition: the user may not have begun.
    // Nor does it spoil the next one.
    Heard nothing;
    ASSERT_TRUE(engine.begin(kLocale, nothing.onResult(), nothing.onError(), &error));
    engine.feed(RecordedSpeech::quiet(3000));
    QTest::qWait(300);
    EXPECT_FALSE(nothing.isDone());
    engine.cancel();

    // Not ended by the caller: the speech, then a second and a half of
    // quiet (the recogniser's own end, then the silence that confirms it).
    Heard whole;
    recognise(engine, speech + RecordedSpeech::quiet(2000), whole, false);
    EXPECT_EQ(whole.final, "go forward ten meters");
    EXPECT_TRUE(QTest::qWaitFor([&] { return engine.runningWorkers() == 0; }, 10000));
}

// The recording as a device in another format would give it: resampled to
// `rate` along straight lines, each sample in every one of `channels`.
QByteArray asDevice(const QByteArray& speech, int rate, int channels, PcmConverter::Sample sample)
{
    const int n = int(speech.size() / 2);
    const int m = int(qint64(n) * rate / 16000);
    const int width = sample == PcmConverter::Sample::UInt8 ? 1 : sample == PcmConverter::Sample::Int16 ? 2 : 4;
    QByteArray device(qsizetype(m) * width * channels, Qt::Uninitialized);
    auto at = [&](int i) { return qFromLittleEndian<qint16>(speech.constData() + 2 * std::clamp(i, 0, n - 1)); };
    char* out = device.data();
    for (int k = 0; k < m; ++k) {
        const double t = k * 16000.0 / rate;
        const int i = int(t);
        const double v = (at(i) + (at(i + 1) - at(i)) * (t - i)) / 32768.0;
        for (int c = 0; c < channels; ++c, out += width) {
            switch (sample) {
            case PcmConverter::Sample::UInt8: *out = char(uint8_t(std::lround(v * 127 + 128))); break;
            case PcmConverter::Sample::Int16: qToLittleEndian<qint16>(qint16(std::lround(v * 32767)), out); break;
            case PcmConverter::Sample::Int32: qToLittleEndian<qint32>(qint32(std::lround(v * 2147483647.0)), out); break;
            case PcmConverter::Sample::Float: {
                const float f = float(v);
                std::memcpy(out, &f, 4);
                break;
            }
            }
        }
    }
    return device;
}

// Root mean square of the difference of two 16-bit recordings, against
// that of the first.
double relativeError(const QByteArray& said, const QByteArray& heard)
{
    double diff = 0, power = 0;
    for (qsizetype i = 0; i + 1 < std::min(said.size(), heard.size()); i += 2) {
        const double a = qFromLittleEndian<qint16>(said.constData() + i);
        const double b = qFromLittleEndian<qint16>(heard.constData() + i);
        diff += (a - b) * (a - b);
        power += a * a;
    }
    return std::sqrt(diff / std::max(power, 1.0));
}

TEST_F(SpeechRecognition, AudioInAnotherFormatIsConvertedToTheRecognisersRate)
{
    RecordedSpeech::installEnglishModel(userModelFolder());
    ASSERT_TRUE(engine.load(kLocale));
    const QByteArray speech = RecordedSpeech::samples(RecordedSpeech::dataFolder() + "/goforward.raw");
    // 8 bits make the room's quiet a noise loud enough to be heard as a word.
    struct Row { const char* device; int rate; int channels; PcmConverter::Sample sample; int wordsAmiss; };
    const Row rows[] = {
        {"44.1 kHz stereo float", 44100, 2, PcmConverter::Sample::Float, 0},
        {"48 kHz stereo 32-bit", 48000, 2, PcmConverter::Sample::Int32, 0},
        {"16 kHz 8-bit unsigned", 16000, 1, PcmConverter::Sample::UInt8, 1},
        {"11.025 kHz 16-bit", 11025, 1, PcmConverter::Sample::Int16, 0},
        {"12 kHz stereo 8-bit unsigned", 12000, 2, PcmConverter::Sample::UInt8, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.device);
        const QByteArray device = asDevice(speech, r.rate, r.channels, r.sample);
        PcmConverter converter(r.rate, r.channels, r.sample, 16000);
        QByteArray converted;
        // Buffers that split frames and samples anywhere.
        for (qsizetype i = 0; i < device.size(); i += 4099)
            converted += converter.convert(device.mid(i, 4099));
        EXPECT_NEAR(converted.size() / 2, speech.size() / 2, 4);
        EXPECT_LT(relativeError(speech, converted), 0.25);
        Heard heard;
        recognise(engine, converted, heard);
        EXPECT_EQ(heard.error, "");
        EXPECT_LE(wordErrors(words("go forward ten meters"), words(heard.final)), r.wordsAmiss) << heard.final.toStdString();
    }
}

TEST_F(SpeechRecognition, AMissingOrDamagedModelMakesTheEngineUnavailableAndSaysWhy)
{
    EXPECT_FALSE(engine.load(kLocale));
    EXPECT_FALSE(engine.isAvailable());
    EXPECT_EQ(engine.unavailableReason(), "未找到 zh-CN 语音模型，请把模型放到 " + userModelFolder());
    QString error;
    Heard none;
    EXPECT_FALSE(engine.begin(kLocale, none.onResult(), none.onError(), &error));
    EXPECT_EQ(error, engine.unavailableReason());

    QDir().mkpath(userModelFolder() + "/acoustic");
    PocketSphinxEngine partial{QStringLiteral(TESSARY_SPEECH_CHECK)};
    EXPECT_FALSE(partial.load(kLocale));
    EXPECT_EQ(partial.unavailableReason(), "语音模型 " + userModelFolder() + " 缺少声学模型文件夹（含 mdef）");
    QDir(userModelFolder()).removeRecursively();

    // Damaged files: one the library reports, one it ends the process on,
    // one it crashes on. The model loads (and fails) on the first recognition.
    for (const QString& file : {QStringLiteral("en-us.lm.bin"), QStringLiteral("en-us/transition_matrices"),
                                QStringLiteral("en-us/mdef")}) {
        SCOPED_TRACE(file.toStdString());
        QDir(userModelFolder()).removeRecursively();
        RecordedSpeech::installEnglishModel(userModelFolder(), {file});
        PocketSphinxEngine damaged{QStringLiteral(TESSARY_SPEECH_CHECK)};
        ASSERT_TRUE(damaged.load(kLocale));
        Heard heard;
        recognise(damaged, RecordedSpeech::samples(RecordedSpeech::dataFolder() + "/goforward.raw"), heard);
        EXPECT_EQ(heard.error, "语音模型文件无法读取：" + userModelFolder() + "/" + file);
        EXPECT_EQ(heard.final, "");
        EXPECT_FALSE(damaged.isAvailable());
        EXPECT_EQ(damaged.unavailableReason(), heard.error);
    }

    // Without the model check the engine cannot tell a damaged model from a good one.
    RecordedSpeech::installEnglishModel(userModelFolder());
    PocketSphinxEngine unchecked{QStringLiteral("/nonexistent/tessary-speech-check")};
    ASSERT_TRUE(unchecked.load(kLocale));
    Heard heard;
    recognise(unchecked, RecordedSpeech::quiet(100), heard);
    EXPECT_EQ(heard.error, "缺少语音组件 tessary-speech-check");
}

TEST_F(SpeechRecognition, TheAppsModuleMakesTheEngineAndWithoutItSpeechIsUnavailable)
{
    // Named as the app names it, without the suffix.
    const QString module = QStringLiteral(TESSARY_SPEECH_MODULE).chopped(int(strlen(".so")));
    std::unique_ptr<SpeechEngine> engine = SpeechEngine::fromModule(module);
    EXPECT_FALSE(engine->load(kLocale));
    EXPECT_EQ(engine->unavailableReason(), "未找到 zh-CN 语音模型，请把模型放到 " + userModelFolder());
    EXPECT_EQ(engine->format().sampleRate, 16000);

    std::unique_ptr<SpeechEngine> none = SpeechEngine::fromModule(QDir::tempPath() + "/no-such-module");
    EXPECT_FALSE(none->load(kLocale));
    EXPECT_EQ(none->unavailableReason(), "本机未安装语音识别引擎");
}

#endif

// Which input a spoken search records from needs no recogniser.
TEST(SpeechMicrophone, TheDefaultInputUnlessItOnlyHearsTheSpeakersThenTheFirstMicrophone)
{
    const AudioInputDevice monitor{"alsa_output.pci-0000_00_1f.3.analog-stereo.monitor", "Monitor of Speakers", true};
    const AudioInputDevice builtIn{"alsa_input.pci-0000_00_1f.3.analog-stereo", "Built-in Microphone", false};
    const AudioInputDevice headset{"alsa_input.usb-Headset-00.mono-fallback", "USB Headset", false};
    AudioInputDevice defaultHeadset = headset;
    defaultHeadset.isDefault = true;
    struct Case {
        const char* name;
        QList<AudioInputDevice> inputs;
        QByteArray chosen; // empty: no microphone
    };
    const QList<Case> cases = {
        {"no input", {}, {}},
        {"only a monitor", {monitor}, {}},
        {"a monitor that is not the default", {AudioInputDevice{monitor.id, monitor.description, false}}, {}},
        {"the default is a monitor", {monitor, builtIn, headset}, builtIn.id},
        {"the default is a microphone", {builtIn, defaultHeadset, monitor}, headset.id},
        {"no default", {builtIn, headset}, builtIn.id},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<AudioInputDevice> chosen = AudioCapture::microphone(c.inputs);
        EXPECT_EQ(chosen ? chosen->id : QByteArray(), c.chosen);
    }
}
