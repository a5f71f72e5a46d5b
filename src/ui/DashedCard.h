#pragma once

#include <QWidget>

// A fixed-size card outlined by a dashed rounded rectangle (2 wide, 8 on and
// 6 off) in the drop-zone border colour, with no fill. Children are laid out
// inside it by the owner.
class DashedCard : public QWidget
{
    Q_OBJECT
public:
    DashedCard(QSize size, qreal cornerRadius, QWidget* parent = nullptr);

    qreal cornerRadius() const { return m_radius; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal m_radius;
};
