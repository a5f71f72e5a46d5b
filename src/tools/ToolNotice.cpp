#include "ToolNotice.h"

#include "FolderDropZone.h"

#include "platform/Log.h"
#include "ui/Fonts.h"
#include "ui/SystemColors.h"

#include <QFileInfo>
#include <QUrl>
#include <QVBoxLayout>

ToolNotice::ToolNotice(QWidget* parent)
    : ThemedLabel(QString(), Fonts::system(13), &SystemColors::red, parent)
{
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    hide();
}

QWidget* ToolNotice::under(QWidget* content, ToolNotice** notice, QWidget* parent, int spacing)
{
    auto* box = new QWidget(parent);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(spacing);
    column->addWidget(content);
    *notice = new ToolNotice(box);
    column->addWidget(*notice);
    return box;
}

void ToolNotice::say(const QString& text)
{
    setText(text);
    setVisible(!text.isEmpty());
}

void ToolNotice::clear()
{
    say(QString());
}

QString ToolNotice::folderOf(const QUrl& url, const QStringList& notFolderLines)
{
    QString refusal;
    const QString path = FolderDropZone::droppedPath(url, &refusal);
    if (path.isEmpty()) {
        say(refusal);
        return QString();
    }
    if (!QFileInfo(path).isDir()) {
        for (const QString& line : notFolderLines)
            Log::line(line);
        say(QStringLiteral("“%1”不是文件夹，请拖入文件夹").arg(QFileInfo(path).fileName()));
        return QString();
    }
    clear();
    return path;
}
