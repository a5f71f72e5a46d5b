#include "VersionFile.h"

#include "online/TextLines.h"

#include <QRegularExpression>

namespace VersionFile {

namespace {
const QString kCheckFailed = QStringLiteral("检查更新失败，请检查网络连接");

bool isBlockHeader(const QString& line)
{
    return line.startsWith(QLatin1Char('V')) && !line.contains(QChar(0x2022));
}

QList<qint64> numbers(const QString& version)
{
    static const QRegularExpression whole(QStringLiteral("^[+-]?[0-9]+$"));
    QList<qint64> parts;
    for (const QString& part : version.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint64 n = whole.match(part).hasMatch() ? part.toLongLong(&ok) : 0;
        if (ok)
            parts.append(n);
    }
    return parts;
}

// A published version is often written "V4.0"; the screens add the "V" themselves.
QString withoutPrefix(const QString& version)
{
    return version.startsWith(QLatin1Char('V')) || version.startsWith(QLatin1Char('v')) ? version.mid(1) : version;
}
}

bool isVersionFile(const QString& text)
{
    // Dotted numbers, a part may carry a suffix ("3.6.0-beta"): a captive
    // portal's page never starts that way.
    static const QRegularExpression version(QStringLiteral("^[Vv]?[0-9]+(\\.[0-9A-Za-z+-]+)*$"));
    for (const QString& line : TextLines::split(text)) {
        if (!line.trimmed().isEmpty())
            return version.match(line.trimmed()).hasMatch();
    }
    return false;
}

UpdateResult evaluate(const QString& text, const QString& localVersion)
{
    QStringList lines;
    for (const QString& raw : TextLines::split(text)) {
        const QString line = raw.trimmed();
        if (!line.isEmpty())
            lines.append(line);
    }
    if (lines.size() < 2 || !isVersionFile(text))
        return UpdateResult::failed(kCheckFailed);
    const QString version = withoutPrefix(lines[0]);
    const QString url = lines[1];
    QString log = QStringLiteral("最新版本，欢迎更新");
    if (lines.size() > 2) {
        QStringList block;
        for (qsizetype i = 2; i < lines.size(); ++i) {
            if (!block.isEmpty() && isBlockHeader(lines[i]))
                break;
            block.append(lines[i]);
        }
        log = block.join(QLatin1Char('\n'));
    }
    if (compareVersions(version, localVersion) > 0)
        return UpdateResult::hasUpdate(version, log, url);
    return UpdateResult::isLatest();
}

std::optional<QString> changelog(const QString& text)
{
    const QStringList lines = TextLines::split(text);
    qsizetype nonEmpty = 0;
    qsizetype first = lines.size();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines[i].trimmed().isEmpty() && ++nonEmpty == 2) {
            first = i + 1;
            break;
        }
    }
    qsizetype last = lines.size() - 1;
    while (first <= last && lines[first].trimmed().isEmpty())
        ++first;
    while (last >= first && lines[last].trimmed().isEmpty())
        --last;
    if (first > last)
        return std::nullopt;
    return lines.mid(first, last - first + 1).join(QLatin1Char('\n'));
}

int compareVersions(const QString& a, const QString& b)
{
    const QList<qint64> x = numbers(a);
    const QList<qint64> y = numbers(b);
    for (qsizetype i = 0; i < std::max(x.size(), y.size()); ++i) {
        const qint64 p = i < x.size() ? x[i] : 0;
        const qint64 q = i < y.size() ? y[i] : 0;
        if (p != q)
            return p > q ? 1 : -1;
    }
    return 0;
}

}
