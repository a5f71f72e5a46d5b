#include "AutoImportView.h"

#include "AutoImportController.h"
#include "AutoImportIdleView.h"
#include "AutoImportProgressView.h"
#include "FolderDropZone.h"
#include "ToolNotice.h"

#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "ui/LightScrollBar.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QScrollArea>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>

AutoImportView::AutoImportView(QWidget* parent)
    : AutoImportView(&AutoImportController::shared(), parent)
{
}

AutoImportView::AutoImportView(AutoImportController* controller, QWidget* parent)
    : QWidget(parent)
    , m_controller(controller)
{
    // A new screen opens on its idle view, with the destination choice and
    // the daily switch, unless a run is still going on.
    m_controller->forgetCompleted();
    // A window too short for the screen scrolls it rather than cutting it off.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    QScrollArea* scroll = LightScrollBar::makeVerticalScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* page = new QWidget(scroll);
    page->setAutoFillBackground(false);
    m_stack = new QStackedLayout(page);
    m_idle = new AutoImportIdleView(page);
    m_stack->addWidget(m_idle);
    scroll->setWidget(page);
    outer->addWidget(scroll);

    connect(m_idle, &AutoImportIdleView::urlsDropped, this, [this](const QList<QUrl>& urls) {
        Log::line(QStringLiteral("📥 [拖拽] 检测到放下动作"));
        handleDrop(urls);
    });
    connect(m_idle, &AutoImportIdleView::chooseCardClicked, this, &AutoImportView::showFilePicker);
    connect(m_idle, &AutoImportIdleView::chooseRootClicked, this, &AutoImportView::chooseImportRootFolder);
    connect(m_controller, &AutoImportController::stateChanged, this, &AutoImportView::followState);

    NotificationCenter::defaultCenter().addObserver(
        this, QString::fromLatin1(kNotificationName), [this](const QVariant& object) {
            // Posters belong on the main thread; one that is not gets moved there.
            QMetaObject::invokeMethod(this, [this, object] { onNotification(object); }, Qt::AutoConnection);
        });
    followState();
}

bool AutoImportView::isShowingProgress() const
{
    return m_progress && m_stack->currentWidget() == m_progress;
}

// Built with the first run it shows: a screen that opens idle, as at every
// launch, draws its first frame without it.
AutoImportProgressView* AutoImportView::progressView()
{
    if (!m_progress) {
        m_progress = new AutoImportProgressView(m_controller, m_idle->parentWidget());
        m_stack->addWidget(m_progress);
        connect(m_progress, &AutoImportProgressView::urlsDropped, this, &AutoImportView::handleDrop);
        connect(m_progress, &AutoImportProgressView::chooseCardClicked, this, &AutoImportView::showFilePicker);
    }
    return m_progress;
}

void AutoImportView::followState()
{
    const bool progress = m_controller->isProcessing() || m_controller->isCompleted();
    m_stack->setCurrentWidget(progress ? static_cast<QWidget*>(progressView()) : m_idle);
}

void AutoImportView::processFolder(const QString& path)
{
    m_controller->processFolder(path);
}

void AutoImportView::handleDrop(const QList<QUrl>& urls)
{
    Log::line(QStringLiteral("📥 [拖拽] handleDrop 被调用"));
    if (urls.isEmpty())
        return;
    const QString path = m_idle->notice()->folderOf(urls.constFirst(), {QStringLiteral("⚠️ [拖拽] 不是文件夹，已忽略")});
    if (path.isEmpty())
        return;
    Log::line(QStringLiteral("✅ [拖拽] 是文件夹，开始导片"));
    // Started after the drop has been answered, as a separate main-loop step;
    // on the controller, so a screen closed in between does not lose it.
    QTimer::singleShot(0, m_controller, [controller = m_controller, path] { controller->processFolder(path); });
}

void AutoImportView::onNotification(const QVariant& object)
{
    if (object.metaType() != QMetaType::fromType<QUrl>())
        return;
    const QUrl url = object.toUrl();
    if (!url.isLocalFile()) {
        Log::line(QStringLiteral("⚠️ [快捷指令] 传入的不是本地文件夹，已忽略: ") + url.toString());
        return;
    }
    const QString path = QDir::cleanPath(url.toLocalFile());
    Log::line(QStringLiteral("📲 [快捷指令] 收到传入路径: ") + path);
    if (!QFileInfo(path).isDir()) {
        Log::line(QStringLiteral("⚠️ [快捷指令] 传入路径不是文件夹，已忽略: ") + path);
        return;
    }
    processFolder(path);
}

QString AutoImportView::chooseFolder(Purpose purpose)
{
    if (m_chooser)
        return m_chooser(purpose);
    // On the heap and watched: the screen may be closed while the modal loop
    // runs (a navigation from elsewhere), and it takes its children with it.
    QPointer<QFileDialog> dialog = new QFileDialog(this);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    if (purpose == Purpose::card) {
        dialog->setWindowTitle(QStringLiteral("请选择相机存储卡根目录（通常在 /media 下）"));
        dialog->setLabelText(QFileDialog::Accept, QStringLiteral("选择存储卡"));
        const QString media = QStringLiteral("/media/") + qEnvironmentVariable("USER");
        dialog->setDirectory(QFileInfo(media).isDir() ? media : QStringLiteral("/media"));
    } else {
        dialog->setWindowTitle(QStringLiteral("选择照片存放位置（导片后素材会保存到这个文件夹）"));
        dialog->setLabelText(QFileDialog::Accept, QStringLiteral("选择"));
        // Opens where the photos go now.
        const QString root = AutoImportController::importRootPath();
        dialog->setDirectory(QFileInfo(root).isDir() ? root : Paths::desktopDir());
    }
    const int answer = dialog->exec();
    if (!dialog)
        return QString();
    const QStringList chosen = dialog->selectedFiles();
    delete dialog;
    if (answer != QDialog::Accepted || chosen.isEmpty())
        return QString();
    return chosen.constFirst();
}

void AutoImportView::showFilePicker()
{
    Log::line(QStringLiteral("📂 [选择] 弹出文件选择器"));
    // The run belongs to the controller, which outlives a screen closed
    // while the panel was open.
    AutoImportController* controller = m_controller;
    const QString path = chooseFolder(Purpose::card);
    if (path.isEmpty()) {
        Log::line(QStringLiteral("📂 [选择] 用户取消了选择"));
        return;
    }
    Log::line(QStringLiteral("📂 [选择] 用户选择了: ") + path);
    controller->processFolder(path);
}

void AutoImportView::chooseImportRootFolder()
{
    const QString path = chooseFolder(Purpose::destination);
    if (path.isEmpty())
        return;
    AutoImportController::setImportRootPath(path);
    Log::line(QStringLiteral("📁 [导片] 已选择照片存放位置: ") + path);
}
