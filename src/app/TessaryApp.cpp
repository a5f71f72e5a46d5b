#include "TessaryApp.h"

#include "app/AppDelegate.h"
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
    m_window->show();
    QTimer::singleShot(0, m_delegate, &AppDelegate::applicationDidFinishLaunching);
    // Reminders that fell due while the app was closed go out now, once; while
    // local notifications are on, the reminder agent delivers after the app
    // quits. The switch is followed whoever writes it (the schedule settings,
    // a restored backup).
    QTimer::singleShot(0, this, [this] {
        UserNotificationCenter::current();
        const QString key = OrderbookKeys::localNotificationEnabled;
        ReminderAgent::applyAtLaunch(UserDefaults::standard().boolean(key));
        connect(&UserDefaults::standard(), &UserDefaults::changed, this, [key](const QString& changed) {
            if (changed == key)
                ReminderAgent::localNotificationsSwitched(UserDefaults::standard().boolean(key));
        });
    });
    // The calendar sync removes the events of deleted orders and follows the
    // app coming to the front, so it starts with the app.
    QTimer::singleShot(0, this, [] { CalendarSyncManager::shared(); });
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            CalendarSyncManager::shared().applicationDidBecomeActive();
    });
    // Files set aside at start are told once the window is up and the stores
    // queued above have been read.
    QTimer::singleShot(0, m_window, [this] { SetAsideAlert::showIfNeeded(m_window); });
    return QApplication::exec();
}
