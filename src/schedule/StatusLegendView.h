#pragma once

#include <QList>
#include <QRect>
#include <QWidget>

// The key to the calendar's colour marks: six dots with their names in one
// row, wrapped onto further rows when the screen's top bar is short of room.
// The top bar places it.
class StatusLegendView : public QWidget
{
    Q_OBJECT
public:
    explicit StatusLegendView(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    // Where each entry (dot and name) stands at `width`, in the order of the key.
    QList<QRect> itemRects(int width) const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
