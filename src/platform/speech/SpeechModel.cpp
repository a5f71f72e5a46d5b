#include "SpeechModel.h"

#include "platform/Product.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString SpeechModel::tag(const QString& locale)
{
    QString t = locale;
    t.replace(QLatin1Char('_'), QLatin1Char('-'));
    return t;
}

QStringList SpeechModel::folders(const QString& locale)
{
    const QString t = tag(locale);
    return {QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/')
                + QLatin1String(Product::kDisplayName) + QStringLiteral("/speech/") + t,
            QStringLiteral("/usr/share/pocketsphinx/model/") + t};
}

std::optional<SpeechModel> SpeechModel::find(const QString& locale, QString* why)
{
    const QStringList candidates = folders(locale);
    for (const QString& folder : candidates) {
        // A folder the user made is the one meant, even when a part is missing.
        if (QFileInfo(folder).isDir())
            return read(folder, why);
    }
    if (why)
        *why = QStringLiteral("未找到 %1 语音模型，请把模型放到 %2").arg(tag(locale), candidates.first());
    return std::nullopt;
}

std::optional<SpeechModel> SpeechModel::read(const QString& folder, QString* why)
{
    const QDir dir(folder);
    SpeechModel model;
    model.folder = dir.absolutePath();
    for (const QFileInfo& sub : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (QFileInfo(sub.absoluteFilePath() + QStringLiteral("/mdef")).isFile()) {
            model.acoustic = sub.absoluteFilePath();
            break;
        }
    }
    // A phone-loop model may sit beside the word model; it recognises sounds, not words.
    for (const QFileInfo& f : dir.entryInfoList({QStringLiteral("*.lm.bin")}, QDir::Files, QDir::Name)) {
        if (!f.fileName().endsWith(QLatin1String("-phone.lm.bin"))) {
            model.languageModel = f.absoluteFilePath();
            break;
        }
    }
    const QFileInfoList dictionaries =
        dir.entryInfoList({QStringLiteral("*.dict"), QStringLiteral("*.dic")}, QDir::Files, QDir::Name);
    if (!dictionaries.isEmpty())
        model.dictionary = dictionaries.first().absoluteFilePath();

    QString missing;
    if (model.acoustic.isEmpty())
        missing = QStringLiteral("声学模型文件夹（含 mdef）");
    else if (model.languageModel.isEmpty())
        missing = QStringLiteral("语言模型（*.lm.bin）");
    else if (model.dictionary.isEmpty())
        missing = QStringLiteral("发音词典（*.dict）");
    if (!missing.isEmpty()) {
        if (why)
            *why = QStringLiteral("语音模型 %1 缺少%2").arg(model.folder, missing);
        return std::nullopt;
    }
    return model;
}

QStringList SpeechModel::files() const
{
    QStringList out;
    for (const QFileInfo& f : QDir(acoustic).entryInfoList(QDir::Files, QDir::Name))
        out << f.absoluteFilePath();
    out << languageModel << dictionary;
    return out;
}
