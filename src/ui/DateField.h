#pragma once

#include <QDateEdit>

class QCalendarWidget;
class UserDefaults;

// The app's one day field: "yyyy-MM-dd" with a calendar popup.
//
// - A click places the cursor or, on the arrow, opens the popup; it never
//   steps the value (the stock field reads a click on its frame or beside the
//   digits as a press on a step button).
// - Typing goes section by section: with the whole date selected, the first
//   digit starts over at the year; a separator typed right after the digits
//   filled a section is not a second move on. Ended after one digit of the
//   last section ("2027/1/2"), the entry names that day; with a section
//   erased it names none and is refused.
// - A key that would make a day that does not exist (02-30, month 13) is
//   refused where the user sees it, and the field goes back to the day last
//   entered instead of keeping a different day the keys passed through.
// - `dateEntered` says once per change that the user is done: Enter, focus
//   leaving the field, a day picked in the popup, or finishEntry() before an
//   action reads the field. Intermediate values never reach it.
// - The popup follows the app theme and the week start preference.
class DateField : public QDateEdit
{
    Q_OBJECT
public:
    explicit DateField(const QDate& date, QWidget* parent = nullptr);
    // Week start read from `prefs` (tests, forms on their own store).
    DateField(const QDate& date, UserDefaults& prefs, QWidget* parent = nullptr);

    // The day last entered or shown by showDate().
    QDate enteredDate() const { return m_entered; }
    // Shows `day` as entered, unless it is the day already entered: a store
    // refresh then leaves a half-typed entry alone.
    void showDate(const QDate& day);
    // Ends a typed entry as Enter would, for actions that read the field;
    // false when the typed text was no day and was refused.
    bool finishEntry();
    // The text of the last refusal, empty while none is shown.
    QString refusal() const { return m_refusal; }

    static QString refusalText(const QString& typed, const QDate& kept);

Q_SIGNALS:
    void dateEntered(const QDate& day);
    void entryRefused(const QString& typed);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    StepEnabled stepEnabled() const override;

private:
    void setUpCalendar();
    void styleCalendar();
    void applyWeekStart();
    void refuse(const QString& typed);
    // Whether the typed text names a day; shown whole when it does.
    bool textNamesADay();

    UserDefaults& m_prefs;
    QCalendarWidget* m_calendar = nullptr;
    QDate m_entered;
    QString m_refusal;
    QString m_sectionDigits;
    Section m_digitSection = NoSection;
    bool m_sectionFilled = false;
    bool m_pressing = false;
};
