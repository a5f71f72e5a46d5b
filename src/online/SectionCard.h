#pragma once

#include <QWidget>

#include <functional>

class QVBoxLayout;
class ThemedLabel;

// A titled card of the software update screen: a symbol and a bold gold
// title above a rounded body that holds the content.
class SectionCard : public QWidget
{
    Q_OBJECT
public:
    using ColorFn = std::function<QColor()>;

    SectionCard(const QString& title, const QString& icon, ColorFn iconColor, QWidget* parent = nullptr);

    void setIcon(const QString& icon, ColorFn iconColor);
    QString iconName() const { return m_iconName; }
    QColor iconColor() const;
    // The body's stack (spacing 12) where the content goes.
    QVBoxLayout* body() const { return m_body; }

private:
    ThemedLabel* m_icon;
    QString m_iconName;
    QVBoxLayout* m_body;
};
