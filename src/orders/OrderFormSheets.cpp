#include "OrderFormSheets.h"

#include "orders/OrderFormBlocks.h"
#include "orders/OrderFormModel.h"
#include "orders/SheetField.h"
#include "platform/SystemSettingsHook.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/SheetDialog.h"
#include "ui/ThemeObserver.h"
#include "ui/TextBoxColors.h"
#include "ui/ThemedLabel.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace OrderFormSheets {

namespace {

// An input box of the payment sheet: placeholder in the dim gold.
QLineEdit* paymentField(const QString& text, const QString& placeholder, int size, int vertical, bool amount,
                        QWidget* parent)
{
    auto* edit = new QLineEdit(text, parent);
    edit->setPlaceholderText(placeholder);
    edit->setFont(Fonts::system(size));
    edit->setFrame(false);
    auto apply = [edit, vertical] {
        edit->setStyleSheet(QStringLiteral("QLineEdit { background: %1; %3 border-radius: 8px; padding: %2px 12px; }")
                                .arg(AppTheme::searchBackground().name())
                                .arg(vertical)
                                .arg(fieldBorder(edit)));
    };
    apply();
    QObject::connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, edit, apply);
    paintTextBox(edit, [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.6); }, &AppTheme::textGoldDim);
    if (amount)
        watchAmount(edit, apply);
    return edit;
}

QHBoxLayout* buttonRow(QWidget* first, QWidget* second, int spacing = 12)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(spacing);
    row->addWidget(first);
    row->addWidget(second);
    return row;
}

QMessageBox* alert(const QString& title, const QString& message, QWidget* parent)
{
    auto* box = new QMessageBox(QMessageBox::Warning, title, message, QMessageBox::NoButton, parent);
    box->setTextFormat(Qt::PlainText);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

}

SheetDialog* openPaymentSheet(OrderFormModel& model, QWidget* parent)
{
    auto* sheet = new SheetDialog(QStringLiteral("登记收款"), parent, &AppTheme::background);
    sheet->setObjectName(QStringLiteral("paymentSheet"));
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    auto* fields = new QVBoxLayout;
    fields->setSpacing(8);
    fields->addWidget(OrderFormBlocks::fieldLabel(QStringLiteral("收款金额"), sheet));
    QLineEdit* amount = paymentField(model.paymentAmount(), QStringLiteral("0"), 16, 10, true, sheet);
    amount->setObjectName(QStringLiteral("paymentAmount"));
    fields->addWidget(amount);
    fields->addWidget(OrderFormBlocks::fieldLabel(QStringLiteral("备注（选填）"), sheet));
    QLineEdit* note = paymentField(model.paymentNote(), QStringLiteral("如：尾款、补款"), 13, 8, false, sheet);
    note->setObjectName(QStringLiteral("paymentNote"));
    fields->addWidget(note);
    ThemedLabel* problem = OrderFormBlocks::problemLine(QStringLiteral("paymentProblem"), sheet);
    fields->addWidget(problem);
    sheet->body()->addLayout(fields);
    QObject::connect(amount, &QLineEdit::textChanged, sheet, [&model, problem](const QString& t) {
        model.setPaymentAmount(t);
        problem->hide();
    });
    QObject::connect(note, &QLineEdit::textChanged, sheet, [&model](const QString& t) { model.setPaymentNote(t); });

    PlateButton* cancel = SheetDialog::cancelButton(QStringLiteral("取消"), sheet);
    cancel->setObjectName(QStringLiteral("paymentCancelButton"));
    PlateButton* confirm = SheetDialog::confirmButton(QStringLiteral("确认收款"), sheet);
    confirm->setObjectName(QStringLiteral("paymentConfirmButton"));
    PlateButton::Look bold = confirm->look();
    bold.font = Fonts::system(13, QFont::Bold);
    confirm->setLook(bold);
    auto* row = buttonRow(cancel, confirm);
    row->insertStretch(0, 1);
    row->addStretch(1);
    sheet->body()->addLayout(row);
    QObject::connect(cancel, &QAbstractButton::clicked, sheet, [&model, sheet] {
        model.cancelPayment();
        sheet->reject();
    });
    // An amount that cannot be stored keeps the sheet open and says why.
    QObject::connect(confirm, &QAbstractButton::clicked, sheet, [&model, sheet, problem, amount] {
        OrderFormBlocks::showProblem(problem, model.paymentProblem());
        if (!model.confirmPayment()) {
            amount->setFocus();
            return;
        }
        sheet->accept();
    });
    // Closed any other way, only the sheet's flag drops.
    QObject::connect(sheet, &QDialog::rejected, sheet, [&model] { model.cancelPayment(); });
    sheet->open();
    return sheet;
}

SheetDialog* openShootCompleteSheet(OrderFormModel& model, QWidget* parent)
{
    auto* sheet = new SheetDialog(QStringLiteral("拍摄完成确认"), parent, &AppTheme::background, 360, 24, 20);
    sheet->setObjectName(QStringLiteral("shootCompleteSheet"));
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    auto* question = new ThemedLabel(QStringLiteral("拍摄已完成，是否已收尾款？"), Fonts::system(13),
                                     [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.7); }, sheet);
    question->setAlignment(Qt::AlignCenter);
    question->setWordWrap(true);
    sheet->body()->addWidget(question);
    PlateButton* outstanding = OrderFormBlocks::secondaryButtonLabel(QStringLiteral("否，未收尾款"), sheet);
    outstanding->setObjectName(QStringLiteral("balanceOutstandingButton"));
    PlateButton* received = OrderFormBlocks::goldButtonLabel(QStringLiteral("是，已收尾款"), sheet);
    received->setObjectName(QStringLiteral("balanceReceivedButton"));
    sheet->body()->addLayout(buttonRow(outstanding, received));
    QObject::connect(outstanding, &QAbstractButton::clicked, sheet, [&model, sheet] {
        model.confirmShootBalanceOutstanding();
        sheet->accept();
    });
    QObject::connect(received, &QAbstractButton::clicked, sheet, [&model, sheet] {
        model.confirmShootBalanceReceived();
        sheet->accept();
    });
    sheet->open();
    return sheet;
}

QMessageBox* openCalendarPermissionAlert(OrderFormModel& model, QWidget* parent)
{
    QMessageBox* box = alert(QStringLiteral("请先开启系统日历权限"),
                             QStringLiteral("需要日历权限才能同步订单到系统日历，请在系统设置中开启"), parent);
    box->setObjectName(QStringLiteral("calendarPermissionAlert"));
    box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    QPushButton* settings = box->addButton(QStringLiteral("前往设置"), QMessageBox::AcceptRole);
    box->setDefaultButton(settings);
    QObject::connect(settings, &QAbstractButton::clicked, box,
                     [] { SystemSettingsHook::open(SystemSettingsHook::Page::CalendarPrivacy); });
    QObject::connect(box, &QDialog::finished, parent, [&model] { model.dismissCalendarPermissionAlert(); });
    box->open();
    return box;
}

QMessageBox* openPastDateAlert(OrderFormModel& model, QWidget* parent)
{
    QMessageBox* box = alert(QStringLiteral("已选择过去日期"),
                             QStringLiteral("已选择过去日期，日历提醒将无法触发，同步到系统日历开关已自动关闭"), parent);
    box->setObjectName(QStringLiteral("pastDateAlert"));
    box->addButton(QStringLiteral("知道了"), QMessageBox::RejectRole);
    QObject::connect(box, &QDialog::finished, parent, [&model] { model.dismissPastDateAlert(); });
    box->open();
    return box;
}

}
