#pragma once

#include <QAbstractButton>
#include <QToolButton>
#include <QWidget>

#include <functional>

// Small painted pieces of the month calendar that follow the theme at every
// paint.

// One or two chevrons side by side on a rounded plate (month and year steps).
class ChevronButton : public QAbstractButton
{
    Q_OBJECT
public:
    ChevronButton(const QString& symbol, int count, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    int m_count;
};

// A pull-down box of the filter row: its label and an up-down chevron on a
// rounded plate `width` wide, or down to `narrowest` when the row is short
// of room (the label then loses its end); the entries come from `entries`
// each time the menu opens, and a chosen entry is handed to `chosen`.
class FilterMenuBox : public QToolButton
{
    Q_OBJECT
public:
    FilterMenuBox(int width, int narrowest, std::function<QStringList()> entries,
                  std::function<void(const QString&)> chosen, QWidget* parent = nullptr);
    void setLabel(const QString& label);
    QString label() const { return m_label; }
    QSize sizeHint() const override { return {maximumWidth(), 28}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_label;
};

// The rounded panel behind the order section's halves.
class SectionPanel : public QWidget
{
    Q_OBJECT
public:
    explicit SectionPanel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// An image over a short text on a faint plate, at least 400 high.
class EmptyStateView : public QWidget
{
    Q_OBJECT
public:
    EmptyStateView(const QString& symbol, qreal symbolSize, std::function<QColor()> symbolColor, const QString& text,
                   qreal textSize, bool plate, QWidget* parent = nullptr);
    QString text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    qreal m_symbolSize;
    std::function<QColor()> m_symbolColor;
    QString m_text;
    qreal m_textSize;
    bool m_plate;
};
