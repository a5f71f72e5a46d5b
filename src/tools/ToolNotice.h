#pragma once

#include "ui/ThemedLabel.h"

#include <QString>
#include <QStringList>

class QUrl;

// A red line under a drop zone or button of the file tools saying why what
// the user just did did nothing. Hidden while it has nothing to say.
class ToolNotice : public ThemedLabel
{
    Q_OBJECT
public:
    explicit ToolNotice(QWidget* parent = nullptr);

    // `content` over a new notice (stored in `notice`), as one widget.
    static QWidget* under(QWidget* content, ToolNotice** notice, QWidget* parent, int spacing = 8);

    void say(const QString& text);
    void clear();

    // The dropped item as a folder path; empty after saying why it is not
    // one. `notFolderLines` are logged for an item that is not a folder; the
    // other reasons are logged by `FolderDropZone::droppedPath`.
    QString folderOf(const QUrl& url, const QStringList& notFolderLines = {});
};
