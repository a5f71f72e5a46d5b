#pragma once

#include <QWidget>

// The key to the calendar's colour marks: six dots with their names in one
// row. The schedule screen's top bar places it.
class StatusLegendView : public QWidget
{
    Q_OBJECT
public:
    explicit StatusLegendView(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
