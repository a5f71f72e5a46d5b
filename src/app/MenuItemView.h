#pragma once

#include "ui/MenuItem.h"

#include <QAbstractButton>
#include <QHash>

// One sidebar row: icon, title (and the subtitle while selected) and a
// trailing marker: "敬请期待" for a coming-soon entry, a chevron for an entry
// with a sub-menu. A disabled row is dimmed and ignores clicks.
class MenuItemView : public QAbstractButton
{
    Q_OBJECT
public:
    MenuItemView(const MenuItem& item, QWidget* parent = nullptr);

    const MenuItem& item() const { return m_item; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    // The colours of the row's parts in the current theme and state.
    QColor iconColor() const;
    QColor titleColor() const { return iconColor(); }
    QColor backgroundColor() const;
    bool showsSubtitle() const { return m_selected; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Geometry {
        QRectF icon;
        QRectF title;
        QRectF subtitle;
        QRectF marker;
        int height = 0;
    };
    Geometry layoutFor(int width) const;
    Geometry computeLayout(int width) const;
    QColor selectedColor() const;
    QString markerText() const;
    QFont titleFont() const;
    QFont markerFont() const;
    QSizeF markerSize() const;

    MenuItem m_item;
    bool m_selected = false;
    // Layouts ask for the same few widths many times, in turns, while the
    // sidebar settles; each answer would shape the texts again. Kept per
    // width for the current selection state.
    mutable QHash<int, Geometry> m_layoutCache;
};
