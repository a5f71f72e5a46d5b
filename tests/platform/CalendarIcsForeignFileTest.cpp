#include "PlatformTestFiles.h"

#include "platform/IcsCalendarStore.h"

#include <gtest/gtest.h>

using namespace PlatformTestFiles;

namespace {

// Calendar files as other programs write them, opened by the store.
class CalendarIcsForeignFileTest : public ::testing::Test
{
protected:
    QString path = calendarFolder() + "/FOREIGN.ics";

    QByteArray open(const QStringList& components)
    {
        const QByteArray bytes = ics(QStringList{"BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Other//EN",
                                                 "X-WR-CALNAME:外来"}
                                     + components + QStringList{"END:VCALENDAR"});
        rewriteInPlace(path, bytes);
        store = std::make_unique<IcsCalendarStore>(calendarFolder());
        return bytes;
    }
    void addEvent()
    {
        CalendarEvent e = makeEvent(*store->calendar("FOREIGN"), "新订单", at(2027, 5, 1, 10));
        ASSERT_TRUE(store->saveEvent(e));
    }

    std::unique_ptr<IcsCalendarStore> store;
};

}

TEST_F(CalendarIcsForeignFileTest, UnknownComponentsAndParametersSurviveRewrites)
{
    const QStringList known = {
        "BEGIN:VEVENT", "UID:known", "DTSTART:20270301T020000Z", "SUMMARY;FOO=bar;NEWLINE=:带参数",
        "ATTENDEE;MEMBER=\"mailto:g1@example.invalid\",\"mailto:g2@example.invalid\";DELEGATED-TO=\"mailto:a@"
        "example.invalid\",\"mailto:b@example.invalid\";DELEGATED-FROM=\"mailto:c@example.invalid\",\"mailto:d@"
        "example.invalid\":mailto:me@example.invalid",
        "BEGIN:X-VENDOR-NOTE", "X-TEXT:inside", "END:X-VENDOR-NOTE",
        "BEGIN:VLOCATION", "UID:loc-1", "NAME:影棚", "END:VLOCATION", "END:VEVENT"};
    const QStringList unknown = {"BEGIN:UNKNOWN", "FOO:bar", "END:UNKNOWN"};
    const QByteArray original = open(known + unknown);

    addEvent();
    EXPECT_TRUE(read(path).contains(ics(known + unknown))) << read(path).constData();

    retitle(*store, "known", "改名");
    const QByteArray edited = read(path);
    for (const QString& line : known + unknown) {
        if (!line.startsWith("SUMMARY"))
            EXPECT_TRUE(edited.contains(line.toUtf8() + "\r\n")) << qPrintable(line);
    }
    EXPECT_EQ(IcsCalendarStore(calendarFolder()).event("known")->title, "改名");
    EXPECT_TRUE(asideCopies(calendarFolder(), "FOREIGN.ics.*").isEmpty()); // nothing was lost to keep aside
}
