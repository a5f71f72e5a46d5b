#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QRandomGenerator>

// Damaged copies of `good`, the same for the same seed: cut short anywhere,
// one byte changed, a JSON-significant piece put in or a span taken out, as a
// torn write, a failing disk or a hand edit leaves a file.
inline QByteArrayList corruptions(const QByteArray& good, int count, quint32 seed)
{
    static const QByteArrayList pieces{"\"", "\\", "{", "}", "[", "]", ",", ":", " ", "\n", "\\n", "\\u0000",
                                       "\\ud800", "\\u4e2d", "\x01", "\x7f", "\xff", "\xef\xbb\xbf", "\xe6\x91",
                                       "null", "-0", "1e400", "0.1", "true", "\"k\":1,"};
    QRandomGenerator rng(seed);
    QByteArrayList out;
    for (int i = 0; i < count && !good.isEmpty(); ++i) {
        QByteArray bad = good;
        const qsizetype at = rng.bounded(int(good.size()));
        switch (i % 4) {
        case 0:
            bad.truncate(at);
            break;
        case 1:
            bad[at] = char(rng.bounded(256));
            break;
        case 2:
            bad.insert(at, pieces[rng.bounded(int(pieces.size()))]);
            break;
        default:
            bad.remove(at, rng.bounded(1, 40));
            break;
        }
        out.append(bad);
    }
    return out;
}
