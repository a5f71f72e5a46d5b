#pragma once

#include <QWidget>

class QVariantAnimation;

// The thin gold bar that stands for a text cursor in an empty text box's
// placeholder. It fades out and back in (1.2 s period) while it is shown.
class BlinkingCursor : public QWidget
{
    Q_OBJECT
public:
    explicit BlinkingCursor(QWidget* parent = nullptr);

    static constexpr int kHalfPeriodMs = 600;

    // The bar's current opacity, 1 when fully visible.
    qreal barOpacity() const { return m_opacity; }
    bool isBlinking() const;

    QSize sizeHint() const override { return {2, 18}; }
    QSize minimumSizeHint() const override { return {2, 18}; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    qreal m_opacity = 1.0;
    QVariantAnimation* m_animation = nullptr;
};
