#include "QuickFilterProgressView.h"

#include "QuickFilterController.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"

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
    return isEnded() && m_filter->outputFailed() ? QStringLiteral("分片失败") : ToolProgressPanel::title();
}

bool QuickFilterProgressView::celebrates() const
{
    return !m_filter->outputFailed() && ToolProgressPanel::celebrates();
}

void QuickFilterProgressView::resizeEvent(QResizeEvent* event)
{
    ToolProgressPanel::resizeEvent(event);
    m_back->move(width() - m_back->width() - kBackMargin, kBackMargin);
    m_back->raise();
}
