#pragma once

#include <QAbstractButton>

// The switch of every screen: a platform-style switch tinted #CD5B2B in both
// themes. The import screen's switch also draws a thin gold capsule outline
// over it, stronger while on.
class ToggleSwitch : public QAbstractButton
{
    Q_OBJECT
public:
    explicit ToggleSwitch(QWidget* parent = nullptr, bool outlined = false);

    static constexpr int kWidth = 38;
    static constexpr int kHeight = 22;

    // The outline's opacity: 0.8 on, 0.4 off.
    qreal outlineOpacity() const { return isChecked() ? 0.8 : 0.4; }
    static QColor tint();
    bool isOutlined() const { return m_outlined; }

    QSize sizeHint() const override { return {kWidth, kHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_outlined;
};
