#include "BatchToolsView.h"

#include "ui/AppTheme.h"
#include "ui/ComingSoonBadge.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {
// One fixed card: symbol, title and description on a rounded card fill.
class BatchToolCard : public QWidget
{
public:
    BatchToolCard(const BatchToolsView::Card& card, QWidget* parent)
        : QWidget(parent)
    {
        setObjectName(QStringLiteral("batchToolCard"));
        setFixedSize(BatchToolsView::kCardWidth, BatchToolsView::kCardHeight);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(10, 10, 10, 10);
        layout->setSpacing(12);
        layout->setAlignment(Qt::AlignCenter);
        auto* icon = new ThemedLabel(Symbols::glyph(card.symbol), Symbols::font(36), &AppTheme::gold, this);
        auto* title = new ThemedLabel(card.title, Fonts::system(16, QFont::Medium), &AppTheme::textGold, this);
        auto* desc = new ThemedLabel(card.description, Fonts::system(11),
                                     [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.45); }, this);
        desc->setWordWrap(true);
        for (QLabel* l : {static_cast<QLabel*>(icon), static_cast<QLabel*>(title), static_cast<QLabel*>(desc)}) {
            l->setAlignment(Qt::AlignCenter);
            layout->addWidget(l);
        }
        connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 12, 12);
        painter.fillPath(path, AppTheme::cardBackground());
    }
};
}

QList<BatchToolsView::Card> BatchToolsView::cards()
{
    return {{"arrow.triangle.2.circlepath", "批量转档", "快速转换照片格式与编码"},
            {"arrow.right.doc.on.clipboard", "批量压缩", "批量压缩图片文件大小"},
            {"signature", "批量水印", "支持批量添加图片水印"}};
}

BatchToolsView::BatchToolsView(QWidget* parent)
    : ThemedPanel(&AppTheme::background, parent)
{
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(32, 28, 32, 20);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(new ThemedLabel(QStringLiteral("批量小工具"), Fonts::system(22, QFont::Bold),
                                      &AppTheme::textGold, this));
    titles->addWidget(new ThemedLabel(QStringLiteral("批量处理照片的实用工具集合"), Fonts::system(12),
                                      [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.5); }, this));
    header->addLayout(titles);
    header->addStretch(1);
    header->addWidget(new ComingSoonBadge(this), 0, Qt::AlignVCenter);
    page->addLayout(header);

    page->addStretch(1);
    auto* row = new QHBoxLayout;
    row->setSpacing(kCardSpacing);
    row->addStretch(1);
    for (const Card& card : cards())
        row->addWidget(new BatchToolCard(card, this));
    row->addStretch(1);
    page->addLayout(row);
    page->addStretch(1);
}
