#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The client's list of wanted names turned into the upper-case keyword set
// that the quick filter matches camera files against.
namespace QuickFilterKeywords {

// The full-width forms of the ASCII characters (U+FF01..U+FF5E) and the
// ideographic space as their ASCII forms.
QString halfWidth(const QString& text);
// Read after `halfWidth`. Separators are "，", "、", "。", ".", ",", line
// feed and carriage return; each piece is trimmed and cut to its last path
// component.
QSet<QString> parse(const QString& text);
// The typed list plus the RAW and JPG/HEIF sample base names.
QSet<QString> build(const QString& text, const QStringList& rawBaseNames, const QStringList& jpgBaseNames);

// Every character (code point) is a number in the Unicode sense.
bool isNumeric(const QString& text);
// A keyword that is only a file extension ("ARW" from a pasted
// "DSC_0001.ARW") names no photo of its own.
bool isExtensionOnly(const QString& keyword);

// Ascending, the order of the log and of the missing list.
QStringList sorted(const QSet<QString>& keywords);
// ["A", "B"] as the log writes it.
QString listText(const QStringList& keywords);

}
