#pragma once

#include <QString>
#include <QStringList>

// Lines of a remote text file.
namespace TextLines {
// Splits at every line end (LF, CR, VT, FF, NEL, U+2028, U+2029), a CR LF
// pair counting as one; empty lines are kept.
QStringList split(const QString& text);
}
