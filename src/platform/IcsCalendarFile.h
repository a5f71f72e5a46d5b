#pragma once

#include "platform/CalendarEvent.h"

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

struct icalcomponent_impl;

// One calendar as an iCalendar (RFC 5545) document, held in libical.
//
// Everything the document holds survives a save: properties and components
// this app does not know, recurrence overrides, VTIMEZONEs and the user's own
// alarms. Editing an event touches only the properties the app owns. Only
// lines libical cannot read are dropped, and `parse` reports them so the store
// can copy the original aside first.
class IcsCalendarFile
{
public:
    // The property that marks alarms added by this app.
    static constexpr const char* kAppAlarmProperty = "X-TESSARY-ALARM";

    // An empty calendar.
    IcsCalendarFile();
    ~IcsCalendarFile();
    IcsCalendarFile(const IcsCalendarFile&) = delete;
    IcsCalendarFile& operator=(const IcsCalendarFile&) = delete;

    // Reads a document. Returns null when the bytes hold no calendar at all.
    // Lines libical could not read, NUL bytes and documents merged into one
    // are reported through `hadErrors`; events without a UID get a stable one
    // derived from `seed` and their content.
    static std::unique_ptr<IcsCalendarFile> parse(const QByteArray& bytes, const QString& seed, bool* hadErrors);
    QByteArray serialize() const;

    QString title() const;
    void setTitle(const QString& title);
    QColor color() const;
    void setColor(const QColor& color);

    // Events with a start, as `CalendarEvent`s of calendar `calendarId`.
    QList<CalendarEvent> events(const QString& calendarId) const;
    std::optional<CalendarEvent> event(const QString& uid, const QString& calendarId) const;
    bool contains(const QString& uid) const;

    // Creates or updates the event with `event.identifier` as its UID.
    void putEvent(const CalendarEvent& event);
    // Removes every component carrying the UID (overrides included).
    bool removeEvent(const QString& uid);

    // Every component carrying the UID as text (none when there is none), and
    // putting such text back: how uncommitted changes move onto a newer copy of
    // the document.
    std::optional<QByteArray> componentsText(const QString& uid) const;
    void replaceComponents(const QString& uid, const std::optional<QByteArray>& text);

private:
    explicit IcsCalendarFile(icalcomponent_impl* root);
    icalcomponent_impl* m_root;
};
