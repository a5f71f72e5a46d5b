#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class QMimeData;

// A drop area of the file tools: a rounded box, solid or dashed, that lights
// up gold while a drag carrying files hovers and hands every drop to its
// owner, usable or not. The owner sizes it and lays out what it shows.
class FolderDropZone : public QWidget
{
    Q_OBJECT
public:
    explicit FolderDropZone(QWidget* parent = nullptr);

    // The icon over a prompt (and a fainter hint) of the tools' big drop areas.
    void addPrompt(const char* symbol, const QString& prompt, const QString& hint = QString());
    void setDashed(bool dashed);

    bool isTargeted() const { return m_targeted; }
    // Fill, border colour and border width of the current look.
    QColor fillColor() const;
    QColor borderColor() const;
    qreal borderWidth() const { return m_targeted ? 2.5 : 1.5; }

    // Drop targets of the file tools take only drags that carry file URLs.
    static bool carriesFileUrls(const QMimeData* mime);
    // A dropped item as a clean local path, logged; empty, with the reason
    // logged and, for the user, in `refusal`, when it is not a local item
    // that is there.
    static QString droppedPath(const QUrl& url, QString* refusal = nullptr);

    static constexpr int kMaxWidth = 620;
    static constexpr qreal kCornerRadius = 12.0;

Q_SIGNALS:
    void urlsDropped(const QList<QUrl>& urls);
    void targetedChanged(bool targeted);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setTargeted(bool targeted);
    bool m_targeted = false;
    bool m_dashed = false;
};
