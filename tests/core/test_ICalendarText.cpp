#include "memos/ICalendarText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrivel;

// Lines end with CR LF, LF or CR; the last needs no line break.
TEST(ICalendarText, LinesEndWithAnyLineBreak) {
    const struct {
        const char* name;
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"LF", "a\nb", {"a", "b"}},
        {"CR", "a\rb\r", {"a", "b"}},
        {"CR CR LF", "a\r\r\nb", {"a", "", "b"}},
        {"empty lines", "\n\na", {"", "", "a"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> lines;
        for (size_t pos = 0; pos < c.text.size();) {
            lines.emplace_back(nextICalendarLine(c.text, pos));
        }
        EXPECT_EQ(lines, c.lines);
    }
}

TEST(ICalendarText, NamesAndValues) {
    const struct {
        const char* line;
        const char* name;
        const char* value;
        bool memoLine;
    } cases[] = {
        {"BEGIN:VEVENT", "BEGIN", "VEVENT", true},
        {"dtstart;VALUE=DATE:20260105", "dtstart", "20260105", true},
        {"SUMMARY;LANGUAGE=en:a:b", "SUMMARY", "a:b", true},
        {"ATTACH:x", "ATTACH", "x", false},
        {"END", "END", "", true},
        {"RRULES:FREQ=WEEKLY", "RRULES", "FREQ=WEEKLY", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(icalendarPropertyName(c.line), c.name);
        EXPECT_EQ(icalendarValue(c.line), c.value);
        EXPECT_EQ(isMemoLine(c.line), c.memoLine);
    }
    EXPECT_TRUE(sameICalendarName("vEvent \t", "VEVENT"));
    EXPECT_TRUE(sameICalendarName("x-Mine", "X-MINE "));
    EXPECT_FALSE(sameICalendarName("VEVENTS", "VEVENT"));
}

// The block of an event runs from its BEGIN line to behind its END line's line break.
TEST(ICalendarText, EventsAreFoundInTheirCalendars) {
    const std::string event = "BEGIN:VEVENT\r\nBEGIN:VALARM\r\nEND:VALARM\r\nEND:VEVENT\r\n";
    const std::string calendar = "BEGIN:VCALENDAR\r\n" + event + "END:VCALENDAR\r\n";
    const struct {
        const char* name;
        std::string text;
        bool ok;
        std::vector<size_t> begins;
    } cases[] = {
        {"one calendar", calendar, true, {17}},
        {"two calendars with a blank line",
         calendar + "\r\n" + calendar,
         true,
         {17, 17 + calendar.size() + 2}},
        {"lower case", "begin:vcalendar\nbegin:vevent\nend:vevent\nend:vcalendar\n", true, {16}},
        {"nothing", "", false, {}},
        {"text before", "x\r\n" + calendar, false, {}},
        {"calendar in a calendar", "BEGIN:VCALENDAR\r\n" + calendar + "END:VCALENDAR\r\n", false, {}},
        {"event outside a calendar", event, false, {}},
        {"stray END", calendar + "END:VEVENT\r\n", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ICalendarBlock> events;
        EXPECT_EQ(findICalendarEvents(c.text, events), c.ok);
        if (!c.ok) {
            continue;
        }
        ASSERT_EQ(events.size(), c.begins.size());
        for (size_t i = 0; i < events.size(); ++i) {
            EXPECT_EQ(events[i].Begin, c.begins[i]);
            EXPECT_EQ(c.text.substr(events[i].Begin, events[i].End - events[i].Begin),
                      c.text.substr(events[i].Begin, event.size()).starts_with("BEGIN:VEVENT\r\n")
                          ? event
                          : std::string("begin:vevent\nend:vevent\n"));
        }
    }
}

TEST(ICalendarText, FoldedLinesAreJoined) {
    EXPECT_EQ(unfoldICalendar("SUMMARY:ab\r\n c\r\n\td\r\nEND:X\r\n"), "SUMMARY:abcd\r\nEND:X\r\n");
    EXPECT_EQ(unfoldICalendar("A:1\n 2\r 3"), "A:123");
    EXPECT_EQ(unfoldICalendar(" lead"), " lead");
}
