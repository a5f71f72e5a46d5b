#pragma once

#include <QWidget>

#include <functional>

// One line of plain text that loses its middle when too wide (paths, file
// names), coloured by a theme colour read at paint time.
class ElidedLabel : public QWidget
{
    Q_OBJECT
public:
    using ColorFn = std::function<QColor()>;

    ElidedLabel(const QFont& font, ColorFn color, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    // What fits the current width.
    QString shownText() const;

    void setAlignment(Qt::Alignment alignment);
    // Which part gives way; the middle unless told.
    void setElideMode(Qt::TextElideMode mode);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    ColorFn m_color;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    Qt::TextElideMode m_elide = Qt::ElideMiddle;
};
