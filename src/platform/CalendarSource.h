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

// The account a calendar belongs to: an online account, or this computer
// (where every calendar file of the file store lives).
struct CalendarSource {
    QString identifier;
    CalendarSourceType type = CalendarSourceType::Local;
    QString title;

    // Whether calendars of this account sync with a server, and so reach the
    // user's other devices; calendars on this computer stay here.
    bool syncsOnline() const
    {
        return type == CalendarSourceType::CalDAV || type == CalendarSourceType::Exchange
            || type == CalendarSourceType::MobileMe;
    }

    bool operator==(const CalendarSource&) const = default;
};
