#pragma once

class QWidget;

// Menus, spin boxes and sliders take the mouse wheel only once a click or the
// keyboard has given them focus. Until then a wheel turn over one goes on to
// what encloses it, so a page or sheet scrolls under the pointer instead of
// silently rewriting the setting that happens to pass beneath it.
namespace WheelGuard {
// Guards every such control of the application from now on; further calls
// do nothing.
void install();
// Whether `widget` is a control the guard keeps from unasked wheel turns.
bool guards(const QWidget* widget);
}
