#include "OrderFormView.h"

#include "orderbook/LocalCalendar.h"
#include "orderbook/Money.h"
#include "orderbook/OrderManager.h"
#include "orderbook/PackageManager.h"
#include "orders/OrderFormBlocks.h"
#include "orders/OrderFormSheets.h"
#include "orders/OrderPaymentsSection.h"
#include "orders/QuickLocationsView.h"
#include "orders/SheetField.h"
#include "orders/StatusBadge.h"
#include "platform/UserDefaults.h"
#include "ui/AppTheme.h"
#include "ui/DateField.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/RoundedPanel.h"
#include "ui/LightScrollBar.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/TextBoxColors.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"
#include "ui/ToggleSwitch.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

std::function<QColor()> faded(qreal opacity)
{
    return [opacity] { return AppTheme::withOpacity(AppTheme::textPrimary(), opacity); };
}

QColor statusColor(OrderStatus status)
{
    switch (status) {
    case OrderStatus::pendingDeposit: return SystemColors::yellow();
    case OrderStatus::pendingShoot: return SystemColors::red();
    case OrderStatus::pendingBalance: return SystemColors::orange();
    case OrderStatus::completed: return AppTheme::gold();
    case OrderStatus::cancelled: return SystemColors::gray();
    }
    return SystemColors::gray();
}

// Day and time pickers in the sheet's theme, typed in the accent when asked.
void stylePicker(QWidget* picker, bool accent)
{
    auto apply = [picker, accent] {
        const QColor text = accent ? formAccentColor() : AppTheme::textPrimary();
        picker->setStyleSheet(QStringLiteral("QDateTimeEdit { color: %1; background: %2; border: none; border-radius: 6px;"
                                             " padding: 4px 6px; } QDateTimeEdit:disabled { color: %3; }")
                                  .arg(text.name(), AppTheme::searchBackground().name(),
                                       AppTheme::withOpacity(text, 0.4).name(QColor::HexArgb)));
    };
    apply();
    QObject::connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, picker, apply);
}

void setTextKeepingCursor(QLineEdit* edit, const QString& text)
{
    if (edit->text() != text)
        edit->setText(text);
}

QHBoxLayout* twoColumns(QWidget* left, QWidget* right, int spacing)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(spacing);
    row->addWidget(left, 1, Qt::AlignTop);
    row->addWidget(right, 1, Qt::AlignTop);
    return row;
}

QWidget* labelled(const QString& label, QLayout* controls, QWidget* parent, int gap = 2)
{
    auto* column = new QWidget(parent);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(OrderFormBlocks::fieldLabel(label, column));
    layout->addSpacing(gap);
    layout->addLayout(controls);
    return column;
}

}

OrderFormView::OrderFormView(const std::optional<Order>& order, const QDateTime& date,
                             OrderFormModel::SaveCallback onSave, QWidget* parent)
    : OrderFormView(OrderManager::shared(), PackageManager::shared(), UserDefaults::standard(), order, date,
                    std::move(onSave), parent)
{
}

OrderFormView::OrderFormView(OrderManager& orders, PackageManager& packages, UserDefaults& defaults,
                             const std::optional<Order>& order, const QDateTime& date,
                             OrderFormModel::SaveCallback onSave, QWidget* parent)
    : QDialog(parent)
    , m_model(new OrderFormModel(orders, packages, defaults, order, date, std::move(onSave), this))
{
    setObjectName(QStringLiteral("orderFormView"));
    setWindowModality(Qt::WindowModal);
    setWindowTitle(order ? QStringLiteral("编辑订单") : QStringLiteral("新建订单"));
    setFixedSize(520, 680);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setStyleSheet(QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(10);
    column->addWidget(new LightScrollBar(content));
    column->addWidget(buildHeader());
    column->addWidget(buildCustomerSection());
    column->addWidget(buildDateAndPlaceCard());
    column->addWidget(buildSyncCard());
    if (order) {
        m_payments = new OrderPaymentsSection(*m_model);
        column->addWidget(OrderFormBlocks::formSection(QStringLiteral("收款管理"), m_payments, content));
    }
    m_note = new QPlainTextEdit;
    m_note->setObjectName(QStringLiteral("noteEdit"));
    m_note->setFont(Fonts::system(13));
    // Two whole lines inside the 8 px padding and the document's own margin.
    m_note->setFixedHeight(2 * m_note->fontMetrics().lineSpacing()
                           + 2 * (8 + int(m_note->document()->documentMargin())) + 2);
    m_note->setPlainText(m_model->note());
    column->addWidget(OrderFormBlocks::formSection(QStringLiteral("备注"), m_note, content));
    auto styleNote = [this] {
        m_note->setStyleSheet(QStringLiteral("QPlainTextEdit { background: %1; border: none; border-radius: 8px;"
                                             " padding: 8px; }")
                                  .arg(AppTheme::searchBackground().name()));
    };
    styleNote();
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, m_note, styleNote);
    const auto faint = [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.6); };
    paintTextBox(m_note, faint, faint);
    connect(m_note, &QPlainTextEdit::textChanged, this, [this] { m_model->setNote(m_note->toPlainText()); });
    column->addStretch(1);
    scroll->setWidget(content);
    outer->addWidget(scroll, 1);
    // The buttons stay in sight below the scrolled sections.
    outer->addWidget(buildButtons());

    connect(m_model, &OrderFormModel::changed, this, &OrderFormView::refresh);
    connect(m_model, &OrderFormModel::closeRequested, this, &QDialog::accept);
    connect(m_model, &OrderFormModel::saveRefused, this, &OrderFormView::showSaveProblem);
    connect(m_model, &OrderFormModel::paymentSheetRequested, this,
            [this] { OrderFormSheets::openPaymentSheet(*m_model, this); });
    connect(m_model, &OrderFormModel::shootCompletionRequested, this,
            [this] { OrderFormSheets::openShootCompleteSheet(*m_model, this); });
    connect(m_model, &OrderFormModel::calendarPermissionAlertRaised, this,
            [this] { OrderFormSheets::openCalendarPermissionAlert(*m_model, this); });
    // After the key that entered the day is done: an Enter still on its way
    // up would otherwise press the alert's own button.
    connect(m_model, &OrderFormModel::pastDateAlertRaised, this, [this] {
        refresh();
        OrderFormSheets::openPastDateAlert(*m_model, this);
    }, Qt::QueuedConnection);
    // Closed by any road, late answers and timers find the form closed.
    connect(this, &QDialog::finished, m_model, &OrderFormModel::close);
    refresh();
}

OrderFormView::~OrderFormView()
{
    m_model->close();
}

void OrderFormView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), AppTheme::background());
}

QWidget* OrderFormView::buildHeader()
{
    auto* header = new QWidget;
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new ThemedLabel(m_model->isEditing() ? QStringLiteral("编辑订单") : QStringLiteral("新建订单"),
                                   Fonts::system(18, QFont::Bold), &AppTheme::textGold, header));
    row->addStretch(1);
    m_badge = new StatusBadge(header);
    m_badge->setObjectName(QStringLiteral("statusBadge"));
    row->addWidget(m_badge);
    PlateButton::Look cancel;
    cancel.fill = &AppTheme::searchBackground;
    cancel.text = faded(0.6);
    cancel.font = Fonts::system(13);
    auto* cancelButton = new PlateButton(QStringLiteral("取消"), cancel, header);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setFixedSize(80, 36);
    connect(cancelButton, &QAbstractButton::clicked, m_model, &OrderFormModel::cancel);
    row->addWidget(cancelButton);
    return header;
}

QWidget* OrderFormView::buildCustomerSection()
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto field = [this, content](const QString& label, const QString& placeholder, const char* name,
                                 const QString& text, void (OrderFormModel::*set)(const QString&)) {
        const OrderFormBlocks::Field f = OrderFormBlocks::formField(label, placeholder, content);
        f.edit->setObjectName(QString::fromLatin1(name));
        f.edit->setText(text);
        // A changed field takes back the reason Save gave.
        connect(f.edit, &QLineEdit::textEdited, this, [this] { showSaveProblem(QString()); });
        // Only what the user types reaches the model: the auto-fill's own
        // writes must not count as a hand edit.
        connect(f.edit, &QLineEdit::textEdited, m_model, set);
        return f;
    };
    const auto name = field(QStringLiteral("客户姓名"), QStringLiteral("请输入客户姓名"), "customerName",
                            m_model->customerName(), &OrderFormModel::setCustomerName);
    const auto phone = field(QStringLiteral("联系电话"), QStringLiteral("选填"), "phone", m_model->phone(),
                             &OrderFormModel::setPhone);
    m_name = name.edit;
    m_phone = phone.edit;
    column->addLayout(twoColumns(name.widget, phone.widget, 12));
    column->addWidget(OrderFormBlocks::divider(content));

    auto* packageRow = new QHBoxLayout;
    packageRow->setSpacing(0);
    PlateButton::Look menu;
    menu.fill = &AppTheme::searchBackground;
    menu.text = faded(0.9);
    menu.font = Fonts::system(13);
    menu.padding = QMargins(8, 5, 8, 5);
    m_package = new PlateButton(m_model->packageType(), menu, content);
    m_package->setObjectName(QStringLiteral("packageButton"));
    m_package->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    connect(m_package, &QAbstractButton::clicked, this, &OrderFormView::showPackageMenu);
    packageRow->addWidget(m_package, 65);
    auto* chevron = new ThemedLabel(Symbols::glyph(QStringLiteral("chevron.up.chevron.down")), Symbols::font(9),
                                    [] { return AppTheme::isDark() ? QColor(Qt::white) : QColor(Qt::black); }, content);
    chevron->setContentsMargins(0, 0, 8, 0);
    packageRow->addWidget(chevron);
    packageRow->addStretch(35);

    auto* slotRow = new QHBoxLayout;
    slotRow->setSpacing(0);
    const ShootTimeSlot kSlots[3] = {ShootTimeSlot::morning, ShootTimeSlot::afternoon, ShootTimeSlot::fullDay};
    for (int i = 0; i < 3; ++i) {
        m_slots[i] = new PlateButton(rawValue(kSlots[i]), PlateButton::Look{}, content);
        m_slots[i]->setObjectName(QStringLiteral("slotButton%1").arg(i));
        m_slots[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        connect(m_slots[i], &QAbstractButton::clicked, m_model, [this, slot = kSlots[i]] { m_model->setTimeSlot(slot); });
        slotRow->addWidget(m_slots[i], 1);
    }
    column->addLayout(twoColumns(labelled(QStringLiteral("套系类型"), packageRow, content, 0),
                                 labelled(QStringLiteral("拍摄时段"), slotRow, content, 0), 12));
    column->addSpacing(8);
    const auto total = field(QStringLiteral("订单总额"), QStringLiteral("0"), "totalAmount", m_model->totalAmount(),
                             &OrderFormModel::setTotalAmount);
    const auto deposit = field(QStringLiteral("定金金额"), QStringLiteral("0"), "depositAmount",
                               m_model->depositAmount(), &OrderFormModel::setDepositAmount);
    m_total = total.edit;
    m_deposit = deposit.edit;
    watchAccentAmount(m_total);
    watchAccentAmount(m_deposit);
    column->addLayout(twoColumns(total.widget, deposit.widget, 12));
    return OrderFormBlocks::formSection(QStringLiteral("客户信息"), content, this);
}

QWidget* OrderFormView::buildDateAndPlaceCard()
{
    auto* card = new RoundedPanel(&AppTheme::cardBackground, 10, this);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(10);

    auto* pickers = new QHBoxLayout;
    pickers->setSpacing(8);
    m_day = new DateField(LocalCalendar::dayOf(m_model->shootDate()), m_model->defaults(), card);
    m_day->setObjectName(QStringLiteral("shootDay"));
    stylePicker(m_day, false);
    // Only an entered day reaches the model: the days the keys pass through
    // on the way ("2026-01-0" of "2027-01-02") are no choice.
    connect(m_day, &DateField::dateEntered, m_model, [this](const QDate& day) { m_model->setShootDay(day); });
    m_time = new QTimeEdit(m_model->shootTime().time(), card);
    m_time->setObjectName(QStringLiteral("shootTime"));
    m_time->setDisplayFormat(QStringLiteral("HH:mm"));
    m_time->setButtonSymbols(QAbstractSpinBox::NoButtons);
    stylePicker(m_time, true);
    connect(m_time, &QTimeEdit::timeChanged, m_model, &OrderFormModel::setShootTime);
    pickers->addWidget(m_day);
    pickers->addWidget(m_time);
    pickers->addStretch(1);
    auto* tbdRow = new QHBoxLayout;
    tbdRow->setSpacing(6);
    m_tbd = new ToggleSwitch(card);
    m_tbd->setObjectName(QStringLiteral("dateTBDSwitch"));
    connect(m_tbd, &QAbstractButton::clicked, m_model, &OrderFormModel::setShootDateTBD);
    tbdRow->addWidget(m_tbd);
    tbdRow->addWidget(new ThemedLabel(QStringLiteral("日期待定"), Fonts::system(12), faded(0.8), card));
    tbdRow->addStretch(1);
    column->addLayout(twoColumns(labelled(QStringLiteral("拍摄日期"), pickers, card),
                                 labelled(QStringLiteral("档期待定"), tbdRow, card), 8));

    auto* locationBox = new QVBoxLayout;
    m_location = new QLineEdit(m_model->shootLocation(), card);
    m_location->setObjectName(QStringLiteral("shootLocation"));
    m_location->setPlaceholderText(QStringLiteral("选择或输入拍摄地点"));
    styleAccentField(m_location);
    m_location->setFixedHeight(44);
    m_location->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    connect(m_location, &QLineEdit::textEdited, m_model, &OrderFormModel::setShootLocation);
    locationBox->addWidget(m_location);
    m_quick = new QuickLocationsView(*m_model, card);
    column->addLayout(twoColumns(labelled(QStringLiteral("拍摄地点"), locationBox, card, 0), m_quick, 8));
    return card;
}

QWidget* OrderFormView::buildSyncCard()
{
    auto* card = new RoundedPanel(&AppTheme::cardBackground, 10, this);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(16, 6, 16, 6);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(new ThemedLabel(QStringLiteral("日历提醒"), Fonts::system(14, QFont::Medium), &AppTheme::textGold, card));
    texts->addWidget(
        new ThemedLabel(QStringLiteral("同步到系统日历，拍摄前自动提醒"), Fonts::system(10), faded(0.4), card));
    row->addLayout(texts);
    row->addStretch(1);
    m_sync = new ToggleSwitch(card);
    m_sync->setObjectName(QStringLiteral("syncSwitch"));
    m_syncDim = new QGraphicsOpacityEffect(m_sync);
    m_sync->setGraphicsEffect(m_syncDim);
    connect(m_sync, &QAbstractButton::clicked, m_model, &OrderFormModel::setSyncToCalendar);
    row->addWidget(m_sync);
    return card;
}

QWidget* OrderFormView::buildButtons()
{
    auto* holder = new QWidget(this);
    auto* column = new QVBoxLayout(holder);
    column->setContentsMargins(16, 8, 16, 12);
    column->setSpacing(6);
    m_problem = OrderFormBlocks::problemLine(QStringLiteral("saveProblem"), holder);
    m_problem->setAlignment(Qt::AlignCenter);
    column->addWidget(m_problem);
    auto* row = new QHBoxLayout;
    column->addLayout(row);
    row->setSpacing(12);
    row->addStretch(1);
    PlateButton::Look save;
    save.fill = &AppTheme::gold;
    save.text = &AppTheme::background;
    save.font = Fonts::system(13, QFont::Bold);
    save.padding = QMargins(24, 10, 24, 10);
    auto* saveButton =
        new PlateButton(m_model->isEditing() ? QStringLiteral("保存修改") : QStringLiteral("创建订单"), save, holder);
    saveButton->setObjectName(QStringLiteral("saveButton"));
    connect(saveButton, &QAbstractButton::clicked, this, [this] {
        // The button takes no focus: a day still being typed is entered first,
        // and a past day stops here at its alert instead of being saved unseen.
        if (m_day->finishEntry() && !m_model->showPastDateAlert())
            m_model->saveOrder();
    });
    row->addWidget(saveButton);
    if (m_model->isEditing()) {
        PlateButton::Look remove;
        remove.text = &SystemColors::red;
        remove.outline = [] { return AppTheme::withOpacity(SystemColors::red(), 0.5); };
        remove.font = Fonts::system(13);
        remove.symbol = QStringLiteral("trash");
        remove.symbolSize = 13;
        remove.padding = QMargins(16, 10, 16, 10);
        auto* deleteButton = new PlateButton(QStringLiteral("删除订单"), remove, holder);
        deleteButton->setObjectName(QStringLiteral("deleteButton"));
        connect(deleteButton, &QAbstractButton::clicked, this, &OrderFormView::confirmDelete);
        row->addWidget(deleteButton);
    }
    row->addStretch(1);
    return holder;
}

void OrderFormView::confirmDelete()
{
    // A delete cannot be taken back: ask first, with "取消" as the answer Enter gives.
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("删除订单"),
                                QStringLiteral("确定删除「%1」的订单吗？删除后无法恢复。").arg(m_model->customerName()),
                                QMessageBox::NoButton, this);
    box->setObjectName(QStringLiteral("deleteConfirmation"));
    box->setTextFormat(Qt::PlainText);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* remove = box->addButton(QStringLiteral("删除"), QMessageBox::DestructiveRole);
    QPushButton* keep = box->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    connect(remove, &QAbstractButton::clicked, m_model, &OrderFormModel::deleteOrder);
    box->open();
}

void OrderFormView::showSaveProblem(const QString& reason)
{
    OrderFormBlocks::showProblem(m_problem, reason);
    if (reason.isEmpty())
        return;
    QLineEdit* field = m_model->customerName().trimmed().isEmpty() ? m_name
        : !Money::readTyped(m_model->totalAmount()).ok() ? m_total
        : m_deposit;
    field->setFocus();
}

void OrderFormView::showPackageMenu()
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("packageMenu"));
    menu.setStyleSheet(AppTheme::menuStyleSheet());
    for (const QString& name : m_model->packageNames()) {
        QString label = name;
        QAction* action = menu.addAction(label.replace(QLatin1Char('&'), QStringLiteral("&&")));
        connect(action, &QAction::triggered, m_model, [this, name] { m_model->setPackageType(name); });
    }
    menu.exec(m_package->mapToGlobal(QPoint(0, m_package->height())));
}

void OrderFormView::refresh()
{
    const bool tbd = m_model->isShootDateTBD();
    if (tbd)
        m_badge->setStatus(QStringLiteral("档期待定"), [] { return QColor::fromRgbF(0.827f, 0.439f, 0.522f); });
    else
        m_badge->setStatus(rawValue(m_model->displayStatus()), [s = m_model->displayStatus()] { return statusColor(s); });
    setTextKeepingCursor(m_name, m_model->customerName());
    setTextKeepingCursor(m_phone, m_model->phone());
    setTextKeepingCursor(m_total, m_model->totalAmount());
    setTextKeepingCursor(m_deposit, m_model->depositAmount());
    setTextKeepingCursor(m_location, m_model->shootLocation());
    m_package->setText(m_model->packageType());
    for (int i = 0; i < 3; ++i) {
        const bool selected = int(m_model->timeSlot()) == i;
        PlateButton::Look look;
        look.fill = selected ? std::function<QColor()>(&AppTheme::gold) : &AppTheme::searchBackground;
        look.text = selected ? &AppTheme::background : &AppTheme::textPrimary;
        look.font = Fonts::system(12);
        look.padding = QMargins(4, 5, 4, 5);
        look.radius = 6;
        m_slots[i]->setLook(look);
    }
    {
        const QSignalBlocker a(m_day), b(m_time), c(m_tbd), d(m_sync);
        m_day->showDate(LocalCalendar::dayOf(m_model->shootDate()));
        m_time->setTime(m_model->shootTime().time());
        m_tbd->setChecked(tbd);
        m_sync->setChecked(m_model->syncToCalendar());
    }
    m_day->setEnabled(!tbd);
    m_time->setEnabled(!tbd);
    const bool syncLocked = m_model->isPastDate() || tbd;
    m_sync->setEnabled(!syncLocked);
    m_syncDim->setOpacity(syncLocked ? 0.5 : 1.0);
    m_quick->refresh();
    if (m_payments)
        m_payments->refresh();
}
