#include "platform/IcsCalendarFile.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <libical/ical.h>

namespace {

QByteArray textOf(icalcomponent* c)
{
    char* raw = icalcomponent_as_ical_string_r(c);
    const QByteArray out(raw);
    free(raw);
    return out;
}

CalendarEvent shoot(const QString& uid, const QString& title)
{
    CalendarEvent e;
    e.identifier = uid;
    e.title = title;
    e.startDate = QDateTime(QDate(2027, 3, 10), QTime(14, 0), Qt::UTC);
    e.endDate = e.startDate.addSecs(7200);
    e.addAlarm(CalendarAlarm::atDate(e.startDate.addDays(-1)));
    return e;
}

}

// An event read elsewhere reads as the same event a document of its text gives.
TEST(CalendarIcsReadingTest, AReadingFromElsewhereReadsAsItsText)
{
    const struct {
        const char* name;
        QByteArray vevent;
    } cases[] = {
        {"ours", "BEGIN:VEVENT\r\nUID:a\r\nDTSTART:20270310T140000Z\r\nDTEND:20270310T160000Z\r\nSUMMARY:张三\r\n"
                 "X-TESSARY-ORDER-ID:0A\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER;VALUE=DATE-TIME:20270309T140000Z\r\n"
                 "X-TESSARY-ALARM:TRUE\r\nEND:VALARM\r\nEND:VEVENT\r\n"},
        {"zoned, the user's alarm", "BEGIN:VEVENT\r\nUID:b\r\nDTSTART;TZID=Europe/Paris:20270310T100000\r\n"
                                    "DURATION:PT1H\r\nBEGIN:VALARM\r\nACTION:AUDIO\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\nEND:VEVENT\r\n"},
        {"one occurrence", "BEGIN:VEVENT\r\nUID:c\r\nRECURRENCE-ID:20270317T140000Z\r\nDTSTART:20270318T140000Z\r\n"
                           "END:VEVENT\r\n"},
        {"no start", "BEGIN:VEVENT\r\nUID:d\r\nSUMMARY:无时间\r\nEND:VEVENT\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        icalcomponent* tree = icalparser_parse_string(c.vevent.constData());
        ASSERT_TRUE(tree);
        const std::unique_ptr<IcsCalendarFile> doc =
            IcsCalendarFile::parse("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + c.vevent + "END:VCALENDAR\r\n", "seed", nullptr);
        ASSERT_TRUE(doc);
        const QString uid = QString::fromUtf8(icalcomponent_get_uid(tree));
        EXPECT_EQ(IcsCalendarFile::eventOf(tree, "cal"), doc->event(uid, "cal"));
        icalcomponent_free(tree);
    }
}

// What the mirror hands over for sending is what it holds, whether it kept
// its reading or reads the text again, and reading the event first takes nothing.
TEST(CalendarIcsReadingTest, HandedOverComponentsAreWhatTheDocumentHolds)
{
    IcsCalendarFile doc;
    doc.putEvent(shoot("kept", "留着读"), true);
    doc.putEvent(shoot("plain", "不留"), false);
    CalendarEvent edited = shoot("edited", "原来");
    doc.putEvent(edited, true);
    edited.title = "改过";
    doc.putEvent(edited, true);
    for (const char* uid : {"kept", "plain", "edited"}) {
        SCOPED_TRACE(uid);
        const std::optional<CalendarEvent> before = doc.event(uid, "cal");
        ASSERT_TRUE(before);
        std::vector<icalcomponent*> taken = doc.takeComponents({uid});
        ASSERT_EQ(taken.size(), 1u);
        EXPECT_EQ(textOf(taken.front()), doc.componentsText(uid));
        EXPECT_EQ(IcsCalendarFile::eventOf(taken.front(), "cal"), before);
        icalcomponent_free(taken.front());
        // Taken once, the text still serves.
        taken = doc.takeComponents({uid});
        ASSERT_EQ(taken.size(), 1u);
        EXPECT_EQ(IcsCalendarFile::eventOf(taken.front(), "cal"), before);
        icalcomponent_free(taken.front());
        EXPECT_EQ(doc.event(uid, "cal"), before);
    }
    EXPECT_EQ(doc.event("edited", "cal")->title, "改过");
    EXPECT_TRUE(doc.takeComponents({"none"}).empty());
}
