#include "AboutWindow.h"

#include "platform/Product.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QIcon>
#include <QPainter>

namespace {
constexpr int kWidth = 320;
constexpr int kHeight = 240;
// As first laid out, the icon reached 10 above the top edge and 70 stayed
// empty below the version: the group moves down to 30 above and below.
constexpr int kDrop = 40;

// The labels follow the theme so they read on the window's opaque backdrop.
QColor nameColor() { return AppTheme::isDark() ? QColor(Qt::white) : QColor(Qt::black); }
QColor taglineColor() { return AppTheme::isDark() ? QColor(0xB0, 0xB0, 0xB0) : QColor(0x55, 0x55, 0x55); }
QColor secondaryColor() { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.55); }
}

QRect AboutWindow::flipped(int x, int y, int width, int height)
{
    return {x, kHeight - (y - kDrop) - height, width, height};
}

AboutWindow::AboutWindow(const QString& versionText, const QIcon& icon, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("关于 ") + QString::fromLatin1(Product::kDisplayName));
    setModal(false);
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_QuitOnClose, false);
    // Titled and closable only: without the customize hint the window manager
    // adds its default buttons (minimise, maximise) as well.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    m_icon = new QLabel(this);
    const QRect iconFrame = flipped(110, 150, 100, 100);
    m_icon->setGeometry(iconFrame);
    m_icon->setAlignment(Qt::AlignCenter);
    const int side = qMin(iconFrame.width(), iconFrame.height());
    if (!icon.isNull())
        m_icon->setPixmap(icon.pixmap(QSize(side, side)));

    m_name = new ThemedLabel(QString::fromLatin1(Product::kDisplayName), Fonts::system(18, QFont::Bold), &nameColor, this);
    m_name->setGeometry(flipped(20, 115, 280, 24));
    m_tagline = new ThemedLabel(QStringLiteral("摄影师的最佳搭档"), Fonts::system(11), &taglineColor, this);
    m_tagline->setGeometry(flipped(20, 95, 280, 16));
    m_version = new ThemedLabel(QStringLiteral("版本 ") + versionText, Fonts::system(12), &secondaryColor, this);
    m_version->setGeometry(flipped(20, 70, 280, 18));
    for (QLabel* l : {m_name, m_tagline, m_version}) {
        l->setAlignment(Qt::AlignCenter);
        l->setTextInteractionFlags(Qt::NoTextInteraction);
    }
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void AboutWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), AppTheme::background());
}
