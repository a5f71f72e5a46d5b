#pragma once

#include <QWidget>

class QAbstractScrollArea;
class QScrollArea;
class QStyle;

// An invisible helper placed inside a scroll area's content. On the next
// turn of the event loop (when it sits in its final hierarchy) it makes the
// nearest enclosing scroll area transparent, frameless, with thin overlay
// scroll bars drawn for a dark backdrop in either theme. It styles once; it
// draws nothing and takes no space.
class LightScrollBar : public QWidget
{
    Q_OBJECT
public:
    explicit LightScrollBar(QWidget* parent = nullptr);

    // The scroll area styled, if any was found.
    QAbstractScrollArea* styledScrollArea() const { return m_area; }

    // The shared style that lays scroll bars over the content.
    static QStyle* overlayStyle();
    // Applies the look to `area` (also used directly by screens).
    static void style(QAbstractScrollArea* area);
    // A page scroll area with this look: vertical only, its widget resized
    // to the viewport's width.
    static QScrollArea* makeVerticalScrollArea(QWidget* parent);

private:
    void applyToEnclosingScrollArea();
    QAbstractScrollArea* m_area = nullptr;
};
