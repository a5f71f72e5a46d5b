#include "UserDefaultsFile.h"

#include <QVarLengthArray>

#include <bit>
#include <cstdint>
#include <cstring>

namespace UserDefaultsFile {

namespace {

constexpr char kTextHead[] = R"({"type":"utf8","value":")";
constexpr qsizetype kTextHeadSize = sizeof kTextHead - 1;
constexpr char kTextTail[] = R"("})";
constexpr qsizetype kTextTailSize = sizeof kTextTail - 1;

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

std::uint64_t word(const char* p)
{
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The high bit of each byte of `w` that is zero, and no other bit.
std::uint64_t zeroBytes(std::uint64_t w)
{
    constexpr std::uint64_t low7 = 0x7f7f7f7f7f7f7f7fULL;
    return ~(((w & low7) + low7) | w | low7);
}

// The high bit of each byte of `w` equal to `b`.
std::uint64_t bytesEqual(std::uint64_t w, unsigned char b)
{
    return zeroBytes(w ^ (kOnes * b));
}

std::uint64_t quotesAndBackslashes(std::uint64_t w)
{
    return bytesEqual(w, '"') | bytesEqual(w, '\\');
}

// For eight ASCII bytes: the high bit of each control character or DEL.
std::uint64_t controlBytes(std::uint64_t w)
{
    return (~(w + kOnes * 0x60) | bytesEqual(w, 0x7f)) & kHighs;
}

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
        while (n - i >= 8) {
            const std::uint64_t w = word(p + i);
            if (quotesAndBackslashes(w))
                break;
            i += 8;
        }
        if (i >= n)
            break;
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
    if (encoded.size() < kTextHeadSize + kTextTailSize || !encoded.startsWith(kTextHead) || !encoded.endsWith(kTextTail))
        return std::nullopt;
    const char* p = encoded.constData() + kTextHeadSize;
    const qsizetype n = encoded.size() - kTextHeadSize - kTextTailSize;
    QByteArray out;
    out.reserve(n);
    qsizetype run = 0;
    for (qsizetype i = 0; i < n; ++i) {
        while (n - i >= 8 && !quotesAndBackslashes(word(p + i)))
            i += 8;
        if (i >= n)
            break;
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
        if (n - i >= 8) {
            const std::uint64_t w = word(data + i);
            if ((w & kHighs) == 0) {
                if (controlBytes(w))
                    return std::nullopt;
                escapes += std::popcount(quotesAndBackslashes(w));
                i += 8;
                continue;
            }
        }
        const uchar c = p[i];
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7f)
                return std::nullopt;
            escapes += (c == '"' || c == '\\') ? 1 : 0;
            ++i;
            continue;
        }
        if ((c & 0xf0) == 0xe0 && n - i >= 3) {
            // Chinese text: three bytes, checked without the general loop.
            const uchar c1 = p[i + 1];
            const uchar c2 = p[i + 2];
            if ((c1 & 0xc0) != 0x80 || (c2 & 0xc0) != 0x80)
                return std::nullopt;
            const char32_t cp = char32_t(c & 0x0f) << 12 | char32_t(c1 & 0x3f) << 6 | (c2 & 0x3f);
            if (cp < 0x800 || (cp >= 0xd800 && cp <= 0xdfff) || (cp >= 0xfdd0 && cp <= 0xfdef) || cp >= 0xfffe
                || cp == 0xfeff)
                return std::nullopt;
            i += 3;
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

namespace {

char* escapeInto(char* o, const char* data, qsizetype n)
{
    qsizetype i = 0;
    while (i < n) {
        if (n - i >= 8 && !quotesAndBackslashes(word(data + i))) {
            std::memcpy(o, data + i, 8);
            o += 8;
            i += 8;
            continue;
        }
        const char c = data[i++];
        if (c == '"' || c == '\\')
            *o++ = '\\';
        *o++ = c;
    }
    return o;
}

qsizetype countEscapes(const char* data, qsizetype n)
{
    qsizetype count = 0;
    qsizetype i = 0;
    for (; n - i >= 8; i += 8)
        count += std::popcount(quotesAndBackslashes(word(data + i)));
    for (; i < n; ++i)
        count += (data[i] == '"' || data[i] == '\\') ? 1 : 0;
    return count;
}

qsizetype commonPrefix(const char* a, const char* b, qsizetype n)
{
    constexpr qsizetype block = 4096;
    qsizetype i = 0;
    while (n - i >= block && std::memcmp(a + i, b + i, block) == 0)
        i += block;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

qsizetype commonSuffix(const char* a, qsizetype na, const char* b, qsizetype nb, qsizetype limit)
{
    constexpr qsizetype block = 4096;
    qsizetype k = 0;
    while (limit - k >= block && std::memcmp(a + na - k - block, b + nb - k - block, block) == 0)
        k += block;
    while (k < limit && a[na - k - 1] == b[nb - k - 1])
        ++k;
    return k;
}

bool isContinuation(char c)
{
    return (uchar(c) & 0xc0) == 0x80;
}

}

QByteArray plainTextValue(const char* data, qsizetype n, qsizetype escapes)
{
    QByteArray out(kTextHeadSize + n + escapes + kTextTailSize, Qt::Uninitialized);
    char* o = out.data();
    std::memcpy(o, kTextHead, kTextHeadSize);
    o = escapeInto(o + kTextHeadSize, data, n);
    std::memcpy(o, kTextTail, kTextTailSize);
    return out;
}

std::optional<QByteArray> escapedPlainText(const QByteArray& bytes, QByteArrayView prefix)
{
    const std::optional<qsizetype> escapes = plainTextEscapes(bytes.constData(), bytes.size());
    if (!escapes)
        return std::nullopt;
    if (*escapes == 0 && prefix.isEmpty())
        return bytes;
    QByteArray out(prefix.size() + bytes.size() + *escapes, Qt::Uninitialized);
    std::memcpy(out.data(), prefix.data(), size_t(prefix.size()));
    escapeInto(out.data() + prefix.size(), bytes.constData(), bytes.size());
    return out;
}

QByteArray plainTextHead()
{
    return QByteArray::fromRawData(kTextHead, kTextHeadSize);
}

QByteArray plainTextTail()
{
    return QByteArray::fromRawData(kTextTail, kTextTailSize);
}

std::optional<QByteArray> editedPlainText(const QByteArray& before, const QByteArray& beforeText, const QByteArray& after)
{
    const qsizetype n0 = before.size();
    const qsizetype n1 = after.size();
    const char* b = before.constData();
    const char* a = after.constData();
    qsizetype prefix = commonPrefix(b, a, std::min(n0, n1));
    // Both ends must fall between whole characters, in both texts.
    while (prefix > 0 && ((prefix < n0 && isContinuation(b[prefix])) || (prefix < n1 && isContinuation(a[prefix]))))
        --prefix;
    qsizetype suffix = commonSuffix(b, n0, a, n1, std::min(n0, n1) - prefix);
    while (suffix > 0 && isContinuation(a[n1 - suffix]))
        --suffix;

    const qsizetype middle = n1 - prefix - suffix;
    const std::optional<qsizetype> middleEscapes = plainTextEscapes(a + prefix, middle);
    if (!middleEscapes)
        return std::nullopt;
    // Escapes in the shared ends, counted over the shorter end only.
    const qsizetype allBefore = beforeText.size() - kTextHeadSize - kTextTailSize - n0;
    const qsizetype oldMiddle = countEscapes(b + prefix, n0 - prefix - suffix);
    qsizetype prefixEscapes, suffixEscapes;
    if (prefix <= suffix) {
        prefixEscapes = countEscapes(b, prefix);
        suffixEscapes = allBefore - oldMiddle - prefixEscapes;
    } else {
        suffixEscapes = countEscapes(b + n0 - suffix, suffix);
        prefixEscapes = allBefore - oldMiddle - suffixEscapes;
    }

    const qsizetype headPart = kTextHeadSize + prefix + prefixEscapes;
    const qsizetype tailPart = suffix + suffixEscapes + kTextTailSize;
    QByteArray out(headPart + middle + *middleEscapes + tailPart, Qt::Uninitialized);
    char* o = out.data();
    std::memcpy(o, beforeText.constData(), size_t(headPart));
    o = escapeInto(o + headPart, a + prefix, middle);
    std::memcpy(o, beforeText.constData() + beforeText.size() - tailPart, size_t(tailPart));
    return out;
}

}
