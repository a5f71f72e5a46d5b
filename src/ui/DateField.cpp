#include "DateField.h"

#include "platform/UserDefaults.h"
#include "ui/AppTheme.h"
#include "ui/Symbols.h"
#include "ui/ThemeObserver.h"
#include "ui/UiKeys.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTextCharFormat>
#include <QToolButton>
#include <QToolTip>

#include <algorithm>

namespace {

const QString kFormat = QStringLiteral("yyyy-MM-dd");

bool isPlainKey(const QKeyEvent* event)
{
    return event->text().size() == 1 && !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isSeparator(QChar c)
{
    return c == QLatin1Char('-') || c == QLatin1Char('/') || c == QLatin1Char('.');
}

int sectionIndex(QDateTimeEdit::Section section)
{
    switch (section) {
    case QDateTimeEdit::YearSection: return 0;
    case QDateTimeEdit::MonthSection: return 1;
    case QDateTimeEdit::DaySection: return 2;
    default: return -1;
    }
}

}

DateField::DateField(const QDate& date, QWidget* parent)
    : DateField(date, UserDefaults::standard(), parent)
{
}

DateField::DateField(const QDate& date, UserDefaults& prefs, QWidget* parent)
    : QDateEdit(date, parent)
    , m_prefs(prefs)
    , m_entered(date)
{
    setCalendarPopup(true);
    setDisplayFormat(kFormat);
    setUpCalendar();
}

void DateField::setUpCalendar()
{
    m_calendar = new QCalendarWidget(this);
    m_calendar->setObjectName(QStringLiteral("dateFieldCalendar"));
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    // Month and weekday names as the rest of the screens write them.
    m_calendar->setLocale(QLocale(QLocale::Chinese, QLocale::China));
    setCalendarWidget(m_calendar);
    // A pick closes the popup with the field still focused, so no focus
    // change would end the entry.
    connect(m_calendar, &QCalendarWidget::clicked, this, &DateField::finishEntry, Qt::QueuedConnection);
    connect(m_calendar, &QCalendarWidget::activated, this, &DateField::finishEntry, Qt::QueuedConnection);
    styleCalendar();
    applyWeekStart();
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, &DateField::styleCalendar);
    connect(&m_prefs, &UserDefaults::changed, this, [this](const QString& key) {
        if (key == QLatin1String(UiKeys::weekStartsOnMonday.name))
            applyWeekStart();
    });
}

void DateField::applyWeekStart()
{
    m_calendar->setFirstDayOfWeek(m_prefs.value(UiKeys::weekStartsOnMonday) ? Qt::Monday : Qt::Sunday);
}

void DateField::styleCalendar()
{
    const QColor text = AppTheme::textPrimary();
    const QColor gold = AppTheme::gold();
    m_calendar->setStyleSheet(
        QStringLiteral("QWidget#qt_calendar_navigationbar { background: %1; }"
                       "QToolButton { color: %2; background: transparent; border: none; padding: 2px 6px; }"
                       "QToolButton:hover { background: %3; border-radius: 4px; }"
                       "QToolButton::menu-indicator { image: none; width: 0px; }"
                       "QSpinBox { color: %4; background: %3; selection-background-color: %2; selection-color: %5; }"
                       "QAbstractItemView { background: %6; alternate-background-color: %1; color: %4;"
                       " selection-background-color: %2; selection-color: %5; outline: 0px; }"
                       "QAbstractItemView:disabled { color: %7; }")
            .arg(AppTheme::cardBackground().name(), gold.name(), AppTheme::searchBackground().name(), text.name(),
                 AppTheme::onGoldText().name(), AppTheme::background().name(),
                 AppTheme::withOpacity(text, 0.35).name(QColor::HexArgb)));
    // Weekends in the text colour of the theme: the stock pure red is unreadable on the dark surface.
    QTextCharFormat weekend;
    weekend.setForeground(AppTheme::textGold());
    m_calendar->setWeekdayTextFormat(Qt::Saturday, weekend);
    m_calendar->setWeekdayTextFormat(Qt::Sunday, weekend);
    QTextCharFormat header;
    header.setForeground(AppTheme::withOpacity(text, 0.6));
    m_calendar->setHeaderTextFormat(header);
    const auto arrows = {std::pair{"qt_calendar_prevmonth", "chevron.left"},
                         std::pair{"qt_calendar_nextmonth", "chevron.right"}};
    for (const auto& [name, symbol] : arrows) {
        if (auto* button = m_calendar->findChild<QToolButton*>(QLatin1String(name)))
            button->setIcon(Symbols::icon(QLatin1String(symbol), 16, gold));
    }
    if (auto* month = m_calendar->findChild<QToolButton*>(QStringLiteral("qt_calendar_monthbutton")); month && month->menu())
        month->menu()->setStyleSheet(AppTheme::menuStyleSheet());
}

void DateField::showDate(const QDate& day)
{
    if (day == m_entered)
        return;
    m_entered = day;
    setDate(day);
}

bool DateField::finishEntry()
{
    if (!textNamesADay()) {
        refuse(lineEdit()->text());
        return false;
    }
    interpretText();
    const QDate day = date();
    if (day != m_entered) {
        m_entered = day;
        m_refusal.clear();
        Q_EMIT dateEntered(day);
    }
    return true;
}

bool DateField::textNamesADay()
{
    QString text = lineEdit()->text();
    int pos = lineEdit()->cursorPosition();
    if (validate(text, pos) == QValidator::Acceptable)
        return true;
    // Qt holds a short last section ("2027-01-2") as unfinished, since a digit
    // could still follow; ended there, it names that day. An emptied section
    // names none: Qt's fix-up would enter a day the keys only passed through.
    static const QRegularExpression shortSections(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    const QRegularExpressionMatch m = shortSections.match(text);
    const QDate day = m.hasMatch() ? QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()) : QDate();
    if (!day.isValid() || day < minimumDate() || day > maximumDate())
        return false;
    setDate(day);
    return true;
}

QString DateField::refusalText(const QString& typed, const QDate& kept)
{
    return QStringLiteral("没有「%1」这一天，日期仍为 %2").arg(typed, kept.toString(kFormat));
}

void DateField::refuse(const QString& typed)
{
    m_refusal = refusalText(typed, m_entered);
    m_sectionDigits.clear();
    m_sectionFilled = false;
    // The keys passed through other days on their way; none of them was entered.
    setDate(m_entered);
    QToolTip::showText(mapToGlobal(QPoint(0, height())), m_refusal, this, QRect(), 6000);
    Q_EMIT entryRefused(typed);
}

void DateField::keyPressEvent(QKeyEvent* event)
{
    QLineEdit* edit = lineEdit();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!textNamesADay()) {
            // Kept here: the refusal is the answer to this key, not the dialog's default button.
            refuse(edit->text());
            event->accept();
            return;
        }
        m_sectionFilled = false;
        QDateEdit::keyPressEvent(event);
        finishEntry();
        return;
    }
    if (isPlainKey(event) && isAsciiDigit(event->text().front())) {
        // Typing over the whole date starts over at its first section.
        if (edit->hasSelectedText() && edit->selectedText() == edit->text())
            setSelectedSection(YearSection);
        const Section section = currentSection();
        if (section != m_digitSection) {
            m_digitSection = section;
            m_sectionDigits.clear();
        }
        const QString before = edit->text();
        const int cursor = edit->cursorPosition();
        const QString selected = edit->selectedText();
        QDateEdit::keyPressEvent(event);
        if (edit->text() == before && edit->cursorPosition() == cursor && edit->selectedText() == selected) {
            QStringList parts = before.split(QLatin1Char('-'));
            const int index = sectionIndex(section);
            if (index >= 0 && index < parts.size())
                parts[index] = m_sectionDigits + event->text();
            refuse(parts.join(QLatin1Char('-')));
            return;
        }
        m_refusal.clear();
        m_sectionDigits += event->text();
        m_sectionFilled = currentSection() != section;
        if (m_sectionFilled) {
            m_digitSection = currentSection();
            m_sectionDigits.clear();
        }
        return;
    }
    if (isPlainKey(event) && isSeparator(event->text().front())) {
        // The digits already moved on to the next section: this separator
        // only closes what they filled.
        if (m_sectionFilled) {
            m_sectionFilled = false;
            event->accept();
            return;
        }
        QKeyEvent dash(event->type(), Qt::Key_Minus, event->modifiers(), QStringLiteral("-"));
        QDateEdit::keyPressEvent(&dash);
        event->setAccepted(dash.isAccepted());
        m_digitSection = currentSection();
        m_sectionDigits.clear();
        return;
    }
    m_sectionFilled = false;
    QDateEdit::keyPressEvent(event);
}

void DateField::focusOutEvent(QFocusEvent* event)
{
    // A popup (this field's own calendar, a menu) takes the keyboard only for a while.
    const bool leaving = event->reason() != Qt::PopupFocusReason;
    if (leaving && !textNamesADay())
        refuse(lineEdit()->text());
    m_sectionFilled = false;
    QDateEdit::focusOutEvent(event);
    if (leaving)
        finishEntry();
}

QAbstractSpinBox::StepEnabled DateField::stepEnabled() const
{
    // A press is never a step: with the popup on, the stock field hit-tests
    // its frame and the gap before the arrow as combo-box parts whose numbers
    // are those of the step buttons.
    return m_pressing ? StepNone : QDateEdit::stepEnabled();
}

void DateField::mousePressEvent(QMouseEvent* event)
{
    m_pressing = true;
    QDateEdit::mousePressEvent(event);
    m_pressing = false;
    // Accepted: the arrow opened the popup.
    if (event->isAccepted() || event->button() != Qt::LeftButton || !isEnabled())
        return;
    // Elsewhere on the frame: the cursor goes to the nearest place in the text.
    QLineEdit* edit = lineEdit();
    const QRect r = edit->geometry();
    const QPoint p = event->position().toPoint();
    const QPoint inside(std::clamp(p.x(), r.left(), r.right()), std::clamp(p.y(), r.top(), r.bottom()));
    setFocus(Qt::MouseFocusReason);
    edit->setCursorPosition(edit->cursorPositionAt(edit->mapFrom(this, inside)));
    event->accept();
}
