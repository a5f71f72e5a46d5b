#include "Fonts.h"

#include <QGuiApplication>

namespace Fonts {

namespace {
const QStringList& families()
{
    static const QStringList f{"Noto Sans CJK SC", "Noto Sans SC", "Noto Sans", "DejaVu Sans"};
    return f;
}
}

QFont system(qreal pointSize, QFont::Weight weight)
{
    QFont f;
    f.setFamilies(families());
    f.setPixelSize(qMax(1, qRound(pointSize)));
    f.setWeight(weight);
    return f;
}

QFont monospaced(qreal pointSize, QFont::Weight weight)
{
    QFont f;
    f.setFamilies({"Noto Sans Mono CJK SC", "DejaVu Sans Mono", "Monospace"});
    f.setStyleHint(QFont::Monospace);
    f.setPixelSize(qMax(1, qRound(pointSize)));
    f.setWeight(weight);
    return f;
}

void installApplicationFont()
{
    QGuiApplication::setFont(system(13));
}

}
