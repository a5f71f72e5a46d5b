#pragma once

#include "orderbook/Order.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

class OrderManager;
class PackageManager;
class UserDefaults;

// Everything the order form holds and does, apart from drawing it: the
// typed fields of a new or edited order, the reactions that tie them
// together (package auto-fill, slot start hours, past days, the calendar
// switch's permission check), the quick locations, payments and shoot
// completion. Save hands the finished order to `onSave`; payments, shoot
// completion and Delete write to the order store at once.
//
// Reactions run only for real changes made after opening, and nothing that
// arrives after close() (a permission answer, a queued step) touches it.
class OrderFormModel : public QObject
{
    Q_OBJECT
public:
    // False when the order did not reach the disk: the form stays open, so
    // nothing typed is lost.
    using SaveCallback = std::function<bool(const Order&)>;
    // How the calendar switch asks for access: through the calendar sync,
    // unless a test installs its own answers.
    struct CalendarPermission
    {
        std::function<void(QObject* context, std::function<void(bool granted)>)> request;
        std::function<void()> check;
    };
    static void setCalendarPermission(CalendarPermission permission);

    static const QStringList& defaultQuickLocations();

    OrderFormModel(OrderManager& orders, PackageManager& packages, UserDefaults& defaults,
                   std::optional<Order> order, const QDateTime& date, SaveCallback onSave, QObject* parent = nullptr);

    bool isEditing() const { return m_order.has_value(); }
    UserDefaults& defaults() const { return m_defaults; }
    const std::optional<Order>& order() const { return m_order; }

    // Fields.
    QString customerName() const { return m_customerName; }
    QString phone() const { return m_phone; }
    QString packageType() const { return m_packageType; }
    QDateTime shootDate() const { return m_shootDate; }
    QDateTime shootTime() const { return m_shootTime; }
    ShootTimeSlot timeSlot() const { return m_timeSlot; }
    QString totalAmount() const { return m_totalAmount; }
    QString depositAmount() const { return m_depositAmount; }
    QString note() const { return m_note; }
    OrderStatus status() const { return m_status; }
    bool syncToCalendar() const { return m_syncToCalendar; }
    QString reminderRule() const { return m_reminderRule; }
    QString shootLocation() const { return m_shootLocation; }
    bool isShootDateTBD() const { return m_isShootDateTBD; }
    bool hasManualModifiedAmount() const { return m_hasManualModifiedAmount; }
    bool isAutoFilling() const { return m_isAutoFilling; }
    // The package menu's entries, in stored order.
    QStringList packageNames() const;

    void setCustomerName(const QString& text);
    void setPhone(const QString& text);
    void setPackageType(const QString& name);
    // While the user is still typing a day, `check` is false: the past-day
    // check waits for confirmShootDay().
    void setShootDay(const QDate& day, bool check = true);
    // The day is entered (focus left the field, Enter, a pick in the
    // calendar): checks it once if it was not checked yet.
    void confirmShootDay();
    void setShootTime(const QTime& time);
    void setTimeSlot(ShootTimeSlot slot);
    void setTotalAmount(const QString& text);
    void setDepositAmount(const QString& text);
    void setNote(const QString& text);
    void setSyncToCalendar(bool on);
    void setShootLocation(const QString& text);
    void setShootDateTBD(bool on);

    // Derived.
    OrderStatus displayStatus() const;
    // The stored version of the edited order (the opening snapshot once it
    // is gone from the store); found once per store change.
    std::optional<Order> latestOrder() const { return m_latest; }
    bool isPastDate() const;
    bool isOrderFullyPaid() const;
    // What the stored order still owes, in whole cents, never below 0.
    qint64 balanceCents() const;
    qint64 receivedCents() const;
    // The same as whole-yuan texts, with every digit however large.
    QString receivedText() const;
    QString balanceText() const;
    // The stored order's payments, newest first, equal dates in stored order.
    QList<PaymentRecord> paymentHistory() const;

    // Why Save would be refused (an empty name, an amount that cannot be
    // stored), or empty.
    QString saveProblem() const;
    // Actions. saveOrder returns false, changes nothing and raises
    // saveRefused when saveProblem() is not empty.
    bool saveOrder();
    void deleteOrder();
    void cancel();
    // Nothing that arrives later changes the form.
    void close();
    bool isClosed() const { return m_closed; }

    // Quick locations.
    QStringList quickLocations() const { return m_quickLocations; }
    bool isEditingQuickLocations() const { return m_isEditingQuickLocations; }
    // Entering edit mode only switches; leaving it stores the list first.
    void toggleQuickLocationEditing();
    void setQuickLocation(int index, const QString& text);
    void chooseQuickLocation(int index);

    // Payments.
    bool showPaymentSheet() const { return m_showPaymentSheet; }
    QString paymentAmount() const { return m_paymentAmount; }
    QString paymentNote() const { return m_paymentNote; }
    QString paymentType() const { return m_paymentType; }
    void setPaymentAmount(const QString& text) { m_paymentAmount = text; }
    void setPaymentNote(const QString& text) { m_paymentNote = text; }
    bool canRegisterBalance() const { return balanceCents() > 0; }
    void startBalancePayment();
    void cancelPayment();
    // Why the typed payment cannot be stored, or empty.
    QString paymentProblem() const;
    // False (nothing stored, the texts kept) when paymentProblem() says why.
    bool confirmPayment();

    // Shoot completion.
    bool canMarkShootCompleted() const;
    bool showShootCompleteConfirmation() const { return m_showShootComplete; }
    void requestShootCompletion();
    void confirmShootBalanceOutstanding();
    void confirmShootBalanceReceived();

    // Alerts the view shows; each flag drops when its alert closes.
    bool showCalendarPermissionAlert() const { return m_showPermissionAlert; }
    bool showPastDateAlert() const { return m_showPastDateAlert; }
    void dismissCalendarPermissionAlert();
    void dismissPastDateAlert();

    // A package amount above 0 as the field takes it: exact, without a
    // trailing ".0" (8888.5, 8888); else empty.
    static QString fillText(double amount);

Q_SIGNALS:
    // Any field or derived value may have changed.
    void changed();
    void closeRequested();
    void saveRefused(const QString& reason);
    void paymentSheetRequested();
    void shootCompletionRequested();
    void calendarPermissionAlertRaised();
    void pastDateAlertRaised();
    void quickLocationEditingChanged(bool editing);

private:
    void fillAmountsFromPackage(const QString& name);
    void markAmountEdited();
    void checkPastShootDate(const QDate& day);
    void turnSyncOffAndAlert();
    void refreshLatest();
    void later(std::function<void()> step);
    std::optional<Order> storedOrder() const;

    OrderManager& m_orders;
    PackageManager& m_packages;
    UserDefaults& m_defaults;
    std::optional<Order> m_order;
    std::optional<Order> m_latest;
    SaveCallback m_onSave;
    bool m_closed = false;

    QString m_customerName, m_phone, m_packageType;
    QDateTime m_shootDate, m_shootTime;
    ShootTimeSlot m_timeSlot = ShootTimeSlot::afternoon;
    QString m_totalAmount, m_depositAmount, m_note;
    OrderStatus m_status = OrderStatus::pendingDeposit;
    bool m_syncToCalendar = false;
    QString m_reminderRule, m_shootLocation;
    bool m_isShootDateTBD = false;

    QStringList m_quickLocations;
    bool m_isEditingQuickLocations = false;
    bool m_showPaymentSheet = false;
    QString m_paymentAmount, m_paymentNote, m_paymentType;
    bool m_showShootComplete = false;
    bool m_hasManualModifiedAmount = false;
    bool m_isAutoFilling = false;
    bool m_showPermissionAlert = false;
    bool m_showPastDateAlert = false;
    QDate m_checkedDay;
    // The switch was on until a past day turned it off; a day from today on
    // turns it back on. Any other road to "off" clears this.
    bool m_syncOffForPastDay = false;
};
