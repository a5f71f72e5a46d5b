#pragma once

#include "platform/CalendarEvent.h"
#include "platform/IcsText.h"

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

struct icalcomponent_impl;
struct _icaltimezone;

// One calendar as an iCalendar (RFC 5545) document, read with libical.
//
// Everything the document holds survives a save: it is written back from the
// text that was read, so components, properties and parameters libical does
// not know, recurrence overrides, VTIMEZONEs and the user's own alarms stay
// as they were. libical only reads values. Editing an event rewrites only
// the lines the app owns; new lines come from libical. Documents that could
// not be read as they stand (repaired or merged) are reported by `parse` so
// the store can copy the original aside first. Events are held as text:
// libical's reading of one is made when it is read and freed right after, so
// a calendar of many events takes about the size of its file.
class IcsCalendarFile
{
public:
    // The property that marks alarms added by this app.
    static constexpr const char* kAppAlarmProperty = "X-TESSARY-ALARM";
    // The property naming the order an event was written for.
    static constexpr const char* kOrderProperty = "X-TESSARY-ORDER-ID";

    // An empty calendar.
    IcsCalendarFile();
    ~IcsCalendarFile();
    IcsCalendarFile(const IcsCalendarFile&) = delete;
    IcsCalendarFile& operator=(const IcsCalendarFile&) = delete;

    // Reads a document. Returns null when the bytes hold no calendar at all.
    // Repairs that change the text (NUL bytes, components closed at a cut,
    // documents merged into one) are reported through `hadErrors`; events without a UID get a stable one
    // derived from `seed` and their content. `notVerbatim` tells that the
    // text could not be matched with what libical read, so the document will
    // be written back from libical's reading.
    static std::unique_ptr<IcsCalendarFile> parse(const QByteArray& bytes, const QString& seed, bool* hadErrors,
                                                  bool* notVerbatim = nullptr);
    QByteArray serialize() const;

    // A calendar of events libical read elsewhere (the calendar service's
    // objects), lent for the call: nothing is parsed again, and each event
    // is written out as text and read in one go, on all cores. The errors
    // libical noted in them are stripped once their text is taken. Events
    // without a UID are left out. `calendarId` names the calendar in the log.
    static std::unique_ptr<IcsCalendarFile> fromEvents(const std::vector<icalcomponent_impl*>& events,
                                                       const QString& calendarId);

    // The event libical read elsewhere, as a document holding only it would
    // give it: none for one occurrence's override or an event without a start.
    static std::optional<CalendarEvent> eventOf(icalcomponent_impl* tree, const QString& calendarId);

    QString title() const;
    void setTitle(const QString& title);
    QColor color() const;
    void setColor(const QColor& color);

    // Events with a start, as `CalendarEvent`s of calendar `calendarId`.
    QList<CalendarEvent> events(const QString& calendarId) const;
    std::optional<CalendarEvent> event(const QString& uid, const QString& calendarId) const;
    bool contains(const QString& uid) const;

    // Creates or updates the event with `event.identifier` as its UID. With
    // `keepReading`, libical's reading of what was written stays with it
    // until `takeComponents` hands it over, so sending it on reads nothing again.
    void putEvent(const CalendarEvent& event, bool keepReading = false);
    // libical's reading of every component carrying these UIDs, in order,
    // each the caller's to free: the one kept by `putEvent`, else read from
    // its text. Components that cannot be read are left out.
    std::vector<icalcomponent_impl*> takeComponents(const QStringList& uids);
    // Removes every component carrying the UID (overrides included).
    bool removeEvent(const QString& uid);

    // Every component carrying the UID as text (none when there is none), and
    // putting such text back: how uncommitted changes move onto a newer copy of
    // the document.
    std::optional<QByteArray> componentsText(const QString& uid) const;
    void replaceComponents(const QString& uid, const std::optional<QByteArray>& text);

private:
    // A component at the calendar's top level as text; events carry their UID.
    struct TreeFree {
        void operator()(icalcomponent_impl* c) const;
    };
    using Tree = std::unique_ptr<icalcomponent_impl, TreeFree>;
    // What an edit needs to know of an event as written.
    struct Decoded {
        std::optional<CalendarEvent> event; // none without a readable start
        int nextSequence = 0;
        QByteArray tzid; // of its start
        bool floating = false; // a start without TZID in wall-clock time
    };
    struct Block {
        QString uid;
        bool event = false;
        bool master = false;
        // Empty while a kept reading stands for it: written out on first use.
        mutable QByteArray text;
        // libical's reading of an event not read since it was parsed or
        // written, handed to the first reader instead of parsing the text again.
        mutable Tree tree;
        // The last reading of its text, so an edit after a read parses nothing.
        mutable std::optional<Decoded> decoded;
        // Whether readers leave `tree` in place for `takeComponents`.
        bool keepTree = false;
    };

    explicit IcsCalendarFile(icalcomponent_impl* root);
    // Pairs the text's components with libical's reading of them; false when
    // they do not match one to one.
    bool adoptText(const IcsText::Document& text);
    void textFromTree();
    std::vector<Block> blocksFor(const QByteArray& text, icalcomponent_impl* parsed, const QString& uid) const;
    void setHeaderProperty(const char* name, const QString& value);
    void addTimeZone(const QByteArray& tzid, _icaltimezone* zone);
    qsizetype masterBlock(const QString& uid) const;
    // libical's reading of an event block: the one kept, else parsed from its
    // text; null when the text cannot be read as an event.
    Tree takeTree(const Block& block) const;
    const QByteArray& textOf(const Block& block) const;
    // The block's reading, kept for the next edit; none when its text cannot
    // be read as an event. Times in zones no one knows go to `unknownZones`.
    const Decoded* decodedBlock(const Block& block, QSet<QByteArray>* unknownZones) const;
    std::optional<Decoded> decode(icalcomponent_impl* ev, QSet<QByteArray>* unknownZones) const;
    // Hands the events still in `m_root` over to their blocks, in order.
    void detachEvents();
    // The positions in `m_blocks` of the event blocks carrying `uid`, in
    // order, from an index built on first use: appends keep it up to date,
    // any other change of the list drops it.
    const QList<qsizetype>& blocksOf(const QString& uid) const;
    void appendBlock(Block block);
    void dropBlockIndex() { m_blockIndexValid = false; }
    // Once per document: times in zones no one knows are read as local time.
    void noteUnknownZones(const QSet<QByteArray>& zones, const QString& calendarId) const;

    icalcomponent_impl* m_root;
    QList<IcsText::Item> m_header;
    std::vector<Block> m_blocks;
    mutable bool m_unknownZonesLogged = false;
    mutable QHash<QString, QList<qsizetype>> m_blockIndex;
    mutable bool m_blockIndexValid = false;
};
