#pragma once

#include <QWidget>

// The small "敬请期待" badge of the placeholder pages: faint gold plate,
// gold text, 8 x 4 inner margins, corner radius 6.
class ComingSoonBadge : public QWidget
{
    Q_OBJECT
public:
    explicit ComingSoonBadge(QWidget* parent = nullptr);

    static QString text() { return QStringLiteral("敬请期待"); }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};
