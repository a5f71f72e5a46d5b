#include "AppDelegate.h"

#include "app/AboutWindow.h"
#include "platform/AppVersion.h"
#include "online/RemoteConfig.h"
#include "online/StatsReporter.h"
#include "orderbook/BackupManager.h"
#include "settings/LauncherIconSync.h"
#include "platform/QuitSignals.h"
#include "platform/UserDefaults.h"
#include "settings/AppIconManager.h"
#include "tools/AutoImportController.h"

#include <QApplication>
#include <QScreen>
#include <QSessionManager>

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent)
{
    connect(&UserDefaults::standard(), &UserDefaults::changed, this, [this] { m_savedSinceLastChange = false; });
}

AppDelegate::~AppDelegate() { delete m_aboutWindow; }

void AppDelegate::applicationDidFinishLaunching()
{
    StatsReporter::shared().report(QStringLiteral("app_launch"), QString());
    loadRemoteConfig();
    AppIconManager::applySaved();
}

void AppDelegate::applicationWillTerminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    // A signal or the session ending cancels a card import as its cancel
    // button does: the cut file is removed, the copied ones stay.
    AutoImportController& import = AutoImportController::shared();
    if (import.isProcessing()) {
        import.requestCancel(AutoImportController::CancelBy::quit);
        import.waitForWorker();
    }
    if (!m_savedSinceLastChange)
        BackupManager::shared().performAutoBackupIfEnabled();
    // A queued icon install is dropped; one under way finishes its files.
    LauncherIconSync::shutdown();
}

void AppDelegate::saveBeforeLogout()
{
    if (m_terminated)
        return;
    BackupManager::shared().performAutoBackupIfEnabled();
    m_savedSinceLastChange = true;
}

void AppDelegate::installQuitHooks()
{
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);
    connect(&QuitSignals::install(), &QuitSignals::received, this, &AppDelegate::applicationWillTerminate);
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { saveBeforeLogout(); });
}

void AppDelegate::showCustomAboutPanel()
{
    if (!m_aboutWindow) {
        m_aboutWindow = new AboutWindow(AppVersion::shortVersion(), QApplication::windowIcon());
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = m_aboutWindow->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            m_aboutWindow->move(frame.topLeft());
        }
    }
    m_aboutWindow->show();
    m_aboutWindow->raise();
    m_aboutWindow->activateWindow();
}
