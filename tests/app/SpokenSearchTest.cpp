// Spoken search through the window with the real offline recogniser: a
// recording plays where the microphone would be, and the English model sits
// where the user's zh-CN model goes.
#ifdef TESSARY_SPEECH_CHECK

#include "PocketSphinxEngine.h"
#include "RecordedSpeech.h"
#include "app/GlobalSearchManager.h"
#include "app/SearchResultsView.h"
#include "app/TopBarView.h"
#include "orderbook/OrderManager.h"
#include "platform/Log.h"
#include "platform/SpeechRecognizer.h"

#include "TestEnv.h"
#include "UserInput.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QLocalSocket>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>
#include <utility>

namespace {
QString userModelFolder() { return SpeechModel::folders(QStringLiteral("zh_CN")).first(); }

// A device that is there but cannot be opened.
class BrokenMicrophone : public RecordedSpeech::ListedAudioCapture
{
public:
    bool open(const AudioInputDevice&, const SpeechAudioFormat&, BufferHandler, QString* error) override
    {
        *error = QStringLiteral("无法打开麦克风");
        return false;
    }
    void close() override {}
    bool isOpen() const override { return false; }
};

struct SpokenSearchWindow : ::testing::Test {
    void SetUp() override
    {
        QDir(userModelFolder()).removeRecursively();
        previousSink = Log::setSink([this](const QString& line) { log << line; });
        Order o = Order::blank();
        o.customerName = QStringLiteral("go forward ten meters");
        o.phone = QStringLiteral("13800000009");
        o.shootDate = QDateTime(QDate(2026, 12, 20), QTime(0, 0));
        o.shootTime = QDateTime(QDate(2026, 12, 20), QTime(14, 0));
        OrderManager::shared().setOrders({o});
    }
    void TearDown() override
    {
        delete window;
        Log::setSink(previousSink);
        QDir(userModelFolder()).removeRecursively();
    }
    // The window's top bar over a manager whose recogniser is the real engine
    // with `microphone` in place of the device.
    void open(std::function<AudioCapture*()> microphone)
    {
        manager = new GlobalSearchManager([this, microphone](QObject* parent) {
            auto engine = std::make_unique<PocketSphinxEngine>(QStringLiteral(TESSARY_SPEECH_CHECK));
            this->engine = engine.get();
            return new SpeechRecognizer(QStringLiteral("zh_CN"), std::move(engine),
                                        std::unique_ptr<AudioCapture>(microphone()), parent);
        });
        window = new QWidget;
        manager->setParent(window);
        window->resize(1100, 700);
        bar = new TopBarView(manager, window);
        bar->setSheetFactory([](TopBarView::Sheet, QWidget* parent) { return new QDialog(parent); });
        bar->setGeometry(0, 0, 1100, TopBarView::kHeight);
        window->show();
        QApplication::setActiveWindow(window);
        QObject::connect(manager, &GlobalSearchManager::searchTextChanged,
                         [this](const QString& text) { texts << text; });
    }
    QWidget* mic() { return bar->findChild<QWidget*>("microphoneButton"); }
    bool waitForStop(int ms = 120000)
    {
        return QTest::qWaitFor([this] { return !manager->isRecording(); }, ms);
    }

    QWidget* window = nullptr;
    GlobalSearchManager* manager = nullptr;
    TopBarView* bar = nullptr;
    PocketSphinxEngine* engine = nullptr;
    QStringList texts, log;
    Log::Sink previousSink;
};

// A sound server of the test's own on `socket`, with no device at all; it
// ends with the test, or with the test's process.
class SoundServer
{
public:
    explicit SoundServer(const QString& socket)
    {
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_server.start("pulseaudio", {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                                      "--disable-shm=yes", "--log-level=error", "-L",
                                      "module-native-protocol-unix auth-anonymous=1 socket=" + socket});
        m_ready = QTest::qWaitFor([&] {
            QLocalSocket probe;
            probe.connectToServer(socket);
            return probe.waitForConnected(100);
        }, 10000);
    }
    ~SoundServer()
    {
        m_server.terminate();
        if (!m_server.waitForFinished(5000))
            m_server.kill();
        m_server.waitForFinished(5000);
    }
    bool ready() const { return m_ready; }

private:
    QProcess m_server;
    bool m_ready = false;
};

const QByteArray& goForward()
{
    static const QByteArray pcm = RecordedSpeech::samples(RecordedSpeech::dataFolder() + "/goforward.raw");
    return pcm;
}
}

TEST_F(SpokenSearchWindow, SpeechFillsTheSearchAsTypingWouldAndItsEndStopsTheRecording)
{
    RecordedSpeech::installEnglishModel(userModelFolder());
    open([] { return new RecordedSpeech::FileAudioCapture(goForward()); });
    UserInput::type(bar->searchField(), "typed");
    texts.clear();
    UserInput::click(mic());
    EXPECT_TRUE(manager->isRecording());
    EXPECT_EQ(mic()->toolTip(), "点击语音搜索");
    // Nothing but the end of speech stops it: the microphone stays open.
    ASSERT_TRUE(waitForStop());
    EXPECT_EQ(manager->searchText(), "go forward ten meters");
    EXPECT_EQ(bar->searchField()->text(), "go forward ten meters");
    // Partial results replaced the text while the speech went on.
    ASSERT_GE(texts.size(), 2) << texts.join('|').toStdString();
    EXPECT_TRUE(texts.first().startsWith("go")) << texts.join('|').toStdString();
    EXPECT_EQ(texts.last(), "go forward ten meters");
    EXPECT_TRUE(QTest::qWaitFor([this] { return engine->runningWorkers() == 0; }, 10000));
    ASSERT_TRUE(bar->resultsView());
    EXPECT_TRUE(bar->resultsView()->isVisible());
    EXPECT_EQ(bar->resultsView()->rowCount(), 1) << "the order of that name";
    EXPECT_TRUE(manager->microphonePermissionGranted());
}

TEST_F(SpokenSearchWindow, AClickStopsAtOnceKeepingWhatWasHeardAndANewClickStartsAgain)
{
    RecordedSpeech::installEnglishModel(userModelFolder());
    RecordedSpeech::FileAudioCapture* microphone = nullptr;
    open([&] { return microphone = new RecordedSpeech::FileAudioCapture(goForward()); });
    // The first spoken search loads the model.
    UserInput::click(mic());
    ASSERT_TRUE(waitForStop());
    ASSERT_EQ(manager->searchText(), "go forward ten meters");

    // As fast as a person speaks, so the click lands in the middle of the utterance.
    microphone->setRealPace(true);
    texts.clear();
    UserInput::click(mic());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !texts.isEmpty(); }, 60000));
    UserInput::click(mic());
    EXPECT_FALSE(manager->isRecording());
    const QString heard = manager->searchText();
    EXPECT_FALSE(heard.isEmpty());
    EXPECT_LT(microphone->delivered(), goForward().size()) << "stopped before the utterance ended";
    EXPECT_TRUE(QTest::qWaitFor([this] { return engine->runningWorkers() == 0; }, 10000));
    QTest::qWait(200);
    EXPECT_EQ(manager->searchText(), heard) << "nothing arrives after the stop";

    microphone->setRealPace(false);
    UserInput::click(mic());
    EXPECT_TRUE(manager->isRecording());
    ASSERT_TRUE(waitForStop());
    EXPECT_EQ(manager->searchText(), "go forward ten meters");
    EXPECT_EQ(microphone->opens, 3);
}

TEST_F(SpokenSearchWindow, WithoutAModelOrWithADamagedOneTheMicrophoneSaysWhy)
{
    struct Case {
        QStringList truncated;
        bool model;
        QString tooltip;
    };
    const QList<Case> cases = {
        {{}, false, "语音输入不可用：未找到 zh-CN 语音模型，请把模型放到 " + userModelFolder()},
        {{"en-us/means"}, true, "语音输入不可用：语音模型文件无法读取：" + userModelFolder() + "/en-us/means"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tooltip.toStdString());
        QDir(userModelFolder()).removeRecursively();
        if (c.model)
            RecordedSpeech::installEnglishModel(userModelFolder(), c.truncated);
        delete window;
        log.clear();
        open([] { return new RecordedSpeech::FileAudioCapture(goForward()); });
        UserInput::click(mic());
        ASSERT_TRUE(waitForStop());
        EXPECT_FALSE(manager->microphonePermissionGranted());
        EXPECT_FALSE(manager->speechAvailable());
        EXPECT_EQ(mic()->toolTip(), c.tooltip);
        EXPECT_TRUE(log.contains(c.tooltip)) << log.join('\n').toStdString();
        EXPECT_EQ(manager->searchText(), "");
        // It stays so: a model put in place counts from the next launch.
        UserInput::click(mic());
        EXPECT_FALSE(manager->isRecording());
        EXPECT_EQ(mic()->toolTip(), c.tooltip);
    }
}

TEST_F(SpokenSearchWindow, WithoutAMicrophoneTheButtonSaysSoAndOnePluggedInLaterIsUsedOnTheNextClick)
{
    const QString noMicrophone = "语音输入不可用：未找到麦克风，接入麦克风后再点击";
    struct Case {
        const char* name;
        QList<AudioInputDevice> inputs;
    };
    const QList<Case> cases = {
        {"no input at all", {}},
        {"only the monitor of the speakers, as the default input", {RecordedSpeech::speakerMonitor()}},
    };
    RecordedSpeech::installEnglishModel(userModelFolder());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        delete window;
        log.clear();
        RecordedSpeech::FileAudioCapture* microphone = nullptr;
        open([&] {
            microphone = new RecordedSpeech::FileAudioCapture(goForward());
            microphone->devices = c.inputs;
            return microphone;
        });
        UserInput::click(mic());
        EXPECT_FALSE(manager->isRecording());
        EXPECT_EQ(microphone->opens, 0);
        EXPECT_EQ(mic()->toolTip(), noMicrophone);
        EXPECT_EQ(log, QStringList{"语音识别启动失败: 没有可用的麦克风"});
        EXPECT_TRUE(manager->microphonePermissionGranted());
        EXPECT_TRUE(manager->speechAvailable());

        // Plugged in without taking the default from the monitor.
        AudioInputDevice plugged = RecordedSpeech::builtInMicrophone();
        plugged.isDefault = c.inputs.isEmpty();
        microphone->devices.append(plugged);
        UserInput::click(mic());
        EXPECT_TRUE(manager->isRecording());
        EXPECT_EQ(microphone->opened, plugged.id);
        EXPECT_EQ(mic()->toolTip(), "点击语音搜索");
        ASSERT_TRUE(waitForStop());
        EXPECT_EQ(manager->searchText(), "go forward ten meters");
    }
}

TEST_F(SpokenSearchWindow, AMicrophoneThatFailsToOpenLeavesNoRecordingAndNoRequest)
{
    RecordedSpeech::installEnglishModel(userModelFolder());
    open([] { return new BrokenMicrophone; });
    UserInput::click(mic());
    EXPECT_FALSE(manager->isRecording());
    EXPECT_EQ(log.last(), "语音识别启动失败: 无法打开麦克风");
    EXPECT_TRUE(manager->microphonePermissionGranted());
    EXPECT_TRUE(QTest::qWaitFor([this] { return engine->runningWorkers() == 0; }, 60000));
    UserInput::click(mic());
    EXPECT_FALSE(manager->isRecording());
    EXPECT_EQ(log.count("语音识别启动失败: 无法打开麦克风"), 2);
}

// The microphone through the app's audio module and Qt's audio layer, which
// looks for the sound server once per process: each of these tests needs a
// process of its own, as ctest gives every test.
struct SystemMicrophone : SpokenSearchWindow {
    void SetUp() override
    {
        SpokenSearchWindow::SetUp();
        static bool audioLayerAsked = false;
        if (std::exchange(audioLayerAsked, true))
            GTEST_SKIP() << "the sound server was looked for earlier in this process";
        RecordedSpeech::installEnglishModel(userModelFolder());
        // The only place the sound library looks, so no server of the machine's is found.
        qputenv("PULSE_SERVER", "unix:" + socket.toUtf8());
        open([] { return AudioCapture::fromModule(QStringLiteral(TESSARY_AUDIO_MODULE)).release(); });
    }
    const QString socket = TestEnv::root() + "/runtime/sound-server";
};

TEST_F(SystemMicrophone, WithoutASoundServerAtFirstUseTheButtonAsksForARestartEvenOnceOneRuns)
{
    const QString restart = "语音输入不可用：首次使用时系统声音服务未运行，请在声音服务运行后重新启动本应用";
    UserInput::click(mic());
    EXPECT_FALSE(manager->isRecording());
    EXPECT_EQ(UserInput::hover(mic()), restart);
    EXPECT_EQ(log, QStringList{"语音识别启动失败: 未连接到系统声音服务"});

    // The audio layer does not connect to a server that starts later.
    SoundServer server(socket);
    ASSERT_TRUE(server.ready());
    UserInput::click(mic());
    EXPECT_FALSE(manager->isRecording());
    EXPECT_EQ(UserInput::hover(mic()), restart);
}

TEST_F(SystemMicrophone, WithASoundServerButNoMicrophoneTheButtonAsksForOne)
{
    SoundServer server(socket);
    ASSERT_TRUE(server.ready());
    UserInput::click(mic());
    EXPECT_FALSE(manager->isRecording());
    EXPECT_EQ(UserInput::hover(mic()), "语音输入不可用：未找到麦克风，接入麦克风后再点击");
    EXPECT_EQ(log, QStringList{"语音识别启动失败: 没有可用的麦克风"});
}

#endif
