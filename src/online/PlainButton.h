#pragma once

#include <QAbstractButton>
#include <QMargins>

#include <functional>

// A label alone on a rounded fill, without platform chrome, optionally led
// by a symbol. Colours are theme functions read at every paint.
class PlainButton : public QAbstractButton
{
    Q_OBJECT
public:
    using ColorFn = std::function<QColor()>;

    PlainButton(const QString& text, const QFont& font, QMargins padding, qreal radius, QWidget* parent = nullptr);

    void setColors(ColorFn text, ColorFn fill);
    // A symbol drawn before the text, `spacing` apart.
    void setSymbol(const QString& name, const QFont& font, int spacing);

    QColor textColor() const { return m_text ? m_text() : QColor(); }
    QColor fillColor() const { return m_fill ? m_fill() : QColor(); }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QMargins m_padding;
    qreal m_radius;
    ColorFn m_text;
    ColorFn m_fill;
    QString m_symbol;
    QFont m_symbolFont;
    int m_spacing = 0;
};
