#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class QMimeData;

// The idle screen's drop zone: a rounded box that lights up gold while a
// file drag hovers and hands every drop to its owner, usable or not.
class AutoImportDropZone : public QWidget
{
    Q_OBJECT
public:
    explicit AutoImportDropZone(QWidget* parent = nullptr);

    bool isTargeted() const { return m_targeted; }
    // Fill, border colour and border width of the current look.
    QColor fillColor() const;
    QColor borderColor() const;
    qreal borderWidth() const { return m_targeted ? 2.5 : 1.5; }

    // Drop targets of the import take only drags that carry file URLs.
    static bool carriesFileUrls(const QMimeData* mime);

    static constexpr int kHeight = 240;
    static constexpr int kMaxWidth = 620;
    static constexpr qreal kCornerRadius = 12.0;

Q_SIGNALS:
    void urlsDropped(const QList<QUrl>& urls);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setTargeted(bool targeted);
    bool m_targeted = false;
};
