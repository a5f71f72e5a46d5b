#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The remote texts of the tutorial and about popups.
namespace PopupTexts {
struct Link {
    QString title;
    QString url;
    friend bool operator==(const Link&, const Link&) = default;
};
// "title|address" lines; a line counts with a title and an address starting "http".
QList<Link> parseLinks(const QString& text);

struct About {
    QStringList paragraphs;  // empty: keep the built-in ones
    QString contactId;       // empty: keep the built-in one
};
// Paragraphs are separated by an empty line; the contact id follows "微信：" or "微信:".
About parseAbout(const QString& text);
}
