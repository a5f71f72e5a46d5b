#include "SaveFaults.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace SaveFaults {

Fail::Fail(Paths::SaveStep step, int nth, int error)
    : m_seen(std::make_shared<std::atomic<int>>(0))
{
    Paths::setSaveHook([seen = m_seen, step, nth, error](Paths::SaveStep s, qsizetype&) {
        return s == step && (++*seen == nth || nth == 0) ? error : 0;
    });
}

Fail::~Fail()
{
    Paths::setSaveHook({});
}

FullDisk::FullDisk(const QString& folder)
    : m_folder(folder)
{
    if (::geteuid() != 0) {
        m_skipReason = QStringLiteral("a real full disk needs root to mount a tmpfs");
        return;
    }
    QDir().mkpath(folder);
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        QFile f(folder + "/" + name);
        if (f.open(QIODevice::ReadOnly))
            files.insert(name, f.readAll());
    }
    const QByteArray target = QFile::encodeName(folder);
    if (::mount("tmpfs", target.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m,mode=0700") != 0) {
        m_skipReason = QStringLiteral("tmpfs mount refused: ") + QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    m_mounted = true;
    for (auto it = files.begin(); it != files.end(); ++it) {
        QFile f(folder + "/" + it.key());
        if (f.open(QIODevice::WriteOnly))
            f.write(it.value());
    }
    QFile fill(folder + "/.fill");
    if (fill.open(QIODevice::WriteOnly)) {
        const QByteArray block(4096, 'f');
        while (fill.write(block) == block.size() && fill.flush()) {
        }
        // Whatever a whole block could not take, byte by byte.
        while (fill.write("f", 1) == 1 && fill.flush()) {
        }
    }
}

FullDisk::~FullDisk()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
}

}
