#include "ical/ICalendarCodec.h"

#include "common/DateValue.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

using namespace kestrivel;

namespace {

std::string calendar(const std::string& events) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//ABC Corporation//NONSGML My Product//EN\r\n" +
           events + "END:VCALENDAR\r\n";
}

// Tests read times as a user in Berlin would, whatever the machine's zone.
void inBerlin() {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
}

struct RoundTrip {
    TMemo Memo;
    const char* Lines; // lines the object must hold, as RFC 5545 writes them
};

TEST(ICalendarCodec, MemosTravelThereAndBackExactly) {
    const RoundTrip cases[] = {
        {{DateOf(2024, 1, 5), "Dentist", mtSingle}, "DTSTART;VALUE=DATE:20240105\r\nSUMMARY:Dentist\r\n"},
        {{DateOf(2024, 1, 5), "Gym;6 pm, hall", mtWeekly},
         "SUMMARY:Gym\\n6 pm\\, hall\r\nRRULE:FREQ=WEEKLY\r\n"},
        {{DateOf(2026, 2, 28), "Rent\\flat", mtMonthly}, "SUMMARY:Rent\\\\flat\r\nRRULE:FREQ=MONTHLY\r\n"},
        {{DateOf(1980, 5, 17), "Ünïcödé", mtYearly}, "DTSTART;VALUE=DATE:19800517\r\n"},
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
    EXPECT_EQ(EncodeEventMemo({DateOf(3001, 1, 1), "x", mtSingle}, "u", 0), "");
    EXPECT_EQ(EncodeEventMemo({DateOf(2024, 1, 1), "x", 4}, "u", 0), "");
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
    inBerlin();
    const TMemo jazz{DateOf(2007, 6, 28), "Jazz", mtSingle};
    const Reading cases[] = {
        // CLASS, CATEGORIES and TRANSP say what a memo cannot.
        {"yearly all-day",
         calendar(kAnniversary),
         true,
         {DateOf(1997, 11, 2), "Our Blissful Anniversary", mtYearly},
         false},
        // A memo would read its ";" as a line break.
        {"a semicolon of its own",
         calendar(oneDay("", "Tea\\; cake")),
         true,
         {DateOf(2007, 6, 28), "Tea; cake", mtSingle},
         false},
        {"kept track of",
         calendar(oneDay("SEQUENCE:4\r\nCREATED:20070423T123432Z\r\nLAST-MODIFIED:20070423T123432Z\r\n")),
         true, jazz, true},
        {"with an alarm",
         calendar(
             oneDay("BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n")),
         true, jazz, false},
        {"with a location", calendar(oneDay("LOCATION:Hall\r\n")), true, jazz, false},
        {"with an X- property", calendar(oneDay("X-MOZ-GENERATION:3\r\n")), true, jazz, false},
        {"ends the next day", calendar(oneDay("DTEND;VALUE=DATE:20070629\r\n")), true, jazz, true},
        {"lasts one day", calendar(oneDay("DURATION:P1D\r\n")), true, jazz, true},
        {"eleven days", calendar(oneDay("DTEND;VALUE=DATE:20070709\r\n")), true, jazz, false},
        {"timed", calendar(kReview), true, {DateOf(1997, 9, 3), "Annual Employee Review", mtSingle}, false},
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
        // Longer than the editor takes: kept whole, as the sync may have written it.
        {"long text",
         calendar(oneDay("", std::string(411, 'x'))),
         true,
         {jazz.Date, std::string(411, 'x'), 0},
         true},
        {"text cut",
         calendar(oneDay("", std::string(70000, 'x'))),
         true,
         {jazz.Date, std::string(65536, 'x'), 0},
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

std::string startingAt(const std::string& start, const std::string& rule = "") {
    return calendar("BEGIN:VEVENT\r\nUID:t@example.com\r\nDTSTAMP:20260101T000000Z\r\n" + start + "\r\n" +
                    rule + "SUMMARY:T\r\nEND:VEVENT\r\n");
}

// A zone of its own name and offsets: the object's VTIMEZONE, not the system's data, decides.
const std::string kFarEast =
    "BEGIN:VTIMEZONE\r\nTZID:Far East\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
    "TZOFFSETFROM:+1400\r\nTZOFFSETTO:+1400\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

std::string swapped(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

struct DayCase {
    const char* Name;
    std::string Data;
    TMemo Memo; // the date and type read; the text is always "T"
    bool Exact;
};

// An event falls on the local date of its start; a rule that repeats exactly as a plain repeat
// reads as that repeat. Dates worked out by hand for Europe/Berlin (UTC+1 in winter).
TEST(ICalendarCodec, ReadsTheDayAndRepeatOtherCalendarsShow) {
    inBerlin();
    const TDateValue dec25 = DateOf(2026, 12, 25), dec26 = DateOf(2026, 12, 26);
    const DayCase cases[] = {
        {"UTC late evening", startingAt("DTSTART:20261225T233000Z"), {dec26, "T", mtSingle}, false},
        {"system zone",
         startingAt("DTSTART;TZID=America/New_York:20261225T200000"),
         {dec26, "T", mtSingle},
         false},
        {"object's zone",
         calendar(kFarEast + "BEGIN:VEVENT\r\nUID:t\r\nDTSTART;TZID=Far East:20261226T080000\r\nSUMMARY:T\r\n"
                             "END:VEVENT\r\n"),
         {dec25, "T", mtSingle},
         false},
        // A zone whose offsets change every second would never be worked out: its rule is not
        // followed, and its last observance's offset (+14:00) stands.
        {"object's zone that never ends",
         calendar(
             swapped(kFarEast, "TZOFFSETTO:+1400\r\n", "TZOFFSETTO:+1400\r\nRRULE:FREQ=SECONDLY\r\n") +
             "BEGIN:VEVENT\r\nUID:t\r\nDTSTART;TZID=Far East:20261226T080000\r\nSUMMARY:T\r\nEND:VEVENT\r\n"),
         {dec25, "T", mtSingle},
         false},
        {"floating", startingAt("DTSTART:20261225T233000"), {dec25, "T", mtSingle}, false},
        {"unknown zone as written",
         startingAt("DTSTART;TZID=Nowhere/Atlantis:20261225T233000"),
         {dec25, "T", 0},
         false},
        // 16 December 2026 is a Wednesday.
        {"weekly on its weekday",
         startingAt("DTSTART;VALUE=DATE:20261216", "RRULE:FREQ=WEEKLY;BYDAY=WE\r\n"),
         {DateOf(2026, 12, 16), "T", mtWeekly},
         true},
        {"weekly with a week start",
         startingAt("DTSTART;VALUE=DATE:20261216", "RRULE:FREQ=WEEKLY;WKST=SU;BYDAY=WE\r\n"),
         {DateOf(2026, 12, 16), "T", mtWeekly},
         true},
        {"monthly on its day",
         startingAt("DTSTART;VALUE=DATE:20261217", "RRULE:FREQ=MONTHLY;BYMONTHDAY=17\r\n"),
         {DateOf(2026, 12, 17), "T", mtMonthly},
         true},
        {"yearly on its month and day",
         startingAt("DTSTART;VALUE=DATE:20261218", "RRULE:FREQ=YEARLY;BYMONTH=12;BYMONTHDAY=18\r\n"),
         {DateOf(2026, 12, 18), "T", mtYearly},
         true},
        {"yearly in its month",
         startingAt("DTSTART;VALUE=DATE:20261218", "RRULE:FREQ=YEARLY;BYMONTH=12\r\n"),
         {DateOf(2026, 12, 18), "T", mtYearly},
         true},
        {"weekly on another weekday",
         startingAt("DTSTART;VALUE=DATE:20261216", "RRULE:FREQ=WEEKLY;BYDAY=TH\r\n"),
         {DateOf(2026, 12, 16), "T", mtSingle},
         false},
        {"weekly on two days",
         startingAt("DTSTART;VALUE=DATE:20261216", "RRULE:FREQ=WEEKLY;BYDAY=MO,WE\r\n"),
         {DateOf(2026, 12, 16), "T", mtSingle},
         false},
        {"every third Wednesday",
         startingAt("DTSTART;VALUE=DATE:20261216", "RRULE:FREQ=MONTHLY;BYDAY=3WE\r\n"),
         {DateOf(2026, 12, 16), "T", mtSingle},
         false},
        {"yearly day of every month",
         startingAt("DTSTART;VALUE=DATE:20261218", "RRULE:FREQ=YEARLY;BYMONTHDAY=18\r\n"),
         {DateOf(2026, 12, 18), "T", mtSingle},
         false},
        {"six weeks",
         startingAt("DTSTART;VALUE=DATE:20261216", "RRULE:FREQ=WEEKLY;BYDAY=WE;COUNT=6\r\n"),
         {DateOf(2026, 12, 16), "T", mtSingle},
         false},
        // The rule's weekday is the start's as written (UTC); the memo falls on the local day after.
        {"weekly late in UTC",
         startingAt("DTSTART:20261216T233000Z", "RRULE:FREQ=WEEKLY;BYDAY=WE\r\n"),
         {DateOf(2026, 12, 17), "T", mtWeekly},
         false},
    };
    for (const DayCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TEventMemo read;
        ASSERT_TRUE(DecodeEventMemo(c.Data, read));
        EXPECT_EQ(DecodeDate(read.Memo.Date), DecodeDate(c.Memo.Date));
        EXPECT_EQ(read.Memo.MemoType, c.Memo.MemoType);
        EXPECT_EQ(read.Exact, c.Exact);
    }
}

// A phone's event: folded lines, parameters, an alarm, an X- property, its own sequence.
const std::string kPhoneHead = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Phone//EN\r\n" + kFarEast;
const std::string kPhoneEvent =
    "BEGIN:VEVENT\r\nUID:mum@phone\r\nDTSTAMP:20260101T000000Z\r\n"
    "DTSTART;TZID=Far East:20260310T100000\r\nDTEND;TZID=Far East:20260310T113000\r\n"
    "RRULE:FREQ=WEEKLY;COUNT=6\r\nSUMMARY;LANGUAGE=de:Mum birthday\r\n"
    "DESCRIPTION:A long description that a phone folds at seventy-five octets as RF\r\n C 5545 says\r\n"
    "LOCATION:Berlin\\, Mitte\r\nSEQUENCE:2\r\nX-PHONE-COLOUR:red\r\n"
    "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n"
    "END:VEVENT\r\n";
// One changed occurrence, before its master.
const std::string kMoved =
    "BEGIN:VEVENT\r\nUID:mum@phone\r\nRECURRENCE-ID;TZID=Far East:20260317T100000\r\n"
    "DTSTART;TZID=Far East:20260318T100000\r\nSUMMARY:Moved\r\nSEQUENCE:1\r\nEND:VEVENT\r\n";
const std::string kNewStamp = "DTSTAMP:20260401T120000Z\r\n";
const std::string kNewModified = "LAST-MODIFIED:20260401T120000Z\r\n";
constexpr int64_t kApril1Noon = 1775044800; // 2026-04-01 12:00:00 UTC

struct PatchCase {
    const char* Name;
    std::string Data;
    TMemo Memo;
    std::string Expected; // empty: nothing may be written
};

// Only the edited property changes, SEQUENCE goes up, DTSTAMP and LAST-MODIFIED are renewed; every
// other byte stays as the server sent it.
TEST(ICalendarCodec, PatchesOnlyWhatTheMemoChanged) {
    inBerlin();
    const std::string phone = kPhoneHead + kPhoneEvent + "END:VCALENDAR\r\n";
    const std::string stamped = swapped(swapped(phone, "DTSTAMP:20260101T000000Z\r\n", kNewStamp),
                                        "SEQUENCE:2\r\n", "SEQUENCE:3\r\n");
    const std::string done =
        swapped(stamped, "END:VALARM\r\nEND:VEVENT", "END:VALARM\r\n" + kNewModified + "END:VEVENT");
    // 10:00 at +14:00 is 21:00 the evening before in Berlin.
    const TDateValue day = DateOf(2026, 3, 9);
    const std::string bare = startingAt("DTSTART;VALUE=DATE:20260309");
    const std::string exceptions =
        "EXDATE;TZID=Far East:20260324T100000\r\nRDATE;TZID=Far East:20260402T100000\r\n";
    const std::string repeating = swapped(phone, "SEQUENCE:2\r\n", exceptions + "SEQUENCE:2\r\n");
    const std::string hugeSequence = swapped(phone, "SEQUENCE:2", "SEQUENCE:" + std::string(20 << 20, '7'));
    const PatchCase cases[] = {
        {"text",
         phone,
         {day, "Mum's birthday;cake", mtSingle},
         swapped(done, "SUMMARY;LANGUAGE=de:Mum birthday", "SUMMARY;LANGUAGE=de:Mum's birthday\\ncake")},
        {"type",
         phone,
         {day, "Mum birthday", mtMonthly},
         swapped(done, "FREQ=WEEKLY;COUNT=6", "FREQ=MONTHLY")},
        // 10 March 2026 is a Tuesday: a plain weekly repeat, read as one.
        {"type to single",
         swapped(phone, "COUNT=6", "BYDAY=TU"),
         {day, "Mum birthday", mtSingle},
         swapped(done, "RRULE:FREQ=WEEKLY;COUNT=6\r\n", "")},
        {"a rule read as single stays", phone, {day, "Mum birthday", mtSingle}, done},
        {"a changed occurrence stays",
         kPhoneHead + kMoved + kPhoneEvent + "END:VCALENDAR\r\n",
         {day, "Birthday", mtSingle},
         kPhoneHead + kMoved +
             swapped(done.substr(kPhoneHead.size()), "SUMMARY;LANGUAGE=de:Mum birthday",
                     "SUMMARY;LANGUAGE=de:Birthday")},
        {"missing lines added",
         bare,
         {day, "T2", mtYearly},
         swapped(swapped(bare, "DTSTAMP:20260101T000000Z\r\n", kNewStamp), "SUMMARY:T\r\nEND:VEVENT",
                 "SUMMARY:T2\r\nRRULE:FREQ=YEARLY\r\nSEQUENCE:1\r\n" + kNewModified + "END:VEVENT")},
        // The old repeat's exceptions, extra dates and changed occurrences go with its rule.
        {"type with exceptions",
         kPhoneHead + kMoved +
             swapped(repeating.substr(kPhoneHead.size()), "END:VCALENDAR", kMoved + "END:VCALENDAR"),
         {day, "Mum birthday", mtMonthly},
         swapped(done, "FREQ=WEEKLY;COUNT=6", "FREQ=MONTHLY")},
        {"text keeps exceptions",
         repeating,
         {day, "Cake", mtSingle},
         swapped(swapped(done, "SEQUENCE:3\r\n", exceptions + "SEQUENCE:3\r\n"), "Mum birthday", "Cake")},
        {"a sequence of 20 MB",
         hugeSequence,
         {day, "Cake", mtSingle},
         swapped(swapped(done, "SEQUENCE:3", "SEQUENCE:2147483647"), "Mum birthday", "Cake")},
        {"another date", phone, {day + 1, "Mum birthday", mtSingle}, ""},
        {"unknown type", phone, {day, "Mum birthday", 4}, ""},
        {"not iCalendar", "<html>404</html>", {day, "x", mtSingle}, ""},
    };
    for (const PatchCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(PatchEventMemo(c.Data, c.Memo, kApril1Noon), c.Expected);
    }
}

} // namespace

namespace {

// Whether a memo falls on exactly the event's days: what decides between a memo and an event drawn
// beside the memos, seen from Berlin.
TEST(ICalendarCodec, SaysWhetherTheMemoFallsOnTheEventsDays) {
    inBerlin();
    const auto event = [](const std::string& lines) {
        return calendar("BEGIN:VEVENT\r\nUID:d\r\nDTSTAMP:20260101T000000Z\r\n" + lines +
                        "SUMMARY:x\r\nEND:VEVENT\r\n");
    };
    const struct {
        const char* Name;
        std::string Data;
        bool ExactDays;
    } cases[] = {
        {"a timed single event", event("DTSTART;TZID=America/New_York:20260306T183000\r\n"), true},
        {"a timed weekly event in the local zone",
         event("DTSTART;TZID=Europe/Berlin:20260105T090000\r\nRRULE:FREQ=WEEKLY\r\n"), true},
        // 00:30 on Saturdays here, 23:30 on Fridays in the weeks only New York keeps summer time.
        {"a weekly event whose day drifts with one side's summer time",
         event("DTSTART;TZID=America/New_York:20260102T183000\r\nRRULE:FREQ=WEEKLY\r\n"), false},
        {"a weekly list of days", event("DTSTART;VALUE=DATE:20260105\r\nRRULE:FREQ=WEEKLY;BYDAY=MO,TH\r\n"),
         false},
        {"an end", event("DTSTART;VALUE=DATE:20260105\r\nRRULE:FREQ=WEEKLY;COUNT=3\r\n"), false},
        {"an exception",
         event("DTSTART;VALUE=DATE:20260105\r\nRRULE:FREQ=WEEKLY\r\nEXDATE;VALUE=DATE:20260112\r\n"), false},
        {"a cancelled event", event("DTSTART;VALUE=DATE:20260105\r\nSTATUS:CANCELLED\r\n"), false},
        {"an alarm says nothing of the days",
         event("DTSTART;VALUE=DATE:20260105\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT5M\r\nEND:"
               "VALARM\r\n"),
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TEventMemo read;
        ASSERT_TRUE(DecodeEventMemo(c.Data, read));
        EXPECT_EQ(read.ExactDays, c.ExactDays);
    }
}

} // namespace
