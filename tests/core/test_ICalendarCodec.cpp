#include "ical/ICalendarCodec.h"

#include "common/DateValue.h"

#include <gtest/gtest.h>

#include <string>

using namespace kestrivel;

namespace {

TDateValue date(int y, int m, int d) {
    TDateValue value = 0;
    EXPECT_TRUE(TryEncodeDate(y, m, d, value));
    return value;
}

std::string calendar(const std::string& events) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//ABC Corporation//NONSGML My Product//EN\r\n" +
           events + "END:VCALENDAR\r\n";
}

struct RoundTrip {
    TMemo Memo;
    const char* Lines; // lines the object must hold, as RFC 5545 writes them
};

TEST(ICalendarCodec, MemosTravelThereAndBackExactly) {
    const RoundTrip cases[] = {
        {{date(2024, 1, 5), "Dentist", mtSingle}, "DTSTART;VALUE=DATE:20240105\r\nSUMMARY:Dentist\r\n"},
        {{date(2024, 1, 5), "Gym;6 pm, hall", mtWeekly},
         "SUMMARY:Gym\\n6 pm\\, hall\r\nRRULE:FREQ=WEEKLY\r\n"},
        {{date(2026, 2, 28), "Rent\\flat", mtMonthly}, "SUMMARY:Rent\\\\flat\r\nRRULE:FREQ=MONTHLY\r\n"},
        {{date(1980, 5, 17), "Ünïcödé", mtYearly}, "DTSTART;VALUE=DATE:19800517\r\n"},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.Memo.Text);
        const std::string data = EncodeEventMemo(c.Memo, "kestrivel-x-1", 1704412800);
        EXPECT_NE(data.find(c.Lines), std::string::npos) << data;
        EXPECT_NE(data.find("\r\nUID:kestrivel-x-1\r\nDTSTAMP:20240105T000000Z\r\n"), std::string::npos);
        TEventMemo read;
        ASSERT_TRUE(DecodeEventMemo(data, read));
        EXPECT_EQ(read.Memo.Date, c.Memo.Date);
        EXPECT_EQ(read.Memo.MemoType, c.Memo.MemoType);
        EXPECT_EQ(read.Memo.Text, c.Memo.Text);
        EXPECT_EQ(read.Uid, "kestrivel-x-1");
        EXPECT_TRUE(read.Exact);
    }
    // No valid date, no known type, or after the year 3000: nothing to send.
    EXPECT_EQ(EncodeEventMemo({date(3001, 1, 1), "x", mtSingle}, "u", 0), "");
    EXPECT_EQ(EncodeEventMemo({date(2024, 1, 1), "x", 4}, "u", 0), "");
    EXPECT_EQ(EncodeEventMemo({1e9, "x", mtSingle}, "u", 0), "");
}

struct Reading {
    const char* Name;
    std::string Data;
    bool Decoded;
    TMemo Memo;
    bool Exact;
};

// Events from RFC 5545's examples (3.6.1, 3.8.5.3) and what other clients write.
const std::string kAnniversary = "BEGIN:VEVENT\r\nUID:19970901T130000Z-123403@example.com\r\n"
                                 "DTSTAMP:19970901T130000Z\r\nDTSTART;VALUE=DATE:19971102\r\n"
                                 "SUMMARY:Our Blissful Anniversary\r\nTRANSP:TRANSPARENT\r\n"
                                 "CLASS:CONFIDENTIAL\r\nCATEGORIES:ANNIVERSARY,PERSONAL,SPECIAL OCCASION\r\n"
                                 "RRULE:FREQ=YEARLY\r\nEND:VEVENT\r\n";
const std::string kReview =
    "BEGIN:VEVENT\r\nUID:19970901T130000Z-123401@example.com\r\n"
    "DTSTAMP:19970901T130000Z\r\nDTSTART:19970903T163000Z\r\nDTEND:19970903T190000Z\r\n"
    "SUMMARY:Annual Employee Review\r\nCLASS:PRIVATE\r\nEND:VEVENT\r\n";

std::string oneDay(const std::string& extra, const std::string& summary = "Jazz") {
    return "BEGIN:VEVENT\r\nUID:j@example.com\r\nDTSTAMP:20070423T123432Z\r\nDTSTART;VALUE=DATE:"
           "20070628\r\n" +
           extra + "SUMMARY:" + summary + "\r\nEND:VEVENT\r\n";
}

TEST(ICalendarCodec, ReadsWhatOthersWriteAndSaysWhatIsLeftOut) {
    const TMemo jazz{date(2007, 6, 28), "Jazz", mtSingle};
    const Reading cases[] = {
        {"yearly all-day",
         calendar(kAnniversary),
         true,
         {date(1997, 11, 2), "Our Blissful Anniversary", mtYearly},
         true},
        {"ends the next day", calendar(oneDay("DTEND;VALUE=DATE:20070629\r\n")), true, jazz, true},
        {"lasts one day", calendar(oneDay("DURATION:P1D\r\n")), true, jazz, true},
        {"eleven days", calendar(oneDay("DTEND;VALUE=DATE:20070709\r\n")), true, jazz, false},
        {"timed", calendar(kReview), true, {date(1997, 9, 3), "Annual Employee Review", mtSingle}, false},
        {"every other week", calendar(oneDay("RRULE:FREQ=WEEKLY;INTERVAL=2\r\n")), true, jazz, false},
        {"ten days", calendar(oneDay("RRULE:FREQ=DAILY;COUNT=10\r\n")), true, jazz, false},
        {"with exceptions", calendar(oneDay("RRULE:FREQ=YEARLY\r\nEXDATE;VALUE=DATE:20080628\r\n")), true,
         jazz, false},
        {"changed occurrence first",
         calendar(oneDay("RECURRENCE-ID;VALUE=DATE:20080628\r\n", "Moved") + oneDay("RRULE:FREQ=YEARLY\r\n")),
         true,
         {jazz.Date, "Jazz", mtYearly},
         false},
        {"two events", calendar(oneDay("") + oneDay("", "Blues")), true, jazz, false},
        {"text cut",
         calendar(oneDay("", std::string(300, 'x'))),
         true,
         {jazz.Date, std::string(255, 'x'), 0},
         false},
        {"no start", calendar("BEGIN:VEVENT\r\nUID:a\r\nSUMMARY:x\r\nEND:VEVENT\r\n"), false, {}, false},
        {"after 3000",
         calendar("BEGIN:VEVENT\r\nUID:a\r\nDTSTART;VALUE=DATE:30010101\r\nEND:VEVENT\r\n"),
         false,
         {},
         false},
        {"to-do only",
         calendar("BEGIN:VTODO\r\nUID:a\r\nDTSTART;VALUE=DATE:20070628\r\nEND:VTODO\r\n"),
         false,
         {},
         false},
        {"not closed", "BEGIN:VCALENDAR\r\n" + oneDay(""), false, {}, false},
        {"not iCalendar", "<html>404</html>", false, {}, false},
    };
    for (const Reading& c : cases) {
        SCOPED_TRACE(c.Name);
        TEventMemo read;
        ASSERT_EQ(DecodeEventMemo(c.Data, read), c.Decoded);
        if (c.Decoded) {
            EXPECT_EQ(read.Memo.Date, c.Memo.Date);
            EXPECT_EQ(read.Memo.MemoType, c.Memo.MemoType);
            EXPECT_EQ(read.Memo.Text, c.Memo.Text);
            EXPECT_EQ(read.Exact, c.Exact);
        }
    }
}

} // namespace
