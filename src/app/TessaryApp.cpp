#include "TessaryApp.h"

#include "app/AppDelegate.h"
#include "app/LaunchStyle.h"
#include "app/MainWindow.h"
#include "app/SetAsideAlert.h"
#include "orderbook/CalendarSyncManager.h"
#include "orderbook/OrderbookKeys.h"
#include "platform/ReminderAgent.h"
#include "platform/TimeZoneWatcher.h"
#include "platform/UserDefaults.h"
#include "platform/UserNotificationCenter.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QThreadPool>
#include <QTimer>
#include <QTranslator>

TessaryApp::TessaryApp(QObject* parent)
    : QObject(parent)
    , m_delegate(new AppDelegate(this))
    , m_window(new MainWindow)
{
    connect(m_window, &MainWindow::aboutRequested, m_delegate, &AppDelegate::showCustomAboutPanel);
    // A zone changed by TZ is only seen by looking: look whenever the user
    // comes back to the window.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            TimeZoneWatcher::shared().check();
    });
}

TessaryApp::~TessaryApp() { delete m_window; }

bool TessaryApp::installQtTranslations()
{
    auto* translator = new QTranslator(qApp);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

int TessaryApp::run()
{
    m_delegate->installQuitHooks();
    // Qt's raster engine hands every larger fill to the global thread pool,
    // and the first frame's few shapes would start a thread per core and wait
    // for them: one helper draws those until the frame is up.
    QThreadPool* pool = QThreadPool::globalInstance();
    m_poolThreads = pool->maxThreadCount();
    pool->setMaxThreadCount(1);
    // What the user cannot see yet waits for the window's first frame.
    connect(m_window, &MainWindow::firstFrameShown, this, &TessaryApp::launchAfterFirstFrame,
            Qt::SingleShotConnection);
    m_window->show();
    return QApplication::exec();
}

void TessaryApp::launchAfterFirstFrame()
{
    QThreadPool::globalInstance()->setMaxThreadCount(m_poolThreads);
    LaunchStyle::restoreDeferredIcons(m_window);
    m_delegate->applicationDidFinishLaunching();
    // Reminders that fell due while the app was closed go out now, once; while
    // local notifications are on, the reminder agent delivers after the app
    // quits. The switch is followed whoever writes it (the schedule settings,
    // a restored backup).
    UserNotificationCenter::current();
    const QString key = OrderbookKeys::localNotificationEnabled;
    ReminderAgent::applyAtLaunch(UserDefaults::standard().boolean(key));
    connect(&UserDefaults::standard(), &UserDefaults::changed, this, [key](const QString& changed) {
        if (changed == key)
            ReminderAgent::localNotificationsSwitched(UserDefaults::standard().boolean(key));
    });
    // The calendar sync removes the events of deleted orders and follows the
    // app coming to the front; its own first checks cover a first activation
    // that came before it.
    CalendarSyncManager::shared();
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            CalendarSyncManager::shared().applicationDidBecomeActive();
    });
    // Files set aside at start are told once the window is up and the stores
    // above have been read.
    QTimer::singleShot(0, m_window, [this] { SetAsideAlert::showIfNeeded(m_window); });
}
