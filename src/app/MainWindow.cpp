#include "MainWindow.h"

#include "app/AppKeys.h"
#include "app/ContentView.h"
#include "ftp/FtpServer.h"
#include "ftp/FtpServerController.h"
#include "platform/Log.h"
#include "platform/Product.h"
#include "platform/UserDefaults.h"
#include "tools/AutoImportController.h"
#include "ui/FirstPaint.h"
#include "ui/AppTheme.h"
#include "ui/ThemeObserver.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    const QString product = QString::fromLatin1(Product::kDisplayName);
    setWindowTitle(product);
    m_content = new ContentView(this);
    setCentralWidget(m_content);

    // A Linux window's own menus: 文件 holds Quit, 帮助 holds About.
    QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("文件"));
    m_quit = fileMenu->addAction(QStringLiteral("退出"));
    m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_quit->setShortcutContext(Qt::ApplicationShortcut);
    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("帮助"));
    m_about = helpMenu->addAction(QStringLiteral("关于 ") + product);
    connect(m_about, &QAction::triggered, this, &MainWindow::aboutRequested);
    connect(m_quit, &QAction::triggered, this, [this] {
        if (confirmQuit())
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    });

    // The content is 1100 x 700 by default; the menu bar sits above it.
    resize(1100, 700 + menuBar()->sizeHint().height());
    restoreStoredGeometry();
    connect(qApp, &QCoreApplication::aboutToQuit, this, &MainWindow::storeGeometry);
    applyTheme();
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, &MainWindow::applyTheme);
}

bool MainWindow::confirmQuit()
{
    AutoImportController& import = AutoImportController::shared();
    const bool importing = import.isProcessing();
    if (!importing && !m_content->ftpController()->server()->isReceiving())
        return true;
    const bool quit = m_ask ? m_ask() : [this, importing] {
        QMessageBox box(QMessageBox::Question, windowTitle(),
                        importing ? QStringLiteral("正在导片，确定要退出吗？")
                                  : QStringLiteral("相机正在通过FTP上传文件，退出将中断传输，确定要退出吗？"),
                        QMessageBox::NoButton, this);
        QPushButton* stay =
            box.addButton(importing ? QStringLiteral("继续导片") : QStringLiteral("继续传输"), QMessageBox::RejectRole);
        box.addButton(QStringLiteral("退出"), QMessageBox::AcceptRole);
        box.setDefaultButton(stay);
        box.setEscapeButton(stay);
        box.exec();
        return box.clickedButton() != stay;
    }();
    if (!quit)
        return false;
    // The server removes the partial upload itself as the application ends.
    if (!importing)
        return true;
    // The cut file is removed and the engine logs how many were not copied.
    import.requestCancel(AutoImportController::CancelBy::quit);
    import.waitForWorker();
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (confirmQuit()) {
        storeGeometry();
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    fitStoredPlace();
    if (m_watchingFirstFrame || m_firstFrameShown)
        return;
    m_watchingFirstFrame = true;
    FirstPaint::after(this, this, [this] { announceFirstFrame(); });
    QTimer::singleShot(kFirstFrameWaitMs, this, &MainWindow::announceFirstFrame);
}

void MainWindow::announceFirstFrame()
{
    if (m_firstFrameShown)
        return;
    m_firstFrameShown = true;
    // An X11 window manager tells the frame only once the window is mapped.
    fitStoredPlace();
    // From now on the place is the user's.
    m_fitStoredPlace = false;
    Q_EMIT firstFrameShown();
}

void MainWindow::bringToFront()
{
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainWindow::storeGeometry()
{
    // A window never shown has no place of the user's to keep.
    if (!testAttribute(Qt::WA_WState_ExplicitShowHide))
        return;
    // A maximised window keeps the place it returns to.
    const QRect normal = isMaximized() || isFullScreen() ? normalGeometry() : QRect(pos(), size());
    UserDefaults::standard().set(AppKeys::mainWindowGeometry,
                                 QVariantMap{{"x", normal.x()},
                                             {"y", normal.y()},
                                             {"width", normal.width()},
                                             {"height", normal.height()},
                                             {"maximized", isMaximized()}});
}

void MainWindow::restoreStoredGeometry()
{
    const QVariantMap stored = UserDefaults::standard().dictionary(AppKeys::mainWindowGeometry).value_or(QVariantMap());
    const QRect rect(stored.value("x").toInt(), stored.value("y").toInt(), stored.value("width").toInt(),
                     stored.value("height").toInt());
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    // A place on a screen that is gone (or a size no screen shows) would
    // open the window out of reach: the default place is used instead.
    if (!screenOfTitleBar(rect))
        return;
    resize(rect.size());
    move(rect.topLeft());
    // A place kept from a bigger screen would leave the bottom of the
    // sidebar below this one.
    m_fitStoredPlace = true;
    fitStoredPlace();
    if (stored.value("maximized").toBool())
        setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::fitStoredPlace()
{
    // A maximised window is the window manager's to size; its normal place
    // was fitted before it was maximised.
    if (!m_fitStoredPlace || isMaximized() || isFullScreen())
        return;
    const QRect frame = frameGeometry();
    const QScreen* screen = screenOfTitleBar(frame);
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QMargins margins(geometry().left() - frame.left(), geometry().top() - frame.top(),
                           frame.right() - geometry().right(), frame.bottom() - geometry().bottom());
    const QSize minimum = minimumSize().expandedTo(minimumSizeHint()).grownBy(margins);
    QRect fitted(frame.topLeft(), frame.size().boundedTo(area.size()).expandedTo(minimum));
    // The top left last: a window bigger than the area at its minimum keeps
    // its title bar on the screen.
    fitted.moveRight(qMin(fitted.right(), area.right()));
    fitted.moveBottom(qMin(fitted.bottom(), area.bottom()));
    fitted.moveLeft(qMax(fitted.left(), area.left()));
    fitted.moveTop(qMax(fitted.top(), area.top()));
    if (fitted == frame)
        return;
    resize(fitted.size().shrunkBy(margins));
    move(fitted.topLeft());
}

const QScreen* MainWindow::screenOfTitleBar(const QRect& frame)
{
    // The title bar must be reachable, so its strip has to lie on a screen;
    // of several, the one with the most of it.
    const QRect titleStrip(frame.x(), frame.y(), frame.width(), kReachableStrip);
    const QScreen* best = nullptr;
    int bestWidth = kReachableStrip * 2 - 1;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect shared = screen->availableGeometry().intersected(titleStrip);
        if (shared.height() > 0 && shared.width() > bestWidth) {
            best = screen;
            bestWidth = shared.width();
        }
    }
    return best;
}

void MainWindow::applyTheme()
{
    QPalette p = palette();
    p.setColor(QPalette::Window, AppTheme::background());
    p.setColor(QPalette::WindowText, AppTheme::textPrimary());
    setPalette(p);
    setAutoFillBackground(true);

    QPalette bar = menuBar()->palette();
    bar.setColor(QPalette::Window, AppTheme::topBarBackground());
    bar.setColor(QPalette::Button, AppTheme::topBarBackground());
    bar.setColor(QPalette::ButtonText, AppTheme::textPrimary());
    bar.setColor(QPalette::WindowText, AppTheme::textPrimary());
    bar.setColor(QPalette::Base, AppTheme::cardBackground());
    bar.setColor(QPalette::Text, AppTheme::textPrimary());
    bar.setColor(QPalette::Highlight, AppTheme::menuSelectedBackground());
    bar.setColor(QPalette::HighlightedText, AppTheme::onGoldText());
    menuBar()->setPalette(bar);
    menuBar()->setAutoFillBackground(true);
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        menu->setPalette(bar);
}
