#include "TextAreaStyle.h"

#include "ui/AppTheme.h"

#include <QAbstractScrollArea>

void styleTextArea(QAbstractScrollArea* area, const QColor& text)
{
    area->setFrameShape(QFrame::NoFrame);
    area->viewport()->setAutoFillBackground(false);
    const QColor knob = AppTheme::withOpacity(AppTheme::textPrimary(), 0.3);
    auto rgba = [](const QColor& c) {
        return QStringLiteral("rgba(%1, %2, %3, %4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alphaF());
    };
    area->setStyleSheet(QStringLiteral("QAbstractScrollArea { background: transparent; color: %1; }"
                                       // The scrolled canvas too: else it paints the desktop's light window colour.
                                       "QAbstractScrollArea > QWidget > QWidget { background: transparent; }"
                                       "QScrollBar:vertical { background: transparent; width: 6px; margin: 2px 0; }"
                                       "QScrollBar::handle:vertical { background: %2; border-radius: 3px; min-height: 24px; }"
                                       "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }"
                                       "QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }")
                            .arg(rgba(text), rgba(knob)));
}
