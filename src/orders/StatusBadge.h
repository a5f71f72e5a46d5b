#pragma once

#include <QWidget>

#include <functional>

// A status pill: a glowing dot and the label in one colour, on that colour
// at 10%.
class StatusBadge : public QWidget
{
    Q_OBJECT
public:
    explicit StatusBadge(QWidget* parent = nullptr);
    void setStatus(const QString& text, std::function<QColor()> color);
    QString text() const { return m_text; }
    QColor color() const { return m_color ? m_color() : QColor(); }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    std::function<QColor()> m_color;
};
