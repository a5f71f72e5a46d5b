#pragma once

#include <QAbstractButton>

// The daily-new-folder switch: a platform-style switch tinted #CD5B2B with a
// thin gold capsule outline over it, stronger while on.
class AutoImportToggleSwitch : public QAbstractButton
{
    Q_OBJECT
public:
    explicit AutoImportToggleSwitch(QWidget* parent = nullptr);

    static constexpr int kWidth = 38;
    static constexpr int kHeight = 22;

    // The outline's opacity: 0.8 on, 0.4 off.
    qreal outlineOpacity() const { return isChecked() ? 0.8 : 0.4; }
    static QColor tint();

    QSize sizeHint() const override { return {kWidth, kHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};
