#include "SplitRawJpgView.h"

#include "FolderDropZone.h"
#include "ToolNotice.h"
#include "SplitRawJpgController.h"
#include "ToolProgressPanel.h"

#include "platform/Log.h"
#include "ui/AppTheme.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>

namespace {

ToolProgressPanel::Texts splitTexts()
{
    return {QStringLiteral("正在分离RAW/JPG"), QStringLiteral("处理完成"), QStringLiteral("正在逐张分析照片，请保持软件运行。"),
            QStringLiteral("当前识别："), QStringLiteral("可以继续拖拽新的文件夹进行处理"), QStringLiteral("处理未完成")};
}

}

SplitRawJpgView::SplitRawJpgView(QWidget* parent)
    : SplitRawJpgView(&SplitRawJpgController::shared(), parent)
{
}

SplitRawJpgView::SplitRawJpgView(SplitRawJpgController* controller, QWidget* parent)
    : QWidget(parent)
    , m_controller(controller)
{
    // A new screen opens on its drop area unless a pass is still running.
    m_controller->forgetCompleted();
    m_stack = new QStackedLayout(this);

    m_idle = new QWidget(this);
    auto* column = new QVBoxLayout(m_idle);
    column->setContentsMargins(0, 30, 0, 0);
    column->setSpacing(24);
    column->addStretch();
    auto* row = new QHBoxLayout;
    row->setContentsMargins(40, 0, 40, 0);
    m_dropZone = new FolderDropZone(m_idle);
    m_dropZone->setObjectName(QStringLiteral("splitDropZone"));
    m_dropZone->setFixedHeight(280);
    m_dropZone->setMaximumWidth(FolderDropZone::kMaxWidth);
    m_dropZone->addPrompt("cloud.upload", QStringLiteral("请拖拽文件夹到此处，自动分离RAW/JPG/HEIF"),
                          QStringLiteral("分离后的照片文件就在拖入的文件夹内"));
    QWidget* zoneWithNotice = ToolNotice::under(m_dropZone, &m_notice, m_idle);
    // Capped like the zone and centred by equal stretches: a box wider than
    // its layout's cap would keep the zone at its left edge.
    zoneWithNotice->setMaximumWidth(FolderDropZone::kMaxWidth);
    row->addStretch(1);
    row->addWidget(zoneWithNotice, 1000);
    row->addStretch(1);
    column->addLayout(row);
    column->addStretch();

    m_progress = new ToolProgressPanel(m_controller, splitTexts(), this);
    m_progress->setObjectName(QStringLiteral("splitProgress"));
    m_progress->addCountLine(&AppTheme::textGold,
                             [c = m_controller] { return QStringLiteral("RAW：%1个").arg(c->rawCount()); });
    m_progress->addCountLine(&AppTheme::textGold,
                             [c = m_controller] { return QStringLiteral("JPG/HEIF：%1个").arg(c->jpgCount()); });
    m_progress->addCountLine(ToolProgressPanel::primaryAt(0.6),
                             [c = m_controller] { return QStringLiteral("跳过重复：%1个").arg(c->skipCount()); });
    m_progress->refresh();
    m_stack->addWidget(m_idle);
    m_stack->addWidget(m_progress);

    connect(m_dropZone, &FolderDropZone::urlsDropped, this, [this](const QList<QUrl>& urls) {
        Log::line(QStringLiteral("📥 [拖拽] 检测到放下动作，providers数量: ") + QString::number(urls.size()));
        handleDrop(urls);
    });
    connect(m_progress, &ToolProgressPanel::urlsDropped, this, &SplitRawJpgView::handleDrop);
    connect(m_controller, &ToolRunController::stateChanged, this, &SplitRawJpgView::followState);
    followState();
}

bool SplitRawJpgView::isShowingProgress() const
{
    return m_stack->currentWidget() == m_progress;
}

void SplitRawJpgView::followState()
{
    const bool progress = m_controller->isProcessing() || m_controller->isCompleted();
    m_stack->setCurrentWidget(progress ? m_progress : m_idle);
}

void SplitRawJpgView::handleDrop(const QList<QUrl>& urls)
{
    Log::line(QStringLiteral("📥 [拖拽] handleDrop 被调用"));
    if (urls.isEmpty()) {
        Log::line(QStringLiteral("❌ [拖拽] providers为空，退出"));
        return;
    }
    const QUrl& url = urls.constFirst();
    Log::line(QStringLiteral("📥 [拖拽] provider注册的类型: [\"text/uri-list\"]"));
    Log::line(QStringLiteral("📥 [拖拽] loadObject回调触发"));
    const QString path = m_notice->folderOf(url, {QStringLiteral("📥 [拖拽] 是否为文件夹: false"),
                                                  QStringLiteral("⚠️ [拖拽] 不是文件夹，是单个文件，已忽略")});
    if (path.isEmpty())
        return;
    Log::line(QStringLiteral("📥 [拖拽] 是否为文件夹: true"));
    Log::line(QStringLiteral("✅ [拖拽] 是文件夹，开始处理"));
    // Started after the drop has been answered; on the controller, so a
    // screen closed in between does not lose it.
    QTimer::singleShot(0, m_controller, [c = m_controller, path] { c->processFolder(path); });
}
