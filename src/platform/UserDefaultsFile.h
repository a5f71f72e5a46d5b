#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// The settings file taken apart without a JSON tree: each top-level member's
// text as it lies in the file, and the bytes of the large text values.
namespace UserDefaultsFile {

// How many '"' and '\\' `size` bytes hold, when every other byte may stand in
// a JSON string as it is and reads back as itself: well-formed UTF-8 without
// control characters, byte-order marks, surrogates or noncharacters. None
// otherwise.
std::optional<qsizetype> plainTextEscapes(const char* data, qsizetype size);

// {"type":"utf8","value":"..."} around the `n` bytes at `data` with their
// `escapes` quotes and backslashes escaped: the one-pass writer's text.
QByteArray plainTextValue(const char* data, qsizetype n, qsizetype escapes);

// The bytes as they stand between plainTextValue's head and tail, after
// `prefix`, sharing their buffer when there is neither prefix nor escape;
// none where plainTextEscapes refuses them.
std::optional<QByteArray> escapedPlainText(const QByteArray& bytes, QByteArrayView prefix = {});
// What plainTextValue puts before and after the escaped bytes.
QByteArray plainTextHead();
QByteArray plainTextTail();

// plainTextValue of `after`, given `beforeText`, the plainTextValue of
// `before`: only what lies between the ends the two share is checked and
// escaped. None exactly when plainTextValue's check refuses `after`.
std::optional<QByteArray> editedPlainText(const QByteArray& before, const QByteArray& beforeText,
                                          const QByteArray& after);

struct Member
{
    QByteArray key;     // as written, without quotes; never holds an escape
    QByteArray encoded; // the value's text, surrounding spaces left out
    // The bytes of a {"type":"utf8","value":"..."} value written in one pass
    // (no spaces, only '"' and '\\' escaped): `encoded` is then exactly the
    // text the one-pass writer gives for them.
    std::optional<QByteArray> text;
};

// The members in file order; none for anything but an object whose keys need
// no escapes, or for a text that ends early.
std::optional<QList<Member>> split(const QByteArray& file);

}
