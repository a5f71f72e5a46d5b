#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QPainterPath>
#include <QRawFont>

#include <fontconfig/fontconfig.h>

namespace {
QStringList iconFontFiles()
{
    const QByteArray family = Symbols::fontFamily().toUtf8();
    FcPattern* pattern = FcPatternBuild(nullptr, FC_FAMILY, FcTypeString, family.constData(), nullptr);
    FcObjectSet* fields = FcObjectSetBuild(FC_FILE, nullptr);
    QStringList files;
    if (FcFontSet* found = FcFontList(nullptr, pattern, fields)) {
        for (int i = 0; i < found->nfont; ++i) {
            FcChar8* file = nullptr;
            if (FcPatternGetString(found->fonts[i], FC_FILE, 0, &file) == FcResultMatch)
                files << QString::fromUtf8(reinterpret_cast<const char*>(file));
        }
        FcFontSetDestroy(found);
    }
    FcObjectSetDestroy(fields);
    FcPatternDestroy(pattern);
    return files;
}
}

// Icons are read from the plain TrueType copy of the icon font, never from
// its compressed web copies, and still draw their glyphs.
TEST(IconFontTest, IconsComeFromAnUncompressedFileAndStillDraw)
{
    Fonts::installApplicationFont();
    const QStringList files = iconFontFiles();
    ASSERT_FALSE(files.isEmpty());
    for (const QString& file : files)
        EXPECT_FALSE(file.endsWith(".woff") || file.endsWith(".woff2")) << file.toStdString();

    const QFont font = Symbols::font(17);
    EXPECT_EQ(QFontInfo(font).family(), Symbols::fontFamily());
    const QRawFont raw = QRawFont::fromFont(font);
    const QList<quint32> glyphs = raw.glyphIndexesForString(Symbols::glyph("folder"));
    ASSERT_EQ(glyphs.size(), 1);
    EXPECT_NE(glyphs.first(), 0u);
    EXPECT_FALSE(raw.pathForGlyph(glyphs.first()).isEmpty());
}
