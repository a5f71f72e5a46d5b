#pragma once

#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

// Names taken from sample files dropped on the quick filter: every drop adds
// to the earlier ones, each name once.
struct QuickFilterSamples
{
    using Pair = QPair<QString, QString>; // file name, base name

    QStringList sampleBaseNames;
    QStringList sampleFileNames;
    QStringList sampleRawBaseNames;
    QStringList sampleJpgBaseNames;

    static const QSet<QString>& rawExtensions();
    static const QSet<QString>& jpgExtensions();
    // A RAW or JPG/HEIF file, by its extension.
    static bool isImage(const QString& fileName);

    // The RAW and JPG/HEIF files below a folder, hidden ones left out.
    static QStringList collectImageFiles(const QString& folder);
    // The (file name, base name) pairs of dropped paths: an image file gives
    // its own, a folder those of its image files; other files give none.
    // Runs off the main thread; logs each item.
    static QList<Pair> collect(const QStringList& paths);
    // Adds collected pairs and logs the totals.
    void merge(const QList<Pair>& pairs);
};
