#include "QuickFilterProgressView.h"

#include "QuickFilterController.h"

#include "ui/AppTheme.h"
#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/SystemColors.h"

namespace {

ToolProgressPanel::Texts filterTexts()
{
    return {QStringLiteral("正在分片"), QStringLiteral("分片完成"), QStringLiteral("正在检索匹配文件，请保持软件运行"),
            QStringLiteral("当前处理："), QStringLiteral("可以点击左侧菜单重新设置进行分片"), QStringLiteral("分片未完成")};
}

constexpr int kBackMargin = 20;

}

QuickFilterProgressView::QuickFilterProgressView(QuickFilterController* controller, QWidget* parent)
    : ToolProgressPanel(controller, filterTexts(), parent)
    , m_filter(controller)
{
    addCountLine(&AppTheme::textGold, [c = controller] { return QStringLiteral("已导出：%1个").arg(c->matchCount()); });
    addCountLine(primaryAt(0.6), [c = controller] { return QStringLiteral("跳过重复：%1个").arg(c->skipCount()); });
    m_missingCount = addResultLine(&SystemColors::orange);
    m_missingCount->setObjectName(QStringLiteral("missingCount"));
    m_missingNames = addElidedResultLine(primaryAt(0.6));
    m_missingNames->setObjectName(QStringLiteral("missingNames"));

    PlateButton::Look look;
    look.font = Fonts::system(13, QFont::Medium);
    look.text = &AppTheme::gold;
    look.fill = [] { return AppTheme::withOpacity(AppTheme::gold(), 0.15); };
    look.padding = QMargins(14, 7, 14, 7);
    look.radius = 10;
    look.symbol = QStringLiteral("arrow.left");
    look.symbolSize = 13;
    look.spacing = 5;
    m_back = new PlateButton(QStringLiteral("返回"), look, this);
    m_back->setObjectName(QStringLiteral("backButton"));
    m_back->resize(m_back->sizeHint());
    connect(m_back, &PlateButton::clicked, this, &QuickFilterProgressView::backClicked);
    refresh();
}

QString QuickFilterProgressView::title() const
{
    if (isEnded() && m_filter->outputFailed())
        return QStringLiteral("分片失败");
    // Failed files say more than missing names, so their title comes first.
    if (isEnded() && m_filter->failedCount() == 0 && !m_filter->missing().isEmpty())
        return QStringLiteral("部分名称未找到");
    return ToolProgressPanel::title();
}

bool QuickFilterProgressView::celebrates() const
{
    // A client's list delivered short is no success to celebrate.
    return !m_filter->outputFailed() && m_filter->missing().isEmpty() && ToolProgressPanel::celebrates();
}

void QuickFilterProgressView::refreshResults()
{
    const QStringList& missing = m_filter->missing();
    m_missingCount->setText(QStringLiteral("名单中未找到：%1个").arg(missing.size()));
    QString names = missing.mid(0, kShownMissing).join(QStringLiteral("、"));
    if (missing.size() > kShownMissing)
        names += QStringLiteral(" 等");
    m_missingNames->setText(names);
    m_missingCount->setVisible(!missing.isEmpty());
    m_missingNames->parentWidget()->setVisible(!missing.isEmpty());
}

void QuickFilterProgressView::resizeEvent(QResizeEvent* event)
{
    ToolProgressPanel::resizeEvent(event);
    m_back->move(width() - m_back->width() - kBackMargin, kBackMargin);
    m_back->raise();
}
