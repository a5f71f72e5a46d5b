#pragma once

#include "orderbook/ParsedOrderFields.h"
#include "orderbook/ShootEvent.h"

#include <optional>

// Reads order fields from a calendar event: the notes this app writes for its
// own events ("张三-13800000000-定金300"), or free text typed by the user with
// labels, a phone number, package words and amounts anywhere. Pure and
// stateless; safe on any thread.
class CalendarEventParser
{
public:
    CalendarEventParser() = delete;

    static ParsedOrderFields parse(const ShootEvent& event);
    // Whether the notes are the ones this app writes for its own events.
    static bool isOwnNotes(const std::optional<QString>& notes);

    // Only so much of each text is read: a pasted novel must not stall the
    // calendar refresh.
    static constexpr int maxTextLength = 16384;

    // Whether the whole text is one finite floating-point number ("300",
    // "-1.5e3", "0x1p4"); no leading blank, no inf or nan.
    static std::optional<double> readNumber(const QString& text);

private:
    static QString extractPrefixedFields(const QString& text, ParsedOrderFields& result);
    static std::optional<QString> extractPhoneFromText(const QString& text);
    static std::optional<double> extractDepositFromText(const QString& text);
    static bool isValidName(const QString& text);
};
