#pragma once

#include "TestEnv.h"
#include "platform/Log.h"
#include "ui/AppTheme.h"
#include "ui/FireworkView.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedPanel.h"
#include "tools/AutoImportController.h"
#include "tools/QuickFilterController.h"
#include "tools/SafeFileTransfer.h"
#include "tools/SplitRawJpgController.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <mutex>

#include <sys/stat.h>
#include <unistd.h>

inline const QString kBase = QStringLiteral("3.7-相机导出"); // the folder for kDay
inline const QDate kDay(2026, 3, 7);

// Takes one emission of `spy`, waiting for it unless it came already (a
// click delivers queued events, so a quick run may end within it).
inline bool takeSignal(QSignalSpy& spy, int timeoutMs = 10000)
{
    if (spy.isEmpty() && !spy.wait(timeoutMs))
        return false;
    spy.removeFirst();
    return true;
}

// Runs `start` on any tool's controller and waits for the run's end.
template <class Controller>
bool waitForEnd(Controller& controller, const std::function<void()>& start)
{
    QSignalSpy done(&controller, &Controller::runFinished);
    start();
    const bool ended = takeSignal(done);
    controller.waitForWorkers();
    return ended;
}

// A card and a destination on real temporary folders, with every log line
// captured in order.
class ImportFixture
{
public:
    ImportFixture()
    {
        Log::setSink([this](const QString& line) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.append(line);
        });
        QDir().mkpath(card());
        QDir().mkpath(desktop());
    }
    ~ImportFixture() { Log::setSink({}); }

    QString root() const { return m_dir.path(); }
    QString card() const { return m_dir.path() + "/card"; }
    QString desktop() const { return m_dir.path() + "/desktop"; }
    QString photos() const { return desktop() + "/" + kBase + "/照片"; }
    QString path(const QString& relative) const { return m_dir.path() + "/" + relative; }

    static void write(const QString& filePath, qint64 size = 16, char fill = 'a')
    {
        QDir().mkpath(QFileInfo(filePath).path());
        QFile f(filePath);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(size, fill));
    }
    static void setModified(const QString& filePath, const QDateTime& time)
    {
        QFile f(filePath);
        f.open(QIODevice::ReadWrite);
        f.setFileTime(time, QFileDevice::FileModificationTime);
    }
    void card(const QString& relative, qint64 size = 16, char fill = 'a') const
    {
        write(card() + "/" + relative, size, fill);
    }

    QStringList lines() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }
    void clearLines()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.clear();
    }
    // Every item below `folder`, hidden ones included, relative and sorted;
    // folders end in '/'.
    static QStringList tree(const QString& folder)
    {
        QStringList out;
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            out.append(QDir(folder).relativeFilePath(info.filePath()) + (info.isDir() ? "/" : ""));
        }
        out.sort();
        return out;
    }

private:
    QTemporaryDir m_dir;
    mutable std::mutex m_mutex;
    QStringList m_lines;
};

// A tool's controller on the fixture's folders, dated kDay, its sounds recorded.
template <class Controller>
struct ToolFixture : ImportFixture
{
    ToolFixture()
    {
        if constexpr (requires { controller.setDateProvider([] { return kDay; }); })
            controller.setDateProvider([] { return kDay; });
        if constexpr (requires { controller.setDesktopPath(QString()); })
            controller.setDesktopPath(desktop());
        controller.setSoundPlayer([this](float v) { volumes.append(v); });
    }
    // Runs `start` (by default a run on the card) and waits for its end.
    bool runToEnd(const std::function<void()>& start = {})
    {
        if constexpr (requires { controller.processFolder(QString()); })
            if (!start)
                return waitForEnd(controller, [this] { controller.processFolder(card()); });
        return waitForEnd(controller, start);
    }
    Controller controller;
    QList<float> volumes;
};
using ControllerFixture = ToolFixture<AutoImportController>;

enum class Tool { import, split, quickFilter };
inline const Tool kTools[] = {Tool::import, Tool::split, Tool::quickFilter};
inline const char* nameOf(Tool tool)
{
    return tool == Tool::import ? "import" : tool == Tool::split ? "split" : "quick filter";
}
// Where a run of `tool` on the card writes (for the split tool, its RAW files).
inline QString targetOf(Tool tool, const ImportFixture& fx)
{
    return tool == Tool::import ? fx.photos()
           : tool == Tool::split ? fx.card() + "/RAW"
                                 : fx.path("快速分片_3.7");
}
struct ToolEnd
{
    bool ended = false;
    int skipped = 0;
    bool failed = false;
    QList<float> sounds; // the volume of each
};
// Runs `tool` on the whole card to its end; the quick filter asks for every
// name on the card.
inline ToolEnd runTool(Tool tool, ImportFixture& fx)
{
    const auto finish = [](auto& c, const std::function<void()>& start) {
        ToolEnd end;
        c.setSoundPlayer([&end](float volume) { end.sounds.append(volume); });
        end.ended = waitForEnd(c, start);
        end.skipped = c.skipCount();
        end.failed = c.failedCount() > 0;
        if constexpr (requires { c.outputFailed(); })
            end.failed = end.failed || c.outputFailed();
        return end;
    };
    if (tool == Tool::import) {
        AutoImportController c;
        c.setDateProvider([] { return kDay; });
        c.setDesktopPath(fx.desktop());
        return finish(c, [&] { c.processFolder(fx.card()); });
    }
    if (tool == Tool::split) {
        SplitRawJpgController c;
        return finish(c, [&] { c.processFolder(fx.card()); });
    }
    QSet<QString> names;
    for (const QString& item : ImportFixture::tree(fx.card()))
        if (!item.endsWith('/'))
            names.insert(QFileInfo(item).completeBaseName());
    QuickFilterController c;
    c.setDateProvider([] { return kDay; });
    return finish(c, [&] { c.startExport(fx.card(), names, QuickFilterEngine::Mode::copy); });
}

// The copy seam, set for one scope.
struct ReadHookScope
{
    explicit ReadHookScope(SafeFileTransfer::ReadHook hook) { SafeFileTransfer::setReadHook(std::move(hook)); }
    ~ReadHookScope() { SafeFileTransfer::setReadHook({}); }
};

// Holds the worker in its n-th copy that reaches `offset` (by default the end
// of the data, so that file is then kept) until released.
struct CopyGate
{
    explicit CopyGate(int n, qint64 offset = -1)
        : scope([this, n, offset, calls = 0](const QString&, qint64 at, qint64 size) mutable {
            if (at == (offset < 0 ? size : offset) && ++calls == n) {
                reached.release();
                proceed.acquire();
            }
            return 0;
        })
    {
    }
    QSemaphore reached;
    QSemaphore proceed;
    ReadHookScope scope;
};

// Drags `urls` over `target` and, with `drop`, drops them there.
inline void sendDrag(QWidget* target, const QList<QUrl>& urls, bool drop)
{
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint centre = target->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (drop) {
        QDropEvent dropEvent(QPointF(centre), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropEvent);
    }
}

// Root reads and writes any folder whatever its permission bits, so a
// folder closed by them is closed only to an ordinary user: while this lives
// the process acts as "nobody" when the tests run as root. `open` lets that
// user into everything below it (and through the folders above it); then
// each of `closed` gets its mode, given back when this goes.
class OrdinaryUser
{
public:
    OrdinaryUser(const QString& open, const QList<QPair<QString, mode_t>>& closed)
        : m_closed(closed)
    {
        if (::geteuid() == 0) {
            // Only the test's own folders, never the system's above them.
            const QString top = TestEnv::root();
            for (QString dir = QFileInfo(open).absolutePath(); !top.isEmpty() && dir.startsWith(top);
                 dir = QFileInfo(dir).absolutePath())
                ::chmod(QFile::encodeName(dir).constData(), 0755 | (modeOf(dir) & 07777));
            ::chmod(QFile::encodeName(open).constData(), 0777);
            QDirIterator it(open, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QFileInfo info(it.next());
                ::chmod(QFile::encodeName(info.filePath()).constData(), info.isDir() ? 0777 : 0666);
            }
        }
        for (const auto& [path, mode] : m_closed)
            ::chmod(QFile::encodeName(path).constData(), mode);
        m_dropped = ::geteuid() == 0 && ::seteuid(65534) == 0;
    }
    ~OrdinaryUser()
    {
        if (m_dropped)
            (void)::seteuid(0);
        for (const auto& closed : m_closed)
            ::chmod(QFile::encodeName(closed.first).constData(), 0755);
    }
    OrdinaryUser(const OrdinaryUser&) = delete;
    OrdinaryUser& operator=(const OrdinaryUser&) = delete;

private:
    static mode_t modeOf(const QString& path)
    {
        struct stat st;
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
    }
    QList<QPair<QString, mode_t>> m_closed;
    bool m_dropped = false;
};

// <build>/screenshots/<name>.png, for a person to look at.
inline QString shotPath(const QString& name)
{
    QDir build(QCoreApplication::applicationDirPath()); // <build>/tests/tools
    build.cd("../..");
    QDir().mkpath(build.absolutePath() + "/screenshots");
    return build.absolutePath() + "/screenshots/" + name + ".png";
}

// Runs `body` in each theme, named as the screenshot files name it.
inline void forEachTheme(const std::function<void(const QString& theme)>& body)
{
    Fonts::installApplicationFont();
    for (AppThemeStyle style : {AppThemeStyle::dark, AppThemeStyle::light}) {
        ThemeObserver::shared().setStyle(style);
        body(AppThemeStyles::rawValue(style));
    }
}

// A tool's screen on its own controller (dated kDay, its sounds recorded),
// shown in the themed room the main window gives it, on the fixture's folders.
template <class Controller, class View>
struct ToolScreen : ToolFixture<Controller>
{
    explicit ToolScreen(QSize size = {860, 632})
        : backdrop(&AppTheme::background)
    {
        auto* layout = new QVBoxLayout(&backdrop);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view = new View(&this->controller, &backdrop));
        backdrop.resize(size);
        backdrop.setMinimumSize(size); // smaller is never seen
        backdrop.show();
        backdrop.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&backdrop));
    }
    // `settleMs` lets the firework finish its burst on the ended forms.
    void save(const QString& name, int settleMs = FireworkView::kDurationMs + 100)
    {
        QTest::qWait(settleMs);
        ASSERT_TRUE(backdrop.grab().save(shotPath(name))) << shotPath(name).toStdString();
    }
    ThemedPanel backdrop;
    View* view = nullptr;
};
