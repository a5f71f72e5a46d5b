#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The files of one recogniser model: a folder holding the acoustic model
// folder (the one with "mdef" in it), a binary language model ("*.lm.bin")
// and a pronunciation dictionary ("*.dict" or "*.dic").
struct SpeechModel
{
    QString folder;
    QString acoustic;
    QString languageModel;
    QString dictionary;

    // The folder name of `locale`: "zh_CN" -> "zh-CN".
    static QString tag(const QString& locale);
    // Where a model for `locale` is looked for, in order: the user's data
    // folder, then the system's.
    static QStringList folders(const QString& locale);
    // The model of the first of `folders(locale)` that exists; none, with
    // `why` in words for the user, when there is no such folder or it lacks
    // a part.
    static std::optional<SpeechModel> find(const QString& locale, QString* why);
    // The model in `folder`, or none with `why`.
    static std::optional<SpeechModel> read(const QString& folder, QString* why);

    // Every file the recogniser reads, for naming the one that failed.
    QStringList files() const;
};
