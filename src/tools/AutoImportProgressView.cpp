#include "AutoImportProgressView.h"

#include "AutoImportController.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/SystemColors.h"
#include "ui/ThemeObserver.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString rgba(const QColor& c)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alphaF());
}

ToolProgressPanel::Texts importTexts()
{
    return {QStringLiteral("正在导片"), AutoImportProgressView::completedTitle(),
            QStringLiteral("正在复制素材，请保持软件运行"), QStringLiteral("当前复制："),
            QStringLiteral("可以继续选择下一张存储卡进行导片")};
}

} // namespace

AutoImportProgressView::AutoImportProgressView(AutoImportController* controller, QWidget* parent)
    : ToolProgressPanel(controller, importTexts(), parent)
    , m_import(controller)
{
    auto* warningLabel = m_warningLabel = new ThemedLabel(QString(),
                                         Fonts::system(15, QFont::Medium), &AppTheme::gold, resultBlock());
    warningLabel->setAlignment(Qt::AlignCenter);
    m_warning = new QWidget(resultBlock());
    auto* warningBox = new QHBoxLayout(m_warning);
    warningBox->setContentsMargins(0, 4, 0, 0);
    warningBox->addWidget(warningLabel);
    resultLayout()->insertWidget(0, m_warning);

    m_photos = addResultLine(&AppTheme::textGold);
    m_videos = addResultLine(&AppTheme::textGold);
    m_skipped = addResultLine(primaryAt(0.6));

    m_cancel = new QPushButton(QStringLiteral("取消导入"), this);
    m_cancel->setFont(Fonts::system(14, QFont::Medium));
    m_cancel->setCursor(Qt::PointingHandCursor);
    m_cancel->setFlat(true);
    addBelowResults(m_cancel);
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_import->requestCancel(); });

    applyThemeStyles();
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this,
            &AutoImportProgressView::applyThemeStyles);
    refresh();
}

AutoImportProgressView::Form AutoImportProgressView::form() const
{
    if (!m_import->isCompleted())
        return Form::running;
    if (m_import->isCancelled())
        return Form::cancelled;
    if (m_import->failedCount() > 0)
        return Form::failed;
    return m_import->totalCount() == 0 ? Form::empty : Form::completed;
}

QString AutoImportProgressView::title() const
{
    switch (form()) {
    case Form::cancelled: return QStringLiteral("已取消导入");
    case Form::failed: return QStringLiteral("导片未完成");
    case Form::empty: return QStringLiteral("未找到照片或视频");
    default: return ToolProgressPanel::title();
    }
}

void AutoImportProgressView::applyThemeStyles()
{
    m_cancel->setStyleSheet(QStringLiteral("QPushButton { color: %1; background: %2; border: none;"
                                           " border-radius: 8px; padding: 8px 28px; }")
                                .arg(rgba(AppTheme::background()), rgba(SystemColors::red())));
}

void AutoImportProgressView::refreshResults()
{
    const Form f = form();
    m_warning->setVisible(f == Form::cancelled || f == Form::failed);
    m_warningLabel->setText(f == Form::failed ? QStringLiteral("部分文件未能导入，请勿立刻格式化存储卡")
                                              : QStringLiteral("用户已取消导入，请勿立刻格式化存储卡"));
    m_photos->setText(QStringLiteral("照片：%1张").arg(m_import->photoCount()));
    m_videos->setText(QStringLiteral("视频：%1个").arg(m_import->videoCount()));
    m_skipped->setText(QStringLiteral("跳过重复：%1个").arg(m_import->skipCount()));
    m_cancel->setVisible(f == Form::running);
    setCursor(f == Form::running ? Qt::ArrowCursor : Qt::PointingHandCursor);
}

void AutoImportProgressView::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton && form() != Form::running;
    ToolProgressPanel::mousePressEvent(event);
}

void AutoImportProgressView::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click && form() != Form::running)
        Q_EMIT chooseCardClicked();
    else
        ToolProgressPanel::mouseReleaseEvent(event);
}
