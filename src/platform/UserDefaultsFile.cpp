#include "UserDefaultsFile.h"

#include <QVarLengthArray>

namespace UserDefaultsFile {

namespace {

constexpr char kTextHead[] = R"({"type":"utf8","value":")";
constexpr qsizetype kTextHeadSize = sizeof kTextHead - 1;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

qsizetype skipSpaces(const char* p, qsizetype n, qsizetype i)
{
    while (i < n && isSpace(p[i]))
        ++i;
    return i;
}

// Just past the closing quote of the string opening at `i`; -1 when it never closes.
qsizetype skipString(const char* p, qsizetype n, qsizetype i)
{
    for (++i; i < n; ++i) {
        if (p[i] == '\\')
            ++i;
        else if (p[i] == '"')
            return i + 1;
    }
    return -1;
}

// Where the member value starting at `i` ends: the ',' or '}' after it,
// outside strings and brackets; -1 when brackets do not pair or nothing ends it.
// Whether the value itself is good JSON is the general parser's to say.
qsizetype skipValue(const char* p, qsizetype n, qsizetype i)
{
    QVarLengthArray<char, 32> closers;
    while (i < n) {
        const char c = p[i];
        if (c == '"') {
            i = skipString(p, n, i);
            if (i < 0)
                return -1;
            continue;
        }
        if (c == '{' || c == '[') {
            closers.append(c == '{' ? '}' : ']');
        } else if (c == '}' || c == ']') {
            if (closers.isEmpty())
                return c == '}' ? i : -1;
            if (closers.back() != c)
                return -1;
            closers.removeLast();
        } else if (c == ',' && closers.isEmpty()) {
            return i;
        }
        ++i;
    }
    return -1;
}

// The bytes of a value in the one-pass writer's form, else none.
std::optional<QByteArray> plainText(const QByteArray& encoded)
{
    if (!encoded.startsWith(kTextHead) || !encoded.endsWith("\"}") || encoded.size() < kTextHeadSize + 2)
        return std::nullopt;
    const char* p = encoded.constData() + kTextHeadSize;
    const qsizetype n = encoded.size() - kTextHeadSize - 2;
    QByteArray out;
    out.reserve(n);
    qsizetype run = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] == '"')
            return std::nullopt; // the string ended before "}: another shape
        if (p[i] != '\\')
            continue;
        if (i + 1 >= n || (p[i + 1] != '"' && p[i + 1] != '\\'))
            return std::nullopt;
        out.append(p + run, i - run);
        run = ++i;
    }
    out.append(p + run, n - run);
    if (!plainTextEscapes(out.constData(), out.size()))
        return std::nullopt;
    return out;
}

}

std::optional<qsizetype> plainTextEscapes(const char* data, qsizetype n)
{
    const auto* p = reinterpret_cast<const uchar*>(data);
    qsizetype escapes = 0;
    for (qsizetype i = 0; i < n;) {
        const uchar c = p[i];
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7f)
                return std::nullopt;
            escapes += (c == '"' || c == '\\') ? 1 : 0;
            ++i;
            continue;
        }
        int length = 0;
        char32_t cp = 0;
        if (c >= 0xc2 && c <= 0xdf) {
            length = 2;
            cp = c & 0x1f;
        } else if (c >= 0xe0 && c <= 0xef) {
            length = 3;
            cp = c & 0x0f;
        } else if (c >= 0xf0 && c <= 0xf4) {
            length = 4;
            cp = c & 0x07;
        } else {
            return std::nullopt;
        }
        if (n - i < length)
            return std::nullopt;
        for (int k = 1; k < length; ++k) {
            if ((p[i + k] & 0xc0) != 0x80)
                return std::nullopt;
            cp = (cp << 6) | (p[i + k] & 0x3f);
        }
        const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
        const bool surrogate = cp >= 0xd800 && cp <= 0xdfff;
        const bool nonCharacter = (cp & 0xfffe) == 0xfffe || (cp >= 0xfdd0 && cp <= 0xfdef);
        if (overlong || surrogate || nonCharacter || cp > 0x10ffff || cp == 0xfeff)
            return std::nullopt;
        i += length;
    }
    return escapes;
}

std::optional<QList<Member>> split(const QByteArray& file)
{
    const char* p = file.constData();
    const qsizetype n = file.size();
    qsizetype i = skipSpaces(p, n, 0);
    if (i >= n || p[i] != '{')
        return std::nullopt;
    QList<Member> members;
    i = skipSpaces(p, n, i + 1);
    if (i < n && p[i] == '}') {
        i = skipSpaces(p, n, i + 1);
        return i == n ? std::optional(members) : std::nullopt;
    }
    while (true) {
        if (i >= n || p[i] != '"')
            return std::nullopt;
        const qsizetype keyEnd = skipString(p, n, i);
        if (keyEnd < 0)
            return std::nullopt;
        Member member;
        member.key = QByteArray(p + i + 1, keyEnd - i - 2);
        const auto keyEscapes = plainTextEscapes(member.key.constData(), member.key.size());
        if (!keyEscapes || *keyEscapes != 0)
            return std::nullopt;
        i = skipSpaces(p, n, keyEnd);
        if (i >= n || p[i] != ':')
            return std::nullopt;
        const qsizetype start = skipSpaces(p, n, i + 1);
        const qsizetype end = skipValue(p, n, start);
        if (end < 0)
            return std::nullopt;
        qsizetype last = end;
        while (last > start && isSpace(p[last - 1]))
            --last;
        if (last == start)
            return std::nullopt;
        member.encoded = QByteArray(p + start, last - start);
        member.text = plainText(member.encoded);
        members.append(std::move(member));
        i = end + 1;
        if (p[end] == '}')
            break;
        i = skipSpaces(p, n, i);
    }
    return skipSpaces(p, n, i) == n ? std::optional(members) : std::nullopt;
}

}
