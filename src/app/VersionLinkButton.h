#pragma once

#include <QAbstractButton>

class QVariantAnimation;

// A small text button of the version bar with an optional red dot at its
// top-trailing corner; hovering fades in a faint gold plate.
class VersionLinkButton : public QAbstractButton
{
    Q_OBJECT
public:
    VersionLinkButton(const QString& text, QWidget* parent = nullptr);

    bool showsDot() const { return m_showDot; }
    void setShowDot(bool show);
    bool isHovered() const { return m_hovered; }

    QColor textColor() const;
    // The face (hit area) inside the widget; the widget keeps room for the dot.
    QRectF faceRect() const;
    // The red dot, overhanging the face's top-trailing corner.
    QRectF dotRect() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    void setHovered(bool hovered);

    bool m_showDot = false;
    bool m_hovered = false;
    qreal m_hoverAmount = 0.0;
    QVariantAnimation* m_hoverAnimation = nullptr;
};
