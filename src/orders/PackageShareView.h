#pragma once

#include "orders/StatsFigures.h"

#include <QWidget>

// The rows of the package income share: name, a gold bar on its track and
// "N单 ¥amount", or "暂无数据" when there is no row.
class PackageShareView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kNameWidth = 100;
    static constexpr int kFigureWidth = 100;
    static constexpr int kSpacing = 8;
    static constexpr int kRowHeight = 17;
    static constexpr int kRowGap = 10;

    explicit PackageShareView(QWidget* parent = nullptr);
    void setRows(const QList<PackageShareRow>& rows);
    const QList<PackageShareRow>& rows() const { return m_rows; }

    // The gold part of a bar: its share of the total, held inside the track.
    static qreal barWidth(qint64 amount, qint64 total, qreal available);
    static QString figureText(const PackageShareRow& row);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<PackageShareRow> m_rows;
};
