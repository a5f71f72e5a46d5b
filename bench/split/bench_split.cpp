// RAW/JPG split of a large folder on one file system: time per pass and peak
// memory, for a small and a large folder so the memory growth per file shows.
//
//   bench_split [--files N] [--dir PATH]     (default 20,000 files)

#include "platform/Log.h"
#include "tools/SplitRawJpgEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

long maxRssKiB()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A card-like tree: 100 files per folder, RAW and JPG pairs plus a few others.
void makeFolder(const QString& root, int files)
{
    const char* kinds[] = {"CR3", "JPG", "NEF", "HEIC", "ARW", "jpeg", "XMP", "MOV"};
    for (int i = 0; i < files; ++i) {
        const QString dir = QStringLiteral("%1/DCIM/%2CANON").arg(root).arg(100 + i / 100);
        if (i % 100 == 0)
            QDir().mkpath(dir);
        const QByteArray path =
            QFile::encodeName(QStringLiteral("%1/IMG_%2.%3").arg(dir).arg(i, 5, 10, QChar('0')).arg(kinds[i % 8]));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, "x", 1) != 1) {
            std::fprintf(stderr, "cannot write %s\n", path.constData());
            std::exit(1);
        }
        ::close(fd);
    }
}

double splitOnce(const QString& root, SplitRawJpgCounts* out)
{
    SplitRawJpgEngine engine;
    QObject::connect(&engine, &SplitRawJpgEngine::finished, [out](const SplitRawJpgCounts& c) { *out = c; });
    // No receiver takes the reports here, so take them at once as a fast screen would.
    QObject::connect(&engine, &SplitRawJpgEngine::progressed, [&engine] { engine.takeProgress(); });
    QElapsedTimer t;
    t.start();
    engine.run(root);
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int files = 20000;
    QString dir = QDir::tempPath();
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--files" && i + 1 < args.size())
            files = args[++i].toInt();
        else if (args[i] == "--dir" && i + 1 < args.size())
            dir = args[++i];
    }
    Log::setSink([](const QString&) {});
    std::freopen("/dev/null", "w", stdout);
    FILE* out = stderr;

    QTemporaryDir work(dir + "/bench-split-XXXXXX");
    for (int n : {files / 10, files}) {
        const QString root = work.path() + QStringLiteral("/f%1").arg(n);
        makeFolder(root, n);
        const long before = maxRssKiB();
        SplitRawJpgCounts counts;
        const double first = splitOnce(root, &counts);
        const long after = maxRssKiB();
        std::fprintf(out, "%6d files: split %.3f s (goal < 2 s for 20,000), RAW %d, JPG %d, other %d; "
                          "peak RSS %ld -> %ld KiB (+%ld)\n",
                     n, first, counts.raw, counts.jpg, counts.processed - counts.raw - counts.jpg, before, after,
                     after - before);
        const double again = splitOnce(root, &counts);
        std::fprintf(out, "%6d files: second pass (all duplicates) %.3f s, skipped %d\n", n, again, counts.skip);
    }
    return 0;
}
