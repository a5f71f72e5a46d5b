#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Work the user cannot see waits for the window's frame: it runs at the turn
// of the event loop after a widget of the window was next painted, by which
// time the painted frame has been handed to the screen.
namespace FirstPaint {
// Calls `work` once, after the next paint of any widget in `widget`'s
// window, unless `context` is gone by then.
void after(QWidget* widget, QObject* context, std::function<void()> work);
}
