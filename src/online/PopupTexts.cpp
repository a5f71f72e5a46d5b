#include "PopupTexts.h"

#include "online/TextLines.h"

#include <QRegularExpression>

namespace PopupTexts {

QList<Link> parseLinks(const QString& text)
{
    QList<Link> links;
    for (const QString& raw : TextLines::split(text)) {
        const QStringList fields = raw.trimmed().split(QLatin1Char('|'));
        if (fields.size() < 2)
            continue;
        const Link link{fields[0].trimmed(), fields[1].trimmed()};
        if (!link.title.isEmpty() && link.url.startsWith(QLatin1String("http")))
            links.append(link);
    }
    return links;
}

About parseAbout(const QString& text)
{
    About about;
    if (text.trimmed().isEmpty())
        return about;
    QString unified = text;
    unified.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    for (const QString& piece : unified.split(QLatin1String("\n\n"))) {
        const QString paragraph = piece.trimmed();
        if (!paragraph.isEmpty())
            about.paragraphs.append(paragraph);
    }
    // The id alone, without the white space (line breaks included) before it.
    static const QRegularExpression contact(QStringLiteral("微信[:：]\\s*([A-Za-z0-9_]+)"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    about.contactId = contact.match(text).captured(1);
    return about;
}

}
