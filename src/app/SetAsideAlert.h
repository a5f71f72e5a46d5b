#pragma once

class QMessageBox;
class QWidget;

// The one alert after the window appears when start-up had to set unreadable
// files aside: what, where the copies lie, and, when an automatic backup
// holds orders, a way to restore the newest such backup.
namespace SetAsideAlert {
// Null when nothing was set aside. The alert is window-modal and open
// (not blocking); its outcome shows in a second message box.
QMessageBox* showIfNeeded(QWidget* window);
}
