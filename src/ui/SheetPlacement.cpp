#include "SheetPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace SheetPlacement {

void fit(QWidget* sheet, QSize preferred)
{
    const QWidget* owner = sheet->parentWidget() ? sheet->parentWidget()->window() : nullptr;
    QScreen* screen = owner ? owner->screen() : sheet->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen) {
        sheet->resize(preferred);
        return;
    }
    const QRect available = screen->availableGeometry();
    // The sheet's own frame is not known before it is shown; its owner's
    // frame is the best guess, as the same window manager draws both.
    QMargins frame;
    if (owner && owner->isVisible()) {
        const QRect outer = owner->frameGeometry(), inner = owner->geometry();
        frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    }
    QSize room = available.size().shrunkBy(frame);
    if (owner && owner->isVisible())
        room = room.boundedTo(owner->size());
    const QSize size = preferred.boundedTo(room).expandedTo(sheet->minimumSizeHint().boundedTo(room));

    const QSize outer = size.grownBy(frame);
    QRect placed(QPoint(), outer);
    placed.moveCenter(owner && owner->isVisible() ? owner->geometry().center() : available.center());
    // Whatever the owner's place, the sheet's title bar stays on the screen.
    placed.moveLeft(std::clamp(placed.left(), available.left(),
                               std::max(available.left(), available.x() + available.width() - outer.width())));
    placed.moveTop(std::clamp(placed.top(), available.top(),
                              std::max(available.top(), available.y() + available.height() - outer.height())));
    // Placed by its inside: a position given for the frame of a window not
    // yet framed can end up as the position of its inside, with the title
    // bar above it.
    sheet->setGeometry(QRect(placed.topLeft() + QPoint(frame.left(), frame.top()), size));
}

}
