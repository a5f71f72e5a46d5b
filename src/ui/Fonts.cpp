#include "Fonts.h"

#include "ui/Symbols.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <fontconfig/fontconfig.h>

namespace Fonts {

namespace {
const QStringList& families()
{
    static const QStringList f{"Noto Sans CJK SC", "Noto Sans SC", "Noto Sans", "DejaVu Sans"};
    return f;
}

// The weight of the face a request for `weight` is drawn with. A weight the
// family has no face for (it ships Regular and Bold) draws as the nearest
// face, and asking for that face itself shares its glyphs with every other
// text of that size instead of opening and filling a font of its own. A tie
// between two faces stays as asked, and so does a bold request that would
// fall to a lighter face: that one is made bold by the renderer.
QFont::Weight faceWeight(QFont::Weight weight)
{
    static const QList<int> faces = [] {
        QList<int> w;
        for (const QString& style : QFontDatabase::styles(families().constFirst()))
            w << QFontDatabase::weight(families().constFirst(), style);
        return w;
    }();
    int nearest = -1;
    bool tie = false;
    for (int face : faces) {
        const int d = qAbs(face - weight);
        if (nearest < 0 || d < qAbs(nearest - weight)) {
            nearest = face;
            tie = false;
        } else if (d == qAbs(nearest - weight) && face != nearest) {
            tie = true;
        }
    }
    if (nearest < 0 || tie || (weight >= QFont::Bold && nearest < QFont::Bold))
        return weight;
    return QFont::Weight(nearest);
}
}

QFont system(qreal pointSize, QFont::Weight weight)
{
    QFont f;
    f.setFamilies(families());
    f.setPixelSize(qMax(1, qRound(pointSize)));
    f.setWeight(faceWeight(weight));
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

namespace {
// Font files the app never draws with are left out of its font list, which
// every font the app opens is matched against:
// - The icon package installs one font three times (TrueType, WOFF, WOFF2),
//   and the last one listed wins: a WOFF, which FreeType inflates in full
//   before the first icon can be drawn. The TrueType copy has the same
//   glyphs as is.
// - Type 1 fonts: PostScript-era copies (the base 35 fonts come twice more
//   beside their OpenType files) whose few Latin, Greek and symbol glyphs
//   the CJK and DejaVu fonts already hold, so they are never a fallback.
// All this as long as the icon font remains.
void leaveOutUnusedFontFiles()
{
    FcConfig* config = FcInitLoadConfig();
    if (!config)
        return;
    const auto rule = reinterpret_cast<const FcChar8*>(
        "<fontconfig><selectfont><rejectfont>"
        "<glob>*/materialdesignicons-webfont.woff</glob><glob>*/materialdesignicons-webfont.woff2</glob>"
        "<glob>*.pfb</glob><glob>*.pfa</glob><glob>*.t1</glob>"
        "</rejectfont></selectfont></fontconfig>");
    bool kept = false;
    if (FcConfigParseAndLoadFromMemory(config, rule, FcFalse) && FcConfigBuildFonts(config)) {
        const QByteArray family = Symbols::fontFamily().toUtf8();
        FcPattern* pattern = FcPatternBuild(nullptr, FC_FAMILY, FcTypeString, family.constData(), nullptr);
        FcObjectSet* fields = FcObjectSetBuild(FC_FILE, nullptr);
        if (FcFontSet* found = FcFontList(config, pattern, fields)) {
            kept = found->nfont > 0;
            FcFontSetDestroy(found);
        }
        FcObjectSetDestroy(fields);
        FcPatternDestroy(pattern);
    }
    // Setting it current takes a reference of its own; without it the
    // default configuration is built as usual on first use.
    if (kept)
        FcConfigSetCurrent(config);
    FcConfigDestroy(config);
}
}

void installApplicationFont()
{
    static const bool preferred = (leaveOutUnusedFontFiles(), true);
    Q_UNUSED(preferred);
    QGuiApplication::setFont(system(13));
}

}
