#pragma once

#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <mutex>

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
    QString path(const QString& relative) const { return m_dir.path() + "/" + relative; }

    // Writes `size` bytes (a repeating pattern seeded by the name).
    static void write(const QString& filePath, qint64 size = 16, char seed = 'a')
    {
        QDir().mkpath(QFileInfo(filePath).path());
        QFile f(filePath);
        f.open(QIODevice::WriteOnly);
        QByteArray chunk(int(std::min<qint64>(size, 65536)), seed);
        for (int i = 0; i < chunk.size(); ++i)
            chunk[i] = char(seed + i % 7);
        qint64 left = size;
        while (left > 0) {
            const qint64 n = std::min<qint64>(left, chunk.size());
            f.write(chunk.constData(), n);
            left -= n;
        }
    }
    void card(const QString& relative, qint64 size = 16, char seed = 'a') const
    {
        write(card() + "/" + relative, size, seed);
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
    // Every file below `folder`, hidden ones included, relative and sorted.
    static QStringList tree(const QString& folder)
    {
        QStringList out;
        const QDir base(folder);
        std::function<void(const QString&)> walk = [&](const QString& dir) {
            const QFileInfoList entries = QDir(dir).entryInfoList(
                QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
            for (const QFileInfo& info : entries) {
                out.append(base.relativeFilePath(info.filePath()) + (info.isDir() ? "/" : ""));
                if (info.isDir())
                    walk(info.filePath());
            }
        };
        walk(folder);
        return out;
    }

private:
    QTemporaryDir m_dir;
    mutable std::mutex m_mutex;
    QStringList m_lines;
};
