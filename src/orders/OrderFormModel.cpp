#include "OrderFormModel.h"

#include "orderbook/CalendarSyncManager.h"
#include "orderbook/LocalCalendar.h"
#include "orderbook/Money.h"
#include "orderbook/OrderManager.h"
#include "orderbook/OrderbookKeys.h"
#include "orderbook/PackageManager.h"
#include "orders/OrdersKeys.h"
#include "platform/CalendarStore.h"
#include "platform/UserDefaults.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

OrderFormModel::CalendarPermission defaultPermission()
{
    return {[](QObject*, std::function<void(bool)> answer) {
                CalendarSyncManager::shared().requestPermission(std::move(answer));
            },
            [] { CalendarSyncManager::shared().checkPermission(); }};
}

OrderFormModel::CalendarPermission& permission()
{
    static OrderFormModel::CalendarPermission p = defaultPermission();
    return p;
}

int startHour(ShootTimeSlot slot)
{
    return slot == ShootTimeSlot::afternoon ? 14 : 9;
}

// Stores `value`; false when it is what the field already holds.
template <typename T>
bool assign(T& field, const T& value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

double readAmount(const QString& text)
{
    return Money::readTyped(text).value;
}

}

void OrderFormModel::setCalendarPermission(CalendarPermission p)
{
    const CalendarPermission fallback = defaultPermission();
    permission() = {p.request ? p.request : fallback.request, p.check ? p.check : fallback.check};
}

const QStringList& OrderFormModel::defaultQuickLocations()
{
    static const QStringList list{QStringLiteral("草坪"), QStringLiteral("树林"), QStringLiteral("天空"),
                                  QStringLiteral("小河"), QStringLiteral("街道"), QStringLiteral("学校"),
                                  QStringLiteral("码头"), QStringLiteral("公园")};
    return list;
}

QString OrderFormModel::fillText(double amount)
{
    if (!(amount > 0) || !std::isfinite(amount))
        return QString();
    // The price exactly as stored: a fraction cut off here would be saved short.
    QString text = Money::editText(amount);
    if (text.endsWith(QLatin1String(".0")))
        text.chop(2);
    return text;
}

OrderFormModel::OrderFormModel(OrderManager& orders, PackageManager& packages, UserDefaults& defaults,
                               std::optional<Order> order, const QDateTime& date, SaveCallback onSave,
                               QObject* parent)
    : QObject(parent)
    , m_orders(orders)
    , m_packages(packages)
    , m_defaults(defaults)
    , m_order(std::move(order))
    , m_onSave(std::move(onSave))
{
    // A stored list that is not eight texts is replaced; one that is not a
    // list of texts at all is left alone.
    m_quickLocations = defaultQuickLocations();
    if (const auto stored = m_defaults.array(OrdersKeys::quickShootLocations)) {
        const bool allText = std::all_of(stored->cbegin(), stored->cend(),
                                         [](const QVariant& v) { return v.typeId() == QMetaType::QString; });
        if (allText && stored->size() == 8) {
            m_quickLocations.clear();
            for (const QVariant& v : *stored)
                m_quickLocations.append(v.toString());
        } else if (allText) {
            m_defaults.set(OrdersKeys::quickShootLocations, QVariant(defaultQuickLocations()));
        }
    }

    if (m_order) {
        const Order& o = *m_order;
        m_customerName = o.customerName;
        m_phone = o.phone;
        m_packageType = o.packageType;
        m_shootDate = o.shootDate;
        m_shootTime = o.shootTime;
        m_timeSlot = o.timeSlot;
        m_totalAmount = Money::editText(o.totalAmount);
        m_depositAmount = Money::editText(o.depositAmount);
        m_note = o.note;
        m_status = o.status;
        m_syncToCalendar = o.syncToCalendar;
        m_reminderRule = o.reminderRule;
        m_shootLocation = o.shootLocation;
        m_isShootDateTBD = o.isShootDateTBD;
    } else {
        m_packageType = QStringLiteral("标准套系");
        m_shootDate = date;
        m_shootTime = QDateTime(QDate::currentDate(), QTime(14, 0));
        m_timeSlot = ShootTimeSlot::afternoon;
        // The preference that says whether new orders go to the calendar.
        m_syncToCalendar = m_defaults.boolean(OrderbookKeys::syncCalendarDefault);
        m_reminderRule = m_defaults.string(OrderbookKeys::reminderDefault).value_or(OrderbookKeys::reminderDefault.defaultValue);
    }
    m_checkedDay = LocalCalendar::dayOf(m_shootDate);
    refreshLatest();
    connect(&m_orders, &OrderManager::ordersChanged, this, [this] {
        refreshLatest();
        Q_EMIT changed();
    });
}

QStringList OrderFormModel::packageNames() const
{
    return m_packages.packageNames();
}

void OrderFormModel::later(std::function<void()> step)
{
    QTimer::singleShot(0, this, [this, step = std::move(step)] {
        if (!m_closed)
            step();
    });
}

void OrderFormModel::close()
{
    m_closed = true;
}

std::optional<Order> OrderFormModel::storedOrder() const
{
    if (!m_order)
        return std::nullopt;
    for (const Order& o : m_orders.orders()) {
        if (o.id == m_order->id)
            return o;
    }
    return std::nullopt;
}

void OrderFormModel::refreshLatest()
{
    if (!m_order)
        return;
    const auto stored = storedOrder();
    m_latest = stored ? stored : m_order;
}

void OrderFormModel::setCustomerName(const QString& text)
{
    if (!assign(m_customerName, text))
        return;
    Q_EMIT changed();
}

void OrderFormModel::setPhone(const QString& text)
{
    if (!assign(m_phone, text))
        return;
    Q_EMIT changed();
}

void OrderFormModel::setNote(const QString& text)
{
    if (!assign(m_note, text))
        return;
    Q_EMIT changed();
}

void OrderFormModel::setShootLocation(const QString& text)
{
    if (!assign(m_shootLocation, text))
        return;
    Q_EMIT changed();
}

void OrderFormModel::setPackageType(const QString& name)
{
    if (!assign(m_packageType, name))
        return;
    fillAmountsFromPackage(name);
    Q_EMIT changed();
}

void OrderFormModel::setTotalAmount(const QString& text)
{
    if (!assign(m_totalAmount, text))
        return;
    markAmountEdited();
    Q_EMIT changed();
}

void OrderFormModel::setDepositAmount(const QString& text)
{
    if (!assign(m_depositAmount, text))
        return;
    markAmountEdited();
    Q_EMIT changed();
}

void OrderFormModel::fillAmountsFromPackage(const QString& name)
{
    if (m_hasManualModifiedAmount)
        return;
    const auto package = m_packages.getPackage(name);
    m_isAutoFilling = true;
    setTotalAmount(package ? fillText(package->price) : QString());
    setDepositAmount(package ? fillText(package->deposit) : QString());
    // The fill's own writes above still see the flag; later typing does not.
    QTimer::singleShot(0, this, [this] { m_isAutoFilling = false; });
}

void OrderFormModel::markAmountEdited()
{
    if (!m_isAutoFilling)
        m_hasManualModifiedAmount = true;
}

void OrderFormModel::setShootDay(const QDate& day, bool check)
{
    const QDateTime moved(day, m_shootDate.time());
    if (!day.isValid() || LocalCalendar::dayOf(m_shootDate) == day)
        return;
    m_shootDate = moved;
    if (check)
        confirmShootDay();
    Q_EMIT changed();
}

void OrderFormModel::confirmShootDay()
{
    const QDate day = LocalCalendar::dayOf(m_shootDate);
    if (day == m_checkedDay)
        return;
    m_checkedDay = day;
    checkPastShootDate(day);
}

void OrderFormModel::checkPastShootDate(const QDate& day)
{
    if (day >= QDate::currentDate()) {
        if (m_syncOffForPastDay) {
            m_syncOffForPastDay = false;
            m_syncToCalendar = true;
            Q_EMIT changed();
        }
        return;
    }
    m_syncOffForPastDay = m_syncOffForPastDay || m_syncToCalendar;
    m_syncToCalendar = false;
    m_showPastDateAlert = true;
    Q_EMIT pastDateAlertRaised();
}

void OrderFormModel::setShootTime(const QTime& time)
{
    const QDateTime moved(m_shootTime.date(), time);
    if (!assign(m_shootTime, moved))
        return;
    Q_EMIT changed();
}

void OrderFormModel::setTimeSlot(ShootTimeSlot slot)
{
    if (!assign(m_timeSlot, slot))
        return;
    // Qt moves a time inside a skipped hour forward to the next one that exists.
    const QDateTime start(m_shootTime.date(), QTime(startHour(slot), 0));
    if (start.isValid())
        m_shootTime = start;
    Q_EMIT changed();
}

void OrderFormModel::setShootDateTBD(bool on)
{
    if (!assign(m_isShootDateTBD, on))
        return;
    if (on) {
        m_syncToCalendar = false;
        m_syncOffForPastDay = false;
    }
    Q_EMIT changed();
}

void OrderFormModel::setSyncToCalendar(bool on)
{
    m_syncOffForPastDay = false;
    if (!assign(m_syncToCalendar, on))
        return;
    Q_EMIT changed();
    if (!on)
        return;
    switch (CalendarStore::shared().authorizationStatus()) {
    case CalendarAuthorizationStatus::NotDetermined: {
        QPointer<OrderFormModel> self(this);
        permission().request(this, [self](bool granted) {
            // The answer may come on any thread and after the form closed.
            if (!self)
                return;
            QMetaObject::invokeMethod(self, [self, granted] {
                if (self && !self->m_closed && !granted)
                    self->turnSyncOffAndAlert();
            }, Qt::QueuedConnection);
        });
        break;
    }
    case CalendarAuthorizationStatus::FullAccess:
        permission().check();
        break;
    default:
        // The switch shows on for one turn, then flips back with the alert.
        later([this] { turnSyncOffAndAlert(); });
        break;
    }
}

void OrderFormModel::turnSyncOffAndAlert()
{
    m_syncToCalendar = false;
    m_syncOffForPastDay = false;
    m_showPermissionAlert = true;
    Q_EMIT changed();
    Q_EMIT calendarPermissionAlertRaised();
}

void OrderFormModel::dismissCalendarPermissionAlert()
{
    m_showPermissionAlert = false;
}

void OrderFormModel::dismissPastDateAlert()
{
    m_showPastDateAlert = false;
}

OrderStatus OrderFormModel::displayStatus() const
{
    // The stored status: a payment made in this form moves the badge at once.
    if (m_order)
        return m_latest ? m_latest->status : m_status;
    return readAmount(m_depositAmount) > 0 ? OrderStatus::pendingShoot : OrderStatus::pendingDeposit;
}

bool OrderFormModel::isPastDate() const
{
    return LocalCalendar::dayOf(m_shootDate) < QDate::currentDate();
}

qint64 OrderFormModel::receivedCents() const
{
    qint64 sum = 0;
    if (m_latest) {
        for (const PaymentRecord& p : m_latest->payments)
            sum = Money::addCents(sum, Money::cents(p.amount));
    }
    return sum;
}

qint64 OrderFormModel::balanceCents() const
{
    if (!m_latest)
        return 0;
    const qint64 received = receivedCents();
    const qint64 negated = received == std::numeric_limits<qint64>::min() ? std::numeric_limits<qint64>::max() : -received;
    return std::max<qint64>(0, Money::addCents(Money::cents(m_latest->totalAmount), negated));
}

QString OrderFormModel::receivedText() const
{
    return Money::yuanText(m_latest ? m_latest->receivedAmount() : 0);
}

QString OrderFormModel::balanceText() const
{
    return Money::yuanText(m_latest ? m_latest->pendingAmount() : 0);
}

bool OrderFormModel::isOrderFullyPaid() const
{
    if (!m_latest)
        return false;
    const qint64 total = Money::cents(m_latest->totalAmount);
    return total > 0 && receivedCents() >= total;
}

QList<PaymentRecord> OrderFormModel::paymentHistory() const
{
    QList<PaymentRecord> list = m_latest ? m_latest->payments : QList<PaymentRecord>();
    std::stable_sort(list.begin(), list.end(),
                     [](const PaymentRecord& a, const PaymentRecord& b) { return a.date > b.date; });
    return list;
}

QString OrderFormModel::saveProblem() const
{
    // Blanks alone name nobody.
    if (m_customerName.trimmed().isEmpty())
        return QStringLiteral("请填写客户姓名");
    if (const Money::TypedAmount total = Money::readTyped(m_totalAmount); !total.ok())
        return QStringLiteral("订单总额：") + total.problem;
    if (const Money::TypedAmount deposit = Money::readTyped(m_depositAmount); !deposit.ok())
        return QStringLiteral("定金金额：") + deposit.problem;
    return {};
}

bool OrderFormModel::saveOrder()
{
    if (const QString problem = saveProblem(); !problem.isEmpty()) {
        Q_EMIT saveRefused(problem);
        return false;
    }
    const double total = readAmount(m_totalAmount);
    const double deposit = readAmount(m_depositAmount);
    Order built;
    if (m_order) {
        // From the stored version: payments and status written while the
        // form was open stay.
        built = m_latest.value_or(*m_order);
    } else {
        built = Order::blank();
        built.status = OrderStatus::pendingDeposit;
        built.payments.clear();
        built.calendarEventIdentifier.reset();
        if (deposit > 0) {
            built.payments.append(PaymentRecord(deposit, QDateTime::currentDateTime(), QStringLiteral("定金")));
            built.status = OrderStatus::pendingShoot;
        }
    }
    built.customerName = m_customerName.trimmed();
    built.phone = m_phone;
    built.packageType = m_packageType;
    built.shootDate = m_shootDate;
    built.shootTime = m_shootTime;
    built.timeSlot = m_timeSlot;
    built.totalAmount = total;
    built.depositAmount = deposit;
    built.note = m_note;
    built.syncToCalendar = m_syncToCalendar;
    built.reminderRule = m_reminderRule;
    built.shootLocation = m_shootLocation;
    built.isShootDateTBD = m_isShootDateTBD;
    if (m_onSave && !m_onSave(built))
        return false;
    close();
    Q_EMIT closeRequested();
    return true;
}

void OrderFormModel::deleteOrder()
{
    if (!m_order)
        return;
    // The store removes the calendar event first, then every copy.
    m_orders.deleteOrder(m_latest.value_or(*m_order));
    close();
    Q_EMIT closeRequested();
}

void OrderFormModel::cancel()
{
    close();
    Q_EMIT closeRequested();
}

void OrderFormModel::toggleQuickLocationEditing()
{
    if (m_isEditingQuickLocations)
        m_defaults.set(OrdersKeys::quickShootLocations, QVariant(m_quickLocations));
    m_isEditingQuickLocations = !m_isEditingQuickLocations;
    Q_EMIT quickLocationEditingChanged(m_isEditingQuickLocations);
    Q_EMIT changed();
}

void OrderFormModel::setQuickLocation(int index, const QString& text)
{
    if (index < 0 || index >= m_quickLocations.size() || m_quickLocations[index] == text)
        return;
    m_quickLocations[index] = text;
    Q_EMIT changed();
}

void OrderFormModel::chooseQuickLocation(int index)
{
    if (m_isEditingQuickLocations || index < 0 || index >= m_quickLocations.size())
        return;
    setShootLocation(m_quickLocations[index]);
}

void OrderFormModel::startBalancePayment()
{
    m_paymentType = QStringLiteral("尾款");
    // Filled to the fen: confirming what is shown must settle the order.
    const qint64 owed = Money::cents(m_latest ? m_latest->pendingAmount() : 0);
    m_paymentAmount = owed % 100 == 0 ? QString::number(owed / 100) : Money::twoDecimals(double(owed) / 100);
    m_paymentNote = QStringLiteral("尾款");
    m_showPaymentSheet = true;
    Q_EMIT paymentSheetRequested();
}

void OrderFormModel::cancelPayment()
{
    m_showPaymentSheet = false;
}

QString OrderFormModel::paymentProblem() const
{
    const Money::TypedAmount amount = Money::readTyped(m_paymentAmount);
    if (!amount.ok())
        return QStringLiteral("收款金额：") + amount.problem;
    if (amount.value <= 0)
        return QStringLiteral("收款金额需大于 0");
    return {};
}

bool OrderFormModel::confirmPayment()
{
    if (!paymentProblem().isEmpty())
        return false;
    const double amount = Money::readTyped(m_paymentAmount).value;
    if (m_order) {
        const QString note = m_paymentNote.isEmpty() ? m_paymentType : m_paymentNote;
        const bool balance = m_paymentType == QStringLiteral("尾款");
        if (m_orders.addPayment(*m_order, amount, note) && balance) {
            // A balance payment that leaves money owed means the shoot is done.
            if (const auto stored = storedOrder(); stored && stored->status == OrderStatus::pendingShoot)
                m_orders.markShootCompleted(*stored);
        }
    }
    m_paymentType.clear();
    m_paymentAmount.clear();
    m_paymentNote.clear();
    m_showPaymentSheet = false;
    return true;
}

bool OrderFormModel::canMarkShootCompleted() const
{
    return m_latest
        && (m_latest->status == OrderStatus::pendingShoot || m_latest->status == OrderStatus::pendingDeposit);
}

void OrderFormModel::requestShootCompletion()
{
    m_showShootComplete = true;
    Q_EMIT shootCompletionRequested();
}

void OrderFormModel::confirmShootBalanceOutstanding()
{
    if (m_order)
        m_orders.markShootCompleted(*m_order);
    m_showShootComplete = false;
}

void OrderFormModel::confirmShootBalanceReceived()
{
    if (m_order) {
        // What is owed now, not at opening: a payment registered meanwhile
        // is not taken twice.
        const qint64 owed = balanceCents();
        if (owed > 0)
            m_orders.addPayment(*m_order, double(owed) / 100.0, QStringLiteral("尾款"));
        if (const auto stored = storedOrder(); stored
            && (stored->status == OrderStatus::pendingShoot || stored->status == OrderStatus::pendingDeposit))
            m_orders.markShootCompleted(*stored);
    }
    m_showShootComplete = false;
}
