#include "app/GlobalSearchManager.h"
#include "app/MenuCatalog.h"
#include "app/SearchResultsView.h"
#include "app/TopBarSheets.h"
#include "app/TopBarView.h"
#include "orderbook/OrderManager.h"
#include "orderbook/PackageManager.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/SpeechRecognizer.h"
#include "ui/AppTheme.h"
#include "ui/LightScrollBar.h"
#include "ui/Symbols.h"
#include "ui/ThemeObserver.h"

#include "RecordedSpeech.h"
#include "UserInput.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

namespace {
Order order(const QString& name, const QString& phone, OrderStatus status = OrderStatus::pendingShoot)
{
    Order o = Order::blank();
    o.customerName = name;
    o.phone = phone;
    o.status = status;
    o.shootDate = QDateTime(QDate(2026, 12, 20), QTime(0, 0));
    o.shootTime = QDateTime(QDate(2026, 12, 20), QTime(14, 0));
    return o;
}

QStringList titles(const QList<SearchItem>& items)
{
    QStringList out;
    for (const SearchItem& i : items)
        out << i.title;
    return out;
}

QStringList groupSummary(const QList<SearchGroup>& groups)
{
    QStringList out;
    for (const SearchGroup& g : groups)
        out << QString::number(int(g.category)) + ":" + titles(g.items).join(',');
    return out;
}
}

TEST(GlobalSearchIndex, ListsMenuSettingsFirstFiftyOrdersPackagesViewsAndHelp)
{
    QList<Order> orders;
    for (int i = 0; i < 60; ++i)
        orders << order(QStringLiteral("客户%1").arg(i), i == 0 ? QString() : QStringLiteral("1380000%1").arg(i));
    const QList<Package> packages{Package("儿童写真", 300, 100, false), Package("婚纱", 1999.5, 500, false),
                                  Package("免费", 0, 0, false)};
    const QList<SearchItem> index
        = GlobalSearchManager::buildSearchIndex(MenuCatalog::searchMenu(), orders, packages);

    ASSERT_EQ(index.size(), 5 + 7 + 50 + 3 + 4);
    EXPECT_EQ(titles(index.mid(0, 5)), QStringList({"自动导片", "自动分离", "快速分片", "FTP传输", "档期收入"}));
    EXPECT_EQ(index.at(5).title, "软件设置");
    EXPECT_EQ(index.at(9).action.kind, SearchAction::Kind::openPackageSettings);
    EXPECT_EQ(index.at(12).subtitle, " / 待拍摄");
    EXPECT_EQ(index.at(12).id(), "客户0| / 待拍摄");
    EXPECT_EQ(index.at(12).action, SearchAction::searchOrder("客户0"));
    EXPECT_EQ(index.at(61).title, "客户49");
    EXPECT_EQ(index.at(62).subtitle, "套系 / ¥300.0");
    EXPECT_EQ(index.at(63).subtitle, "套系 / ¥1999.5");
    EXPECT_EQ(index.at(64).subtitle, "套系 / ¥0.0");
    EXPECT_EQ(index.at(65).action, SearchAction::navigateToScheduleView(true));
    EXPECT_EQ(index.at(66).action, SearchAction::navigateToScheduleView(false));
    EXPECT_EQ(index.last().action.kind, SearchAction::Kind::openChangelog);
    EXPECT_FALSE(searchItemCategoryFromRaw(5).has_value());
}

TEST(GlobalSearchIndex, PricesReadAsPlainDecimalsAndEveryIconIsDrawn)
{
    struct Case { double price; QString text; };
    const QList<Case> cases{
        {300, "300.0"}, {1999.5, "1999.5"}, {100000, "100000.0"}, {200000, "200000.0"}, {0.0001, "0.0001"},
        {0, "0.0"}, {0.1 + 0.2, "0.30000000000000004"}, {123456789012, "123456789012.0"},
        {9007199254740993.0, "9007199254740992.0"}, {0.00001, "1e-05"}, {1e20, "1e+20"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GlobalSearchManager::priceText(c.price), c.text) << c.price;
        EXPECT_EQ(GlobalSearchManager::priceText(c.price).toDouble(), c.price) << "reads back the same";
    }
    const QList<SearchItem> index = GlobalSearchManager::buildSearchIndex(
        MenuCatalog::searchMenu(), {order("张三", "1")}, {Package("十万套系", 100000, 0, false)});
    for (const SearchItem& item : index)
        EXPECT_TRUE(Symbols::isKnown(item.icon)) << item.title.toStdString() << ": " << item.icon.toStdString();
}

TEST(GlobalSearchIndex, MatchesTrimmedCaseInsensitiveTitlesAndSubtitlesInCategoryOrder)
{
    const QList<SearchItem> index = GlobalSearchManager::buildSearchIndex(
        MenuCatalog::searchMenu(),
        {order("abc shop", "13912345678"), order("xAbCx", "", OrderStatus::completed)},
        {Package("ABC套系", 100, 0, false)});
    struct Case { QString query; QStringList groups; };
    const QList<Case> cases{
        {"  ", {}},
        {"\n", {}},
        {"zzz", {}},
        {" ABC ", {"2:abc shop,xAbCx,ABC套系"}},
        {"1234", {"2:abc shop"}},
        {"已结清", {"2:xAbCx"}},
        {"ftp", {"0:FTP传输"}},
        {"设置", {"1:软件设置,自动导片设置,快速分片设置,启动默认页面,套系设置,日历同步设置,拍摄提醒设置"}},
        {"档期收入", {"0:档期收入", "1:套系设置,日历同步设置,拍摄提醒设置", "3:日历视图,收入统计视图"}},
        {"日志", {"4:更新日志"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(groupSummary(GlobalSearchManager::performSearch(c.query, index)), c.groups) << c.query.toStdString();
}

TEST(GlobalSearchIndex, HighlightsTheFirstMatchInTheTitlesOwnLetters)
{
    struct Case { QString title, query; qsizetype start, length; };
    const QList<Case> cases{
        {"abc shop", " ABC ", 0, 3},
        {"xAbCx", "abc", 1, 3},
        {"abab", "ab", 0, 2},
        // A letter whose lower case is longer must not shift the match.
        {QStringLiteral("İstanbul ist"), "ist", 9, 3},
    };
    for (const Case& c : cases) {
        const auto range = highlightRange(c.title, c.query);
        ASSERT_TRUE(range) << c.title.toStdString();
        EXPECT_EQ(c.title.mid(range->start, range->length).toLower(), c.query.trimmed().toLower());
        EXPECT_EQ(range->start, c.start) << c.title.toStdString();
    }
    EXPECT_FALSE(highlightRange("abc", "  "));
    EXPECT_FALSE(highlightRange("abc", "x"));
    EXPECT_EQ(SearchResultsView::heightFor(60, 1000), 140);
    EXPECT_EQ(SearchResultsView::heightFor(900, 1000), 600);
    EXPECT_EQ(SearchResultsView::heightFor(900, 100), 140);
}

// A top bar over the shared stores, with sheets recorded instead of shown.
class TopBarTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OrderManager::shared().setOrders({order("张三", "13800000001"), order("张四", "13800000002"),
                                          order("张五", "13800000003")});
        // In a window of the app's size: the result list opens below the bar.
        window.resize(1100, 700);
        bar = new TopBarView(&manager, &window);
        bar->setSheetFactory([this](TopBarView::Sheet sheet, QWidget* parent) {
            sheets << sheet;
            return new QDialog(parent);
        });
        bar->setGeometry(0, 0, 1100, TopBarView::kHeight);
        window.show();
        field()->setFocus();
        QApplication::setActiveWindow(&window);
    }
    QLineEdit* field() { return bar->searchField(); }
    // Five orders whose rows need more than the list's floor.
    static void storeFiveCustomers()
    {
        QList<Order> many;
        for (int i = 0; i < 5; ++i)
            many << order(QStringLiteral("客户%1").arg(i), QStringLiteral("1390000000%1").arg(i));
        OrderManager::shared().setOrders(many);
    }
    void type(const QString& text) { UserInput::type(field(), text); }
    void key(Qt::Key k) { UserInput::key(field(), k); }

    GlobalSearchManager manager;
    QWidget window;
    TopBarView* bar = nullptr;
    QList<TopBarView::Sheet> sheets;
};

TEST_F(TopBarTest, ShowsTheListOnlyForNonBlankQueriesWithAnEmptyState)
{
    type("  ");
    EXPECT_FALSE(bar->showDropdown());
    EXPECT_TRUE(!bar->resultsView() || !bar->resultsView()->isVisible());
    type("没有这个");
    ASSERT_TRUE(bar->resultsView());
    EXPECT_TRUE(bar->resultsView()->isVisible());
    EXPECT_EQ(bar->resultsView()->rowCount(), 0);
    EXPECT_TRUE(bar->resultsView()->findChild<QWidget*>("searchResultsEmpty")->isVisible());
    EXPECT_GE(bar->resultsView()->height(), SearchResultsView::kMinHeight);
}

TEST_F(TopBarTest, ArrowsReturnAndEscapeWorkOnTheFlatList)
{
    type("张");
    ASSERT_EQ(bar->flatSearchResults().size(), 3);
    key(Qt::Key_Return);
    EXPECT_EQ(manager.searchText(), "张") << "return without a chosen row does nothing";
    for (int i = 0; i < 10; ++i)
        key(Qt::Key_Down);
    EXPECT_EQ(bar->selectedSearchIndex(), 2);
    key(Qt::Key_Up);
    key(Qt::Key_Up);
    key(Qt::Key_Up);
    EXPECT_FALSE(bar->selectedSearchIndex());
    key(Qt::Key_Down);
    type("三");
    EXPECT_FALSE(bar->selectedSearchIndex()) << "a further character clears the choice";
    key(Qt::Key_Escape);
    EXPECT_EQ(manager.searchText(), "");
    EXPECT_TRUE(field()->hasFocus());
    EXPECT_FALSE(bar->resultsView()->isVisible());
}

TEST_F(TopBarTest, ChosenResultsClearTheTextThenActAndPlainNamesStayPlain)
{
    QStringList seen;
    QObject observer;
    for (const QString name : {"SearchOrderInSchedule", "NavigateToScheduleView"})
        NotificationCenter::defaultCenter().addObserver(&observer, name, [&, name](const QVariant& object) {
            seen << name + "=" + object.toString() + "/" + manager.searchText();
        });
    type("张四");
    key(Qt::Key_Down);
    key(Qt::Key_Return);
    type("日历视图");
    auto* row = bar->resultsView()->findChild<QAbstractButton*>("searchResultRow");
    ASSERT_TRUE(row);
    UserInput::click(row);
    EXPECT_EQ(seen, QStringList({"SearchOrderInSchedule=张四/", "NavigateToScheduleView=true/"}));
    EXPECT_FALSE(bar->selectedSearchIndex());

    type("更新日志");
    key(Qt::Key_Down);
    key(Qt::Key_Return);
    EXPECT_EQ(sheets, QList<TopBarView::Sheet>({TopBarView::Sheet::changelog}));
    EXPECT_EQ(manager.searchText(), "");
}

// A list read further down starts from its top for the next query, so its
// empty state shows; its scroll bar is the app's overlay one.
TEST_F(TopBarTest, NewResultsStartAtTheTopOfTheThemedList)
{
    storeFiveCustomers();
    type("/");
    SearchResultsView* list = bar->resultsView();
    ASSERT_TRUE(list);
    auto* scroll = list->findChild<QScrollArea*>();
    ASSERT_TRUE(scroll);
    EXPECT_EQ(scroll->verticalScrollBar()->style(), LightScrollBar::overlayStyle());

    struct Case { QString name; std::function<void()> leave; QString next; };
    const QList<Case> cases{
        {"a character that keeps every row", [] {}, " "},
        {"a character that matches nothing", [] {}, "xyz"},
        {"a chosen row",
         [&] {
             key(Qt::Key_Return); // the changelog, the last row
             for (QDialog* d : window.findChildren<QDialog*>())
                 d->close();
         },
         "xyz"},
        {"escape", [&] { key(Qt::Key_Escape); }, "xyz"},
        {"escape, then the same query again", [&] { key(Qt::Key_Escape); }, "/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        manager.setSearchText(QString());
        type("/");
        for (int i = 0; i < bar->flatSearchResults().size(); ++i)
            key(Qt::Key_Down);
        ASSERT_GT(scroll->verticalScrollBar()->value(), 0) << "the last row was scrolled to";
        c.leave();
        type(c.next);
        QTest::qWait(5); // the list lays out its new content
        EXPECT_EQ(scroll->verticalScrollBar()->value(), 0);
        QWidget* first = list->findChild<QWidget*>("searchResultRow");
        if (!first || !first->isVisible())
            first = list->findChild<QWidget*>("searchResultsEmpty");
        ASSERT_TRUE(first && first->isVisible());
        EXPECT_TRUE(UserInput::wholeInView(first)) << "the first row or 未找到相关结果 is in view";
    }
}

// An open list grows to each keystroke's rows instead of keeping its floor.
TEST_F(TopBarTest, AnOpenListGrowsToTheRowsOfTheNextKeystroke)
{
    storeFiveCustomers();
    type("客");
    type("户");
    SearchResultsView* list = bar->resultsView();
    ASSERT_TRUE(list && list->isVisible());
    const QList<QWidget*> rows = list->findChildren<QWidget*>("searchResultRow");
    ASSERT_EQ(rows.size(), 5);
    for (QWidget* row : rows)
        EXPECT_TRUE(UserInput::wholeInView(row)) << "every row shows without scrolling";
}

// The line under the settings sheet's header is gold at 20% over the
// sheet's own colour, in both themes.
TEST(SettingsSheet, DividerIsFaintGoldOverTheSheet)
{
    QWidget window;
    window.resize(1100, 724);
    window.show();
    for (const AppThemeStyle style : {AppThemeStyle::dark, AppThemeStyle::light}) {
        ThemeObserver::shared().setStyle(style);
        std::unique_ptr<QDialog> sheet(TopBarSheets::make(TopBarView::Sheet::settings, &window, {}));
        sheet->setAttribute(Qt::WA_DeleteOnClose, false);
        sheet->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
        auto* divider = sheet->findChild<QWidget*>("settingsSheetDivider");
        ASSERT_TRUE(divider);
        const QImage shot = sheet->grab().toImage();
        const QColor seen = shot.pixelColor(divider->mapTo(sheet.get(), QPoint(divider->width() / 2, 0)));
        const QColor gold = AppTheme::gold(), under = AppTheme::background();
        for (const auto channel : {&QColor::red, &QColor::green, &QColor::blue})
            EXPECT_NEAR((seen.*channel)(), 0.2 * (gold.*channel)() + 0.8 * (under.*channel)(), 2) << int(style);
    }
    ThemeObserver::shared().setStyle(AppThemeStyle::dark);
}

namespace {
// An engine whose authorization, availability, start and results the test sets.
struct Script {
    SpeechAuthorization auth = SpeechAuthorization::authorized;
    SpeechAuthorization answer = SpeechAuthorization::authorized;
    bool available = true;
    bool failBegin = false;
    int begins = 0, cancels = 0;
    SpeechEngine::ResultHandler onResult;
    SpeechEngine::ErrorHandler onError;
    int audioOpen = 0, audioOpens = 0;
    bool failAudio = false;
};

class ScriptedEngine : public SpeechEngine
{
public:
    explicit ScriptedEngine(Script* s) : m_s(s) {}
    SpeechAuthorization authorization() const override { return m_s->auth; }
    void requestAuthorization(std::function<void(SpeechAuthorization)> answer) override { answer(m_s->answer); }
    bool isAvailable() const override { return m_s->available; }
    SpeechAudioFormat format() const override { return {}; }
    bool begin(const QString&, ResultHandler r, ErrorHandler e, QString* error) override
    {
        ++m_s->begins;
        if (m_s->failBegin) {
            *error = "busy";
            return false;
        }
        m_s->onResult = r;
        m_s->onError = e;
        return true;
    }
    void feed(const QByteArray&) override {}
    void endAudio() override {}
    void cancel() override { ++m_s->cancels; }

private:
    Script* m_s;
};

class ScriptedAudio : public RecordedSpeech::ListedAudioCapture
{
public:
    explicit ScriptedAudio(Script* s) : m_s(s) {}
    bool open(const AudioInputDevice&, const SpeechAudioFormat&, BufferHandler, QString* error) override
    {
        if (m_s->failAudio) {
            *error = "no device";
            return false;
        }
        ++m_s->audioOpen;
        ++m_s->audioOpens;
        return true;
    }
    void close() override { --m_s->audioOpen; }
    bool isOpen() const override { return m_s->audioOpen > 0; }

private:
    Script* m_s;
};

struct SpokenSearch : ::testing::Test {
    Script script;
    QStringList log;
    Log::Sink previous;
    GlobalSearchManager manager{[this](QObject* parent) {
        return new SpeechRecognizer("zh_CN", std::make_unique<ScriptedEngine>(&script),
                                    std::make_unique<ScriptedAudio>(&script), parent);
    }};
    void SetUp() override { previous = Log::setSink([this](const QString& l) { log << l; }); }
    void TearDown() override { Log::setSink(previous); }
    void deliver(const QString& text, bool isFinal)
    {
        script.onResult(text, isFinal);
        QCoreApplication::processEvents();
    }
};
}

TEST_F(SpokenSearch, PartialResultsReplaceTheTextAndAFinalOneStops)
{
    manager.setSearchText("typed");
    manager.startRecording();
    ASSERT_TRUE(manager.isRecording());
    deliver("张", false);
    EXPECT_EQ(manager.searchText(), "张");
    deliver("张三", false);
    EXPECT_EQ(manager.searchText(), "张三");
    deliver("张三。", true);
    EXPECT_EQ(manager.searchText(), "张三。");
    EXPECT_FALSE(manager.isRecording());
    EXPECT_EQ(script.audioOpen, 0);
}

TEST_F(SpokenSearch, RefusedOrMissingRecognitionTurnsThePermissionOff)
{
    script.auth = SpeechAuthorization::denied;
    manager.startRecording();
    EXPECT_FALSE(manager.isRecording());
    EXPECT_FALSE(manager.microphonePermissionGranted());
    EXPECT_EQ(log, QStringList({"语音识别权限被拒绝，请在系统设置中开启"}));

    GlobalSearchManager asked{[this](QObject* parent) {
        return new SpeechRecognizer("zh_CN", std::make_unique<ScriptedEngine>(&script),
                                    std::make_unique<ScriptedAudio>(&script), parent);
    }};
    script.auth = SpeechAuthorization::notDetermined;
    script.answer = SpeechAuthorization::denied;
    asked.startRecording();
    QCoreApplication::processEvents();
    EXPECT_FALSE(asked.microphonePermissionGranted());

    GlobalSearchManager none; // the machine's own engine: none installed
    none.startRecording();
    EXPECT_FALSE(none.isRecording());
    EXPECT_FALSE(none.speechAvailable());
    EXPECT_FALSE(none.microphonePermissionGranted()) << "an unusable recognizer turns the permission off";
    EXPECT_EQ(none.speechUnavailableReason(), "本机未安装语音识别引擎");
}

TEST_F(TopBarTest, WithoutASpeechEngineTheMicrophoneSaysSpeechInputIsUnavailable)
{
    auto* mic = bar->findChild<QWidget*>("microphoneButton");
    EXPECT_EQ(mic->toolTip(), "点击语音搜索");
    UserInput::click(mic);
    EXPECT_FALSE(manager.isRecording());
    EXPECT_EQ(mic->toolTip(), "语音输入不可用：本机未安装语音识别引擎");
}

TEST_F(SpokenSearch, FailedStartsAndEngineErrorsLeaveNothingOpenForTheRetry)
{
    script.failAudio = true;
    manager.startRecording();
    EXPECT_FALSE(manager.isRecording());
    EXPECT_EQ(log.last(), "语音识别启动失败: no device");
    EXPECT_EQ(script.cancels, 1) << "the request of the failed start is dropped";

    script.failAudio = false;
    manager.startRecording();
    ASSERT_TRUE(manager.isRecording());
    script.onError("network down");
    QCoreApplication::processEvents();
    EXPECT_FALSE(manager.isRecording());
    EXPECT_EQ(script.audioOpen, 0);

    manager.startRecording();
    EXPECT_TRUE(manager.isRecording());
    EXPECT_EQ(script.audioOpen, 1) << "one microphone tap at a time";
    manager.stopRecording();
    manager.stopRecording();
    EXPECT_EQ(script.audioOpen, 0);
}
