// Import throughput against `cp -r` of the same card on the same disk, the
// all-duplicates re-import, and peak memory.
//
//   bench_import [--raw N] [--jpg N] [--video N] [--dups N] [--dir PATH] [--full]
//
// The default card is small so the run takes about a minute; --full makes the
// 1,000-file card (25 MB RAW, 8 MB JPG, a few videos) and 10,000 duplicates.

#include "platform/Log.h"
#include "tools/AutoImportController.h"
#include "tools/AutoImportEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

constexpr qint64 kMiB = 1024 * 1024;

long maxRssKiB()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void writeFile(const QString& path, qint64 size, const QByteArray& block, quint32 salt)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    QByteArray chunk = block;
    qint64 left = size;
    while (left > 0) {
        std::memcpy(chunk.data(), &salt, sizeof salt); // no two files alike
        ++salt;
        const qint64 n = std::min<qint64>(left, chunk.size());
        f.write(chunk.constData(), n);
        left -= n;
    }
}

qint64 makeCard(const QString& card, int raws, int jpgs, int videos, const QByteArray& block)
{
    const QString dcim = card + "/DCIM/100CANON";
    const QString clips = card + "/PRIVATE/M4ROOT/CLIP";
    QDir().mkpath(dcim);
    QDir().mkpath(clips);
    qint64 bytes = 0;
    quint32 salt = 1;
    for (int i = 0; i < raws; ++i, bytes += 25 * kMiB)
        writeFile(QString("%1/IMG_%2.CR3").arg(dcim).arg(i, 4, 10, QChar('0')), 25 * kMiB, block, salt += 1000);
    for (int i = 0; i < jpgs; ++i, bytes += 8 * kMiB)
        writeFile(QString("%1/IMG_%2.JPG").arg(dcim).arg(i, 4, 10, QChar('0')), 8 * kMiB, block, salt += 1000);
    for (int i = 0; i < videos; ++i, bytes += 200 * kMiB)
        writeFile(QString("%1/C%2.MP4").arg(clips).arg(i, 4, 10, QChar('0')), 200 * kMiB, block, salt += 1000);
    return bytes;
}

double seconds(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e9;
}

double importOnce(const QString& card, const QString& root, AutoImportEngine* engineOut = nullptr)
{
    AutoImportEngine engine;
    AutoImportEngine::Options options;
    options.desktopPath = root;
    options.rootPath = root;
    options.date = QDate(2026, 3, 7);
    QElapsedTimer t;
    t.start();
    engine.run(card, options);
    Q_UNUSED(engineOut);
    return seconds(t);
}

double runCommand(const QString& program, const QStringList& args)
{
    QElapsedTimer t;
    t.start();
    const int rc = QProcess::execute(program, args);
    if (rc != 0) {
        std::fprintf(stderr, "%s failed (%d)\n", qPrintable(program), rc);
        std::exit(1);
    }
    return seconds(t);
}

// The same import through the screen's controller with an event loop: how
// often the panel is refreshed while many small files go.
void importWithPanel(const QString& card, const QString& root, FILE* out)
{
    AutoImportController controller;
    controller.setDesktopPath(root);
    controller.setDateProvider([] { return QDate(2026, 3, 8); });
    controller.setSoundPlayer([](float) {});
    int refreshes = 0;
    QObject::connect(&controller, &AutoImportController::stateChanged, [&refreshes] { ++refreshes; });
    QEventLoop loop;
    QObject::connect(&controller, &AutoImportController::runFinished, &loop, &QEventLoop::quit);
    QElapsedTimer t;
    t.start();
    controller.processFolder(card);
    loop.exec();
    const double s = seconds(t);
    std::fprintf(out, "same card through the panel: %.2f s, %d panel refreshes (%.0f per second, %d files)\n", s,
                 refreshes, refreshes / s, controller.processedCount());
}

} // namespace

int main(int argc, char** argv)
{
    // The controller reads the stored settings: never the user's own.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(settings.path()));
    QCoreApplication app(argc, argv);
    int raws = 40, jpgs = 60, videos = 2, dups = 10000;
    QString dir = QDir::tempPath();
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args[i];
        auto next = [&] { return i + 1 < args.size() ? args[++i] : QString(); };
        if (a == "--raw") raws = next().toInt();
        else if (a == "--jpg") jpgs = next().toInt();
        else if (a == "--video") videos = next().toInt();
        else if (a == "--dups") dups = next().toInt();
        else if (a == "--dir") dir = next();
        else if (a == "--full") { raws = 400; jpgs = 594; videos = 6; dups = 10000; }
        else { std::fprintf(stderr, "unknown argument %s\n", qPrintable(a)); return 2; }
    }
    Log::setSink([](const QString&) {});
    std::freopen("/dev/null", "w", stdout); // the engine's log lines
    FILE* out = stderr;

    QTemporaryDir work(dir + "/bench-import-XXXXXX");
    const QString card = work.path() + "/card";
    QByteArray block(int(4 * kMiB), Qt::Uninitialized);
    for (int i = 0; i < block.size(); i += 4) {
        const quint32 r = QRandomGenerator::global()->generate();
        std::memcpy(block.data() + i, &r, 4);
    }
    std::fprintf(out, "generating card: %d RAW x 25 MB, %d JPG x 8 MB, %d video x 200 MB in %s\n", raws, jpgs,
                 videos, qPrintable(work.path()));
    const qint64 bytes = makeCard(card, raws, jpgs, videos, block);
    const int files = raws + jpgs + videos;
    runCommand("sync", {});
    // Both copies read the card from the page cache, so they compare writing.
    runCommand("sh", {"-c", "cat " + card + "/DCIM/100CANON/* " + card + "/PRIVATE/M4ROOT/CLIP/* > /dev/null"});

    const long rssBefore = maxRssKiB();
    const double cp = runCommand("cp", {"-r", card, work.path() + "/cp-copy"});
    const double cpSync = cp + runCommand("sync", {});
    QDir(work.path() + "/cp-copy").removeRecursively();
    runCommand("sync", {});
    QDir().mkpath(work.path() + "/import");
    const double imported = importOnce(card, work.path() + "/import");
    const double reimport = importOnce(card, work.path() + "/import");
    // The copies must be whole: same total size and identical bytes.
    const QString imported_dir = work.path() + "/import/3.7-相机导出";
    qint64 copiedBytes = 0;
    for (const QString& sub : {QStringLiteral("照片"), QStringLiteral("视频")}) {
        for (const QFileInfo& fi : QDir(imported_dir + "/" + sub).entryInfoList(QDir::Files))
            copiedBytes += fi.size();
    }
    if (copiedBytes != bytes
        || QProcess::execute("cmp", {"-s", card + "/DCIM/100CANON/IMG_0000.CR3",
                                     imported_dir + "/照片/IMG_0000.CR3"}) != 0) {
        std::fprintf(out, "import incomplete: %lld of %lld bytes\n", copiedBytes, bytes);
        return 1;
    }
    const long rssAfter = maxRssKiB();

    const double mb = double(bytes) / double(kMiB);
    std::fprintf(out, "card: %d files, %.0f MiB\n", files, mb);
    std::fprintf(out, "cp -r:          %7.2f s  %8.1f MiB/s\n", cp, mb / cp);
    std::fprintf(out, "cp -r + sync:   %7.2f s  %8.1f MiB/s\n", cpSync, mb / cpSync);
    std::fprintf(out, "import (fsync): %7.2f s  %8.1f MiB/s\n", imported, mb / imported);
    std::fprintf(out, "ratio import / cp -r:        %.2f (goal >= 0.90)\n", cp / imported);
    std::fprintf(out, "ratio import / cp -r + sync: %.2f\n", cpSync / imported);
    std::fprintf(out, "re-import of the same card (all duplicates): %.3f s\n", reimport);
    std::fprintf(out, "peak RSS: %ld KiB before the copies, %ld KiB after\n", rssBefore, rssAfter);

    // All-duplicates re-import of many small files.
    const QString many = work.path() + "/many";
    const QString manyDcim = many + "/DCIM/100CANON";
    QDir().mkpath(manyDcim);
    const QByteArray small = block.left(4096);
    for (int i = 0; i < dups; ++i)
        writeFile(QString("%1/DSC%2.ARW").arg(manyDcim).arg(i, 5, 10, QChar('0')), small.size(), small, quint32(i));
    QDir().mkpath(work.path() + "/many-import");
    const double first = importOnce(many, work.path() + "/many-import");
    const double again = importOnce(many, work.path() + "/many-import");
    std::fprintf(out, "%d small files: first import %.2f s, all-duplicates re-import %.3f s (goal < 1 s for 10,000)\n",
                 dups, first, again);
    importWithPanel(many, work.path() + "/many-panel", out);
    std::fprintf(out, "peak RSS at the end: %ld KiB\n", maxRssKiB());
    return 0;
}
