#pragma once

#include <QString>

// Kinds of calendar account, numbered as the order book's source choice expects.
enum class CalendarSourceType {
    Local = 0,
    Exchange = 1,
    CalDAV = 2,
    MobileMe = 3,
    Subscribed = 4,
    Birthdays = 5,
};

// The account a calendar belongs to. On Linux every calendar file lives in the
// one local source.
struct CalendarSource {
    QString identifier;
    CalendarSourceType type = CalendarSourceType::Local;
    QString title;

    bool operator==(const CalendarSource&) const = default;
};
