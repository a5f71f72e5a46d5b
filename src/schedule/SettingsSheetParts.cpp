#include "SettingsSheetParts.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/LightScrollBar.h"
#include "ui/Symbols.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace SettingsSheetParts {

ThemedLabel* symbol(const QString& name, qreal size, ColorFn color, QWidget* parent)
{
    auto* label = new ThemedLabel(Symbols::glyph(name), Symbols::font(size), std::move(color), parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QWidget* rowTitle(const QString& symbolName, const QString& title, ColorFn titleColor, bool medium, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(symbol(symbolName, 14, &AppTheme::gold, row));
    layout->addWidget(new ThemedLabel(title, Fonts::system(14, medium ? QFont::Medium : QFont::Normal),
                                      std::move(titleColor), row));
    layout->addStretch(1);
    return row;
}

ThemedLabel* subtitle(const QString& text, QWidget* parent)
{
    auto* label = new ThemedLabel(text, Fonts::system(11),
                                  [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.5); }, parent);
    label->setWordWrap(true);
    return label;
}

QColor chevronColor()
{
    return AppTheme::isDark() ? AppTheme::withOpacity(Qt::white, 0.85)
                              : AppTheme::withOpacity(AppTheme::textPrimary(), 0.4);
}

void setDimmed(QWidget* widget, bool dimmed)
{
    widget->setEnabled(!dimmed);
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(widget);
        widget->setGraphicsEffect(effect);
    }
    effect->setOpacity(dimmed ? 0.4 : 1.0);
}

qreal opacityOf(const QWidget* widget)
{
    const auto* effect = qobject_cast<const QGraphicsOpacityEffect*>(widget->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

void scrollIntoViewSoon(QObject* owner, QWidget* target)
{
    QPointer<QWidget> guard(target);
    QTimer::singleShot(100, owner, [guard] {
        if (!guard)
            return;
        for (QWidget* w = guard->parentWidget(); w; w = w->parentWidget()) {
            if (auto* area = qobject_cast<QScrollArea*>(w)) {
                area->ensureWidgetVisible(guard, 0, 0);
                return;
            }
        }
    });
}

RowList rowList(QWidget* parent, const QMargins& margins, int spacing)
{
    auto* scroll = new QScrollArea(parent);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    LightScrollBar::style(scroll);
    auto* content = new QWidget;
    content->setAttribute(Qt::WA_TranslucentBackground);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(margins);
    column->setSpacing(spacing);
    auto* rows = new QVBoxLayout;
    rows->setSpacing(spacing);
    column->addLayout(rows);
    scroll->setWidget(content);
    return {scroll, column, rows};
}

QHBoxLayout* rowLayout(QWidget* row, int spacing)
{
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(spacing);
    return layout;
}

void discardRows(QVBoxLayout* rows)
{
    while (QLayoutItem* item = rows->takeAt(0)) {
        if (QWidget* row = item->widget()) {
            row->hide();
            row->deleteLater();
        }
        delete item;
    }
}

void rebuildRowsInPlace(QVBoxLayout* rows, const std::function<void()>& addRows, const std::function<QWidget*()>& focus)
{
    QWidget* content = rows->parentWidget();
    QList<std::pair<QPointer<QScrollBar>, int>> scrolls;
    for (QWidget* w = content; w; w = w->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(w))
            scrolls.append({area->verticalScrollBar(), area->verticalScrollBar()->value()});
    }
    // A focused control that goes hands the focus on down the list, and every
    // scroll area around it follows: the list would run to its end and the
    // sheet with it. The focus is let go first and put back after.
    int focusRow = -1;
    QString focusName;
    if (QWidget* focused = QApplication::focusWidget()) {
        for (int i = 0; i < rows->count() && focusRow < 0; ++i) {
            QWidget* row = rows->itemAt(i)->widget();
            if (row && (row == focused || row->isAncestorOf(focused))) {
                focusRow = i;
                focusName = focused->objectName();
                focused->clearFocus();
            }
        }
    }
    discardRows(rows);
    addRows();
    for (int i = 0; i < rows->count(); ++i) {
        // Shown now rather than on the next turn of the loop, so the focus
        // can land in them.
        if (QWidget* row = rows->itemAt(i)->widget())
            row->show();
    }
    if (content->layout())
        content->layout()->activate();
    for (const auto& [bar, value] : scrolls) {
        if (bar)
            bar->setValue(value);
    }
    QWidget* target = focus ? focus() : nullptr;
    if (!target && focusRow >= 0 && focusRow < rows->count()) {
        if (QWidget* row = rows->itemAt(focusRow)->widget()) {
            for (QWidget* child : row->findChildren<QWidget*>()) {
                if (child->objectName() == focusName && child->focusPolicy() != Qt::NoFocus) {
                    target = child;
                    break;
                }
            }
        }
    }
    if (target)
        target->setFocus(Qt::OtherFocusReason);
}

}

CardButton::CardButton(QWidget* parent)
    : QAbstractButton(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(8);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
}

void CardButton::addToRow(QWidget* widget, int stretch)
{
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    static_cast<QHBoxLayout*>(layout())->addWidget(widget, stretch, Qt::AlignVCenter);
}

void CardButton::addStretch()
{
    static_cast<QHBoxLayout*>(layout())->addStretch(1);
}

QSize CardButton::sizeHint() const
{
    return layout()->sizeHint();
}

void CardButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 10, 10);
    p.fillPath(path, AppTheme::cardBackground());
}
