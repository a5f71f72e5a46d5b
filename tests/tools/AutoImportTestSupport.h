#pragma once

#include "platform/Log.h"
#include "tools/AutoImportController.h"
#include "tools/SafeFileTransfer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>

#include <functional>
#include <mutex>

inline const QString kBase = QStringLiteral("3.7-相机导出"); // the folder for kDay
inline const QDate kDay(2026, 3, 7);

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

// A controller on the fixture's folders, dated kDay, recording each sound.
struct ControllerFixture : ImportFixture
{
    ControllerFixture()
    {
        controller.setDateProvider([] { return kDay; });
        controller.setDesktopPath(desktop());
        controller.setSoundPlayer([this](float v) { volumes.append(v); });
    }
    // Runs `start` (by default an import of the card) and waits for the end.
    bool runToEnd(const std::function<void()>& start = {})
    {
        QSignalSpy done(&controller, &AutoImportController::runFinished);
        if (start)
            start();
        else if (!controller.processFolder(card()))
            return false;
        return done.wait(10000);
    }
    AutoImportController controller;
    QList<float> volumes;
};

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

// <build>/screenshots/<name>.png, for a person to look at.
inline QString shotPath(const QString& name)
{
    QDir build(QCoreApplication::applicationDirPath()); // <build>/tests/tools
    build.cd("../..");
    QDir().mkpath(build.absolutePath() + "/screenshots");
    return build.absolutePath() + "/screenshots/" + name + ".png";
}
