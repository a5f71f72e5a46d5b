// Quick filter: matching 5,000 keywords against 50,000 camera file names, a
// scan of a 50,000-file folder, and the export's copy throughput against
// `cp` of the same files in the same run.
//
//   bench_quickfilter [--files N] [--keywords N] [--copies N] [--mib N] [--dir PATH]

#include "platform/Log.h"
#include "tools/QuickFilterEngine.h"
#include "tools/QuickFilterKeywords.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

double seconds(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e9;
}

void writeFile(const QString& path, qint64 size, const QByteArray& block)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    for (qint64 left = size; left > 0; left -= block.size())
        f.write(block.constData(), std::min<qint64>(left, block.size()));
}

double runCommand(const QString& program, const QStringList& args)
{
    QElapsedTimer t;
    t.start();
    if (QProcess::execute(program, args) != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
        std::exit(1);
    }
    return seconds(t);
}

double exportOnce(const QString& source, const QSet<QString>& keywords, QuickFilterOutcome* outcome)
{
    QuickFilterEngine engine;
    QObject::connect(&engine, &QuickFilterEngine::progressed, [&engine] { engine.takeProgress(); });
    QObject::connect(&engine, &QuickFilterEngine::finished, [outcome](const QuickFilterOutcome& o) { *outcome = o; });
    QuickFilterEngine::Options options;
    options.source = source;
    options.keywords = keywords;
    options.date = QDate(2026, 3, 7);
    QElapsedTimer t;
    t.start();
    engine.run(options);
    return seconds(t);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int files = 50000, keywordCount = 5000, copies = 40, mib = 25;
    QString dir = QDir::tempPath();
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--files") files = args[i + 1].toInt();
        else if (args[i] == "--keywords") keywordCount = args[i + 1].toInt();
        else if (args[i] == "--copies") copies = args[i + 1].toInt();
        else if (args[i] == "--mib") mib = args[i + 1].toInt();
        else if (args[i] == "--dir") dir = args[i + 1];
    }
    Log::setSink([](const QString&) {});
    std::freopen("/dev/null", "w", stdout);
    FILE* out = stderr;

    // Matching alone: a pasted list of numbers and full names.
    QStringList names;
    const char* kinds[] = {"ARW", "JPG", "NEF", "HEIC", "CR3", "XMP"};
    for (int i = 0; i < files; ++i)
        names.append(QStringLiteral("DSC_%1.%2").arg(i, 5, 10, QChar('0')).arg(kinds[i % 6]));
    QString pasted;
    for (int k = 0; k < keywordCount; ++k) {
        const int n = int(QRandomGenerator::global()->bounded(files));
        pasted += k % 2 ? QStringLiteral("%1，").arg(n % 10000, 4, 10, QChar('0'))
                        : QStringLiteral("DSC_%1.ARW\n").arg(n, 5, 10, QChar('0'));
    }
    QElapsedTimer t;
    t.start();
    const QSet<QString> keywords = QuickFilterKeywords::parse(pasted);
    const double parse = seconds(t);
    t.restart();
    int matched = 0;
    for (const QString& name : names)
        matched += !QuickFilterEngine::matchedKeyword(name, keywords).isEmpty();
    const double match = seconds(t);
    std::fprintf(out, "%d keywords (%lld distinct) against %d names: parse %.3f s, match %.3f s, %d matches "
                      "(goal < 0.5 s)\n",
                 keywordCount, qlonglong(keywords.size()), files, parse, match, matched);

    // A real folder of that many (empty) files, scanned and matched, no match copied.
    QTemporaryDir work(dir + "/bench-quickfilter-XXXXXX");
    const QString big = work.path() + "/big/card";
    for (int i = 0; i < files; ++i) {
        const QString folder = QStringLiteral("%1/%2").arg(big).arg(100 + i / 1000);
        if (i % 1000 == 0)
            QDir().mkpath(folder);
        const int fd = ::open(QFile::encodeName(folder + "/" + names[i]).constData(), O_WRONLY | O_CREAT, 0644);
        ::close(fd);
    }
    QuickFilterOutcome outcome;
    const double scanOnly = exportOnce(big, {"NO_SUCH_NAME"}, &outcome);
    std::fprintf(out, "scan and match of %d files on disk: %.3f s\n", files, scanOnly);

    // Copy throughput: the same files through the export and through cp.
    QByteArray block(4 * 1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < block.size(); i += 4) {
        const quint32 r = QRandomGenerator::global()->generate();
        std::memcpy(block.data() + i, &r, 4);
    }
    const QString source = work.path() + "/shoot/card";
    QDir().mkpath(source);
    QSet<QString> wanted;
    for (int i = 0; i < copies; ++i) {
        block[0] = char(i);
        writeFile(QStringLiteral("%1/DSC_%2.ARW").arg(source).arg(i, 4, 10, QChar('0')), qint64(mib) << 20, block);
        wanted.insert(QStringLiteral("DSC_%1").arg(i, 4, 10, QChar('0')));
    }
    runCommand("sync", {});
    runCommand("sh", {"-c", "cat " + source + "/* > /dev/null"});
    QDir().mkpath(work.path() + "/cp");
    const double cp = runCommand("sh", {"-c", "cp " + source + "/* " + work.path() + "/cp/"});
    const double cpSync = cp + runCommand("sync", {});
    QDir(work.path() + "/cp").removeRecursively();
    runCommand("sync", {});
    const double exported = exportOnce(source, wanted, &outcome);
    const double mb = double(copies) * mib;
    std::fprintf(out, "copy of %d x %d MiB: cp %.2f s (%.0f MiB/s), cp + sync %.2f s, export %.2f s (%.0f MiB/s, "
                      "%d copied)\n",
                 copies, mib, cp, mb / cp, cpSync, exported, mb / exported, outcome.counts.match);
    std::fprintf(out, "ratio export / cp: %.2f, export / cp + sync: %.2f (goal >= 0.90)\n", cp / exported,
                 cpSync / exported);
    return 0;
}
