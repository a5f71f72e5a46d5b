#pragma once

#include <QAbstractButton>

#include <functional>

// A plain top-bar button: an optional symbol and an optional text, drawn on an
// optional rounded plate, all in theme colours read at paint time.
class TopBarButton : public QAbstractButton
{
    Q_OBJECT
public:
    using ColorFn = std::function<QColor()>;

    struct Look {
        QString symbol;
        qreal symbolSize = 13;
        QString text;
        qreal textSize = 13;
        QFont::Weight weight = QFont::Medium;
        int spacing = 6;
        QMargins padding{14, 7, 14, 7};
        QSize fixedSize;   // when set, the plate has exactly this size
        qreal radius = 8;  // 0: a circle of the fixed size
        ColorFn plate;     // no plate when empty
        ColorFn foreground;
        qreal symbolScale = 1.0;
    };

    explicit TopBarButton(Look look, QWidget* parent = nullptr);

    void setLook(Look look);
    const Look& look() const { return m_look; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Look m_look;
};
