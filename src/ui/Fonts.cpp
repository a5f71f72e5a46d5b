#include "Fonts.h"

#include "ui/Symbols.h"

#include <QGuiApplication>

#include <fontconfig/fontconfig.h>

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

namespace {
// The icon package installs one font three times (TrueType, WOFF, WOFF2),
// and the last one listed wins: a WOFF, which FreeType inflates in full
// before the first icon can be drawn. The same glyphs come from the
// TrueType file as is, so the compressed copies are left out, as long as a
// plain copy remains.
void preferPlainIconFont()
{
    FcConfig* config = FcInitLoadConfig();
    if (!config)
        return;
    const auto rule = reinterpret_cast<const FcChar8*>(
        "<fontconfig><selectfont><rejectfont>"
        "<glob>*/materialdesignicons-webfont.woff</glob><glob>*/materialdesignicons-webfont.woff2</glob>"
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
    static const bool preferred = (preferPlainIconFont(), true);
    Q_UNUSED(preferred);
    QGuiApplication::setFont(system(13));
}

}
