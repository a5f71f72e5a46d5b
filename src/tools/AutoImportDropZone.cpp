#include "AutoImportDropZone.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemeObserver.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>
#include <QVBoxLayout>

AutoImportDropZone::AutoImportDropZone(QWidget* parent)
    : QWidget(parent)
{
    setAcceptDrops(true);
    setFixedHeight(kHeight);
    setMaximumWidth(kMaxWidth);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(12);
    column->addStretch();
    auto* icon = new ThemedLabel(Symbols::glyph("tray.and.arrow.down"), Symbols::font(48), &AppTheme::gold, this);
    icon->setAlignment(Qt::AlignCenter);
    column->addWidget(icon);
    auto* prompt = new ThemedLabel(QStringLiteral("选择/拖拽相机存储卡进行自动导片"), Fonts::system(15),
                                   &AppTheme::accentOrange, this);
    prompt->setAlignment(Qt::AlignCenter);
    column->addWidget(prompt);
    column->addStretch();
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

QColor AutoImportDropZone::fillColor() const
{
    return m_targeted ? AppTheme::withOpacity(AppTheme::gold(), 0.08) : QColor(Qt::transparent);
}

QColor AutoImportDropZone::borderColor() const
{
    return m_targeted ? AppTheme::gold() : AppTheme::dropZoneBorder();
}

bool AutoImportDropZone::carriesFileUrls(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls())
        return false;
    const QList<QUrl> urls = mime->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); });
}

void AutoImportDropZone::setTargeted(bool targeted)
{
    if (m_targeted == targeted)
        return;
    m_targeted = targeted;
    update();
}

void AutoImportDropZone::dragEnterEvent(QDragEnterEvent* event)
{
    if (!carriesFileUrls(event->mimeData()))
        return;
    event->acceptProposedAction();
    setTargeted(true);
}

void AutoImportDropZone::dragLeaveEvent(QDragLeaveEvent*)
{
    setTargeted(false);
}

void AutoImportDropZone::dropEvent(QDropEvent* event)
{
    setTargeted(false);
    event->acceptProposedAction();
    Q_EMIT urlsDropped(event->mimeData()->urls());
}

void AutoImportDropZone::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = borderWidth();
    // The border lies inside the edge, so it is inset by half its width.
    const QRectF box = QRectF(rect()).adjusted(w / 2, w / 2, -w / 2, -w / 2);
    p.setBrush(fillColor());
    p.setPen(QPen(borderColor(), w));
    p.drawRoundedRect(box, kCornerRadius - w / 2, kCornerRadius - w / 2);
}
