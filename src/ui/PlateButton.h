#pragma once

#include <QAbstractButton>
#include <QMargins>

#include <functional>

// A plain button drawn as its text (and an optional symbol before it) on a
// rounded plate. The text is drawn as given: '&' is no mnemonic here.
// Colours are functions read at every paint, so the button
// follows theme changes; a null function draws nothing for that part.
class PlateButton : public QAbstractButton
{
    Q_OBJECT
public:
    using ColorFn = std::function<QColor()>;
    struct Look {
        ColorFn fill;
        ColorFn text;
        ColorFn outline; // stroked 1 wide when set
        QFont font;
        QMargins padding{20, 8, 20, 8};
        qreal radius = 8;
        QString symbol;  // a Symbols name shown before the text
        qreal symbolSize = 12;
        int spacing = 4;
        QSize fixedSize;        // when valid, the button has exactly this size
        bool round = false;     // an ellipse instead of the rounded plate
        qreal symbolScale = 1;  // the symbol drawn larger about its centre
    };

    PlateButton(const QString& text, Look look, QWidget* parent = nullptr);

    const Look& look() const { return m_look; }
    void setLook(Look look);
    // The colours the next paint uses (for tests and screenshots).
    QColor fillColor() const { return m_look.fill ? m_look.fill() : QColor(); }
    QColor textColor() const { return m_look.text ? m_look.text() : QColor(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Look m_look;
};
