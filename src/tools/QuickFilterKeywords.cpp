#include "QuickFilterKeywords.h"

#include "SplitRawJpgEngine.h"
#include "AutoImportEngine.h"

#include <algorithm>

namespace QuickFilterKeywords {

QString halfWidth(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)
            c = QChar(char16_t(u - 0xFEE0));
        else if (u == 0x3000)
            c = QLatin1Char(' ');
    }
    return out;
}

QSet<QString> parse(const QString& text)
{
    // A Chinese keyboard in full-width mode types "ＩＭＧ＿００２１" and "．"
    // for what the camera names IMG_0021 and "."; "、" and "。" have no
    // ASCII form and stay separators of their own.
    QString unified = halfWidth(text);
    for (const QChar c : {QChar(0x3001), QChar(0x3002), QChar(u'.')})
        unified.replace(c, QLatin1Char(','));
    QSet<QString> keywords;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= unified.size(); ++i) {
        const bool end = i == unified.size();
        const QChar c = end ? QChar() : unified.at(i);
        if (!end && c != u',' && c != u'\n' && c != u'\r')
            continue;
        QString piece = unified.mid(start, i - start).trimmed();
        start = i + 1;
        while (piece.endsWith(QLatin1Char('/')))
            piece.chop(1);
        piece = piece.mid(piece.lastIndexOf(QLatin1Char('/')) + 1);
        if (!piece.isEmpty())
            keywords.insert(piece.toUpper());
    }
    return keywords;
}

QSet<QString> build(const QString& text, const QStringList& rawBaseNames, const QStringList& jpgBaseNames)
{
    QSet<QString> keywords = parse(text);
    for (const QStringList* names : {&rawBaseNames, &jpgBaseNames}) {
        for (const QString& name : *names) {
            if (!name.isEmpty())
                keywords.insert(name.toUpper());
        }
    }
    return keywords;
}

bool isNumeric(const QString& text)
{
    const QList<uint> codePoints = text.toUcs4();
    return std::all_of(codePoints.begin(), codePoints.end(), [](uint c) { return QChar::isNumber(char32_t(c)); });
}

bool isExtensionOnly(const QString& keyword)
{
    static const QSet<QString> extensions = [] {
        QSet<QString> all = SplitRawJpgEngine::rawExtensions() + SplitRawJpgEngine::jpgExtensions()
            + AutoImportEngine::videoExtensions();
        for (const char* other : {"png", "tif", "tiff", "xmp", "gif", "bmp", "webp"})
            all.insert(QString::fromLatin1(other));
        return all;
    }();
    return extensions.contains(keyword.toLower());
}

QStringList sorted(const QSet<QString>& keywords)
{
    QStringList list(keywords.begin(), keywords.end());
    std::sort(list.begin(), list.end());
    return list;
}

QString listText(const QStringList& keywords)
{
    QString out = QStringLiteral("[");
    for (qsizetype i = 0; i < keywords.size(); ++i) {
        if (i > 0)
            out += QStringLiteral(", ");
        out += QLatin1Char('"') + keywords.at(i) + QLatin1Char('"');
    }
    return out + QLatin1Char(']');
}

}
