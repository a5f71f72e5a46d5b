#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>

#include <fontconfig/fontconfig.h>

namespace {
// The files of the fonts the app is offered, of one family or of all.
QStringList fontFiles(const QString& family = QString())
{
    FcPattern* pattern = FcPatternCreate();
    const QByteArray name = family.toUtf8();
    if (!family.isEmpty())
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.constData()));
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

bool drawsGlyph(const QFont& font, const QString& text)
{
    const QRawFont raw = QRawFont::fromFont(font);
    const QList<quint32> glyphs = raw.glyphIndexesForString(text);
    return !glyphs.isEmpty() && glyphs.first() != 0 && !raw.pathForGlyph(glyphs.first()).isEmpty();
}
}

// Compressed web copies of the icon font and Type 1 copies are never read;
// the icon and text fonts are still there and draw.
TEST(FontFilesTest, UnusedCopiesAreLeftOutAndTheAppsFontsStillDraw)
{
    Fonts::installApplicationFont();
    const QStringList all = fontFiles();
    ASSERT_FALSE(all.isEmpty());
    for (const QString& file : all) {
        for (const char* left : {".woff", ".woff2", ".pfb", ".pfa", ".t1"})
            EXPECT_FALSE(file.endsWith(QLatin1String(left))) << file.toStdString();
    }
    EXPECT_FALSE(fontFiles(Symbols::fontFamily()).isEmpty());

    const QFont icons = Symbols::font(17);
    EXPECT_EQ(QFontInfo(icons).family(), Symbols::fontFamily());
    EXPECT_TRUE(drawsGlyph(icons, Symbols::glyph("folder")));
    const QFont text = Fonts::system(13);
    EXPECT_EQ(QFontInfo(text).family(), "Noto Sans CJK SC");
    EXPECT_TRUE(drawsGlyph(text, QStringLiteral("导")));
}

namespace {
QImage drawn(const QFont& font)
{
    QImage image(200, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("选择存储卡 Ai 12"));
    return image;
}
}

// The CJK font ships Regular and Bold faces: a weight between them asks for
// the face it is drawn with, and draws exactly as it did when asked as is.
TEST(FontFilesTest, AWeightWithoutAFaceAsksForTheFaceItIsDrawnWith)
{
    Fonts::installApplicationFont();
    const QString family = "Noto Sans CJK SC";
    QList<int> faces;
    for (const QString& style : QFontDatabase::styles(family))
        faces << QFontDatabase::weight(family, style);
    std::sort(faces.begin(), faces.end());
    if (faces != QList<int>{QFont::Normal, QFont::Bold})
        GTEST_SKIP() << "the CJK font has other faces here";

    const struct {
        QFont::Weight asked;
        QFont::Weight face;
    } rows[] = {{QFont::Light, QFont::Normal},   {QFont::Normal, QFont::Normal}, {QFont::Medium, QFont::Normal},
                {QFont::DemiBold, QFont::Bold},  {QFont::Bold, QFont::Bold},     {QFont::Black, QFont::Bold}};
    for (const auto& row : rows) {
        const QFont font = Fonts::system(14, row.asked);
        EXPECT_EQ(font.weight(), row.face) << int(row.asked);
        QFont asIs = font;
        asIs.setWeight(row.asked);
        EXPECT_EQ(drawn(font), drawn(asIs)) << int(row.asked);
    }
}
