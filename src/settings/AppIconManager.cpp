#include "AppIconManager.h"

#include "platform/UserDefaults.h"
#include "settings/LauncherIconSync.h"
#include "settings/SettingsKeys.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <optional>

namespace AppIconManager {

namespace {
// Rectangles below are given with the origin at the bottom left (y up), as
// the icon artwork was drawn; this turns one into image coordinates.
QRectF fromBottomLeft(qreal s, qreal x, qreal y, qreal w, qreal h) { return {x * s, s - (y + h) * s, w * s, h * s}; }

QPainterPath plate(qreal s)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, s, s), 0.22 * s, 0.22 * s);
    return path;
}

// First colour along the top edge, second along the bottom.
void fillGradient(QPainter& painter, const QPainterPath& path, const QColor& from, const QColor& to)
{
    QLinearGradient gradient(0, path.boundingRect().top(), 0, path.boundingRect().bottom());
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    painter.fillPath(path, gradient);
}

void drawCameraOutline(QPainter& painter, qreal s, const QColor& color)
{
    const qreal w = 0.035 * s;
    QPen pen(color, w, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
    painter.setBrush(Qt::NoBrush);

    painter.setPen(pen);
    painter.drawRoundedRect(fromBottomLeft(s, 0.40, 0.44, 0.20, 0.13), 0.035 * s, 0.035 * s);

    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.drawRoundedRect(fromBottomLeft(s, 0.16, 0.28, 0.68, 0.46), 0.08 * s, 0.08 * s);

    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawEllipse(fromBottomLeft(s, 0.37, 0.40, 0.26, 0.26));

    pen.setWidthF(0.03 * s);
    painter.setPen(pen);
    painter.drawEllipse(fromBottomLeft(s, 0.435, 0.465, 0.13, 0.13));
}

// The artwork of the classic style, which ships with the application: the
// camera in gold on a graphite plate. The orange and gold styles have no
// artwork of their own and use the drawn fallback.
bool drawArtwork(QPainter& painter, AppIconStyle style, qreal s)
{
    if (style != AppIconStyle::classic)
        return false;
    fillGradient(painter, plate(s), QColor(58, 58, 58), QColor(30, 30, 30));
    drawCameraOutline(painter, s, QColor(0xE9, 0xD3, 0x8D));
    return true;
}
}

AppIconStyle savedStyle()
{
    const QString raw = UserDefaults::standard().string(SettingsKeys::appIconStyle).value_or(QString());
    return AppIconStyles::fromRawValue(raw).value_or(AppIconStyle::classic);
}

namespace {
// The style the running icon shows, so a change of the stored style that did
// not come through apply (a restored backup) still reaches both icons once.
std::optional<AppIconStyle> s_shown;

void show(AppIconStyle style)
{
    s_shown = style;
    QGuiApplication::setWindowIcon(QIcon(QPixmap::fromImage(makeImage(style, 512))));
}
}

void applySaved()
{
    show(savedStyle());
    static const bool watching = [] {
        QObject::connect(&UserDefaults::standard(), &UserDefaults::changed, qApp, [](const QString& key) {
            if (key != QLatin1String(SettingsKeys::appIconStyle.name) || savedStyle() == s_shown)
                return;
            show(savedStyle());
            if (launchpadSyncEnabled())
                LauncherIconSync::request(*s_shown);
        });
        return true;
    }();
    Q_UNUSED(watching);
}

bool launchpadSyncEnabled()
{
    return UserDefaults::standard().value(SettingsKeys::launchpadSync);
}

void apply(AppIconStyle style)
{
    show(style);
    UserDefaults::standard().set(SettingsKeys::appIconStyle, AppIconStyles::rawValue(style));
    if (launchpadSyncEnabled())
        LauncherIconSync::request(style);
}

QImage makeImage(AppIconStyle style, int size)
{
    const int s = qMax(1, size);
    QImage image(s, s, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!drawArtwork(painter, style, s)) {
        const QColor outline = QColor::fromRgbF(1.0f, 1.0f, 1.0f, 0.96f);
        if (style == AppIconStyle::cameraOrange) {
            fillGradient(painter, plate(s), QColor(196, 80, 31), QColor(168, 58, 24));
            drawCameraOutline(painter, s, outline);
        } else if (style == AppIconStyle::cameraGold) {
            fillGradient(painter, plate(s), QColor(245, 204, 77), QColor(224, 163, 46));
            drawCameraOutline(painter, s, outline);
        }
    }
    painter.end();
    return image;
}

}
