#include "LauncherIconSync.h"

#include "settings/AppIconManager.h"
#include "platform/Log.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QBuffer>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QThreadPool>
#include <QWaitCondition>

#include <utime.h>

// Resources of a static library are registered by hand.
static void initResources() { Q_INIT_RESOURCE(settings); }

namespace LauncherIconSync {
namespace {
QMutex g_mutex;
QWaitCondition g_idle;
std::optional<AppIconStyle> g_queued;
bool g_running = false;

QString dataHome() { return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation); }

// Written beside its target and renamed into place, so the launcher never
// sees a missing or half-written file.
std::optional<QString> writeFile(const QString& path, const QByteArray& bytes)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("无法创建文件夹 ") + QFileInfo(path).absolutePath();
    if (const QString failure = Paths::saveAtomically(path, bytes); !failure.isEmpty())
        return QStringLiteral("无法写入 ") + path + QStringLiteral("：") + failure;
    return std::nullopt;
}

// A missing tool is skipped; one that cannot start, crashes or fails fails the run.
std::optional<QString> runTool(const QString& tool, const QStringList& args)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return std::nullopt;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, args);
    if (!process.waitForStarted(10000))
        return tool + QStringLiteral(" 无法启动");
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return tool + QStringLiteral(" 超时");
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return tool + QStringLiteral(" 异常退出");
    if (process.exitCode() != 0)
        return tool + QStringLiteral(" 退出码 ") + QString::number(process.exitCode());
    return std::nullopt;
}

QByteArray desktopEntry(AppIconStyle style)
{
    initResources();
    QFile templ(QStringLiteral(":/tessary/tessary.desktop.in"));
    QString text;
    if (templ.open(QIODevice::ReadOnly))
        text = QString::fromUtf8(templ.readAll());
    text.replace(QStringLiteral("@EXEC@"), execValue(QCoreApplication::applicationFilePath()));
    text.replace(QStringLiteral("@ICON@"), iconName(style));
    return text.toUtf8();
}

void drain()
{
    for (;;) {
        AppIconStyle style;
        {
            QMutexLocker lock(&g_mutex);
            if (!g_queued) {
                g_running = false;
                g_idle.wakeAll();
                return;
            }
            style = *g_queued;
            g_queued.reset();
        }
        if (const auto failure = run(style))
            Log::line(QStringLiteral("⚠️ 启动台图标同步失败: ") + *failure);
        else
            Log::line(QStringLiteral("✅ 启动台图标已同步: ") + AppIconStyles::rawValue(style));
    }
}

QThreadPool& pool()
{
    static QThreadPool* p = [] {
        auto* created = new QThreadPool;
        created->setMaxThreadCount(1);
        return created;
    }();
    return *p;
}
}

QString iconName(AppIconStyle style) { return QStringLiteral("tessary-") + AppIconStyles::rawValue(style); }

QString execValue(const QString& program)
{
    QString quoted = program;
    for (const QChar c : QStringLiteral("\\\"`$"))
        quoted.replace(c, QStringLiteral("\\") + c);
    // The desktop entry format reads backslashes once more before the quoting.
    quoted.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
    quoted.replace(QStringLiteral("%"), QStringLiteral("%%"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void request(AppIconStyle style)
{
    QMutexLocker lock(&g_mutex);
    g_queued = style;
    if (g_running)
        return;
    g_running = true;
    pool().start(drain);
}

void waitForIdle()
{
    QMutexLocker lock(&g_mutex);
    while (g_running)
        g_idle.wait(&g_mutex);
}

void shutdown()
{
    QMutexLocker lock(&g_mutex);
    g_queued.reset();
    while (g_running)
        g_idle.wait(&g_mutex);
}

std::optional<QString> run(AppIconStyle style)
{
    const QImage master = AppIconManager::makeImage(style, 1024);
    if (master.isNull())
        return QStringLiteral("图标图像无法生成");
    const QString hicolor = dataHome() + QStringLiteral("/icons/hicolor");
    for (int size : kSizes) {
        QByteArray png;
        {
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            if (!master.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(&buffer, "PNG"))
                return QStringLiteral("PNG 编码失败");
        }
        const QString path = QStringLiteral("%1/%2x%2/apps/%3.png").arg(hicolor).arg(size).arg(iconName(style));
        if (const auto failure = writeFile(path, png))
            return failure;
    }
    const QString applications = dataHome() + QStringLiteral("/applications");
    if (const auto failure = writeFile(applications + QStringLiteral("/tessary.desktop"), desktopEntry(style)))
        return failure;
    // Icon themes notice new files by the theme folder's time.
    ::utime(QFile::encodeName(hicolor).constData(), nullptr);
    if (QFileInfo::exists(hicolor + QStringLiteral("/icon-theme.cache"))) {
        if (const auto failure = runTool(QStringLiteral("gtk-update-icon-cache"),
                                         {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("-f"), hicolor}))
            return failure;
    }
    return runTool(QStringLiteral("update-desktop-database"), {QStringLiteral("-q"), applications});
}
}
