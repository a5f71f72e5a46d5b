#include "FolderDropZone.h"

#include "platform/Log.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemeObserver.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QVBoxLayout>

FolderDropZone::FolderDropZone(QWidget* parent)
    : QWidget(parent)
{
    setAcceptDrops(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void FolderDropZone::addPrompt(const char* symbol, const QString& prompt, const QString& hint)
{
    auto* column = new QVBoxLayout(this);
    column->setSpacing(12);
    column->addStretch();
    auto* icon = new ThemedLabel(Symbols::glyph(symbol), Symbols::font(48), &AppTheme::gold, this);
    icon->setAlignment(Qt::AlignCenter);
    column->addWidget(icon);
    auto* text = new ThemedLabel(prompt, Fonts::system(15), &AppTheme::accentOrange, this);
    text->setAlignment(Qt::AlignCenter);
    column->addWidget(text);
    if (!hint.isEmpty()) {
        auto* faint = new ThemedLabel(hint, Fonts::system(11),
                                      [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.45); }, this);
        faint->setAlignment(Qt::AlignCenter);
        column->addWidget(faint);
    }
    column->addStretch();
}

void FolderDropZone::setDashed(bool dashed)
{
    m_dashed = dashed;
    update();
}

QColor FolderDropZone::fillColor() const
{
    return m_targeted ? AppTheme::withOpacity(AppTheme::gold(), 0.08) : QColor(Qt::transparent);
}

QColor FolderDropZone::borderColor() const
{
    return m_targeted ? AppTheme::gold() : AppTheme::dropZoneBorder();
}

QString FolderDropZone::droppedPath(const QUrl& url, QString* refusal)
{
    if (!url.isLocalFile()) {
        Log::line(QStringLiteral("❌ [拖拽] 加载URL失败: 不是本地文件: ") + url.toString());
        if (refusal)
            *refusal = QStringLiteral("拖入的不是本机上的文件夹");
        return QString();
    }
    const QString path = QDir::cleanPath(url.toLocalFile());
    Log::line(QStringLiteral("📥 [拖拽] 获取到URL: ") + path);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        Log::line(QStringLiteral("❌ [拖拽] 判断文件夹属性失败: 文件不存在"));
        if (refusal)
            *refusal = QStringLiteral("找不到拖入的项目，它可能已被移走");
        return QString();
    }
    return path;
}

bool FolderDropZone::carriesFileUrls(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls())
        return false;
    const QList<QUrl> urls = mime->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); });
}

void FolderDropZone::setTargeted(bool targeted)
{
    if (m_targeted == targeted)
        return;
    m_targeted = targeted;
    update();
    Q_EMIT targetedChanged(targeted);
}

void FolderDropZone::dragEnterEvent(QDragEnterEvent* event)
{
    if (!carriesFileUrls(event->mimeData()))
        return;
    event->acceptProposedAction();
    setTargeted(true);
}

void FolderDropZone::dragLeaveEvent(QDragLeaveEvent*)
{
    setTargeted(false);
}

void FolderDropZone::dropEvent(QDropEvent* event)
{
    setTargeted(false);
    event->acceptProposedAction();
    Q_EMIT urlsDropped(event->mimeData()->urls());
}

void FolderDropZone::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = borderWidth();
    // The border lies inside the edge, so it is inset by half its width.
    const QRectF box = QRectF(rect()).adjusted(w / 2, w / 2, -w / 2, -w / 2);
    p.setBrush(fillColor());
    QPen pen(borderColor(), w);
    if (m_dashed)
        pen.setDashPattern({6 / w, 4 / w}); // 6 on, 4 off, in points
    p.setPen(pen);
    p.drawRoundedRect(box, kCornerRadius - w / 2, kCornerRadius - w / 2);
}
