#include "AppIconManager.h"

#include "platform/UserDefaults.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace AppIconManager {

AppIconStyle savedStyle()
{
    const QString raw = UserDefaults::standard().string(kStyleKey).value_or(QString());
    return AppIconStyles::fromRawValue(raw).value_or(AppIconStyle::classic);
}

void applySaved()
{
    QGuiApplication::setWindowIcon(QIcon(QPixmap::fromImage(makeImage(savedStyle(), 512))));
}

QImage makeImage(AppIconStyle style, int size)
{
    const int s = qMax(1, size);
    QImage image(s, s, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (style == AppIconStyle::classic)
        return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, s, s), 0.22 * s, 0.22 * s);
    QLinearGradient gradient(0, 0, 0, s);
    if (style == AppIconStyle::cameraOrange) {
        gradient.setColorAt(0, QColor(196, 80, 31));
        gradient.setColorAt(1, QColor(168, 58, 24));
    } else {
        gradient.setColorAt(0, QColor(245, 204, 77));
        gradient.setColorAt(1, QColor(224, 163, 46));
    }
    painter.fillPath(path, gradient);
    return image;
}

}
