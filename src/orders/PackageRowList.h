#pragma once

#include "orderbook/Package.h"

#include <QWidget>

#include <functional>

class QVBoxLayout;

// The package rows of the package settings sheet. A press and drag on a row
// moves it (the drop line shows where it lands); a click on a row's price
// or deposit asks to edit it; its trash button asks to delete it.
class PackageRowList : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kAmountColumnWidth = 80;

    explicit PackageRowList(QWidget* parent = nullptr);
    void setPackages(const QList<Package>& packages);
    int rowCount() const { return int(m_rows.size()); }
    QWidget* row(int index) const { return m_rows.value(index); }

    // "¥" and the whole yuan above 0, "未设置" otherwise.
    static QString amountText(double amount);

Q_SIGNALS:
    // Offsets before the move: the row lands before the row at `to`.
    void moveRequested(int from, int to);
    void editRequested(const Package& package);
    void deleteRequested(const Package& package);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int rowAt(const QPoint& pos) const;
    int insertionAt(const QPoint& pos) const;
    bool inAmountColumns(int row, const QPoint& pos) const;
    void showDropLine();

    QList<Package> m_packages;
    QList<QWidget*> m_rows;
    QVBoxLayout* m_layout = nullptr;
    int m_pressedRow = -1;
    QPoint m_pressPos;
    bool m_dragging = false;
    int m_dropIndex = -1;
    QWidget* m_dropLine = nullptr;
};
