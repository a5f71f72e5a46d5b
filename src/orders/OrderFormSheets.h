#pragma once

class OrderFormModel;
class QMessageBox;
class QWidget;
class SheetDialog;

// The small sheets and alerts of the order form, each opened window-modal
// over `parent` and wired to the model's actions.
namespace OrderFormSheets {

SheetDialog* openPaymentSheet(OrderFormModel& model, QWidget* parent);
SheetDialog* openShootCompleteSheet(OrderFormModel& model, QWidget* parent);
QMessageBox* openCalendarPermissionAlert(OrderFormModel& model, QWidget* parent);
QMessageBox* openPastDateAlert(OrderFormModel& model, QWidget* parent);

}
