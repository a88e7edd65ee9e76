#include "ical/ICalendarExpand.h"

#include "TestSupport.h"
#include "common/DateValue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace kestrivel;

namespace {

void inZone(const std::string& zone) {
    setenv("TZ", zone.c_str(), 1);
    tzset();
}

// As the table writes an occurrence: "2026-03-22" all day, "2026-03-22T18:30" timed.
std::string written(const TEventOccurrence& occurrence) {
    const TYmd ymd = DecodeDate(occurrence.Date);
    char text[32];
    if (occurrence.StartMinutes < 0) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", ymd.Year, ymd.Month, ymd.Day);
    } else {
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d", ymd.Year, ymd.Month, ymd.Day,
                      occurrence.StartMinutes / 60, occurrence.StartMinutes % 60);
    }
    return text;
}

std::string uidOf(const std::string& calendar) {
    const size_t at = calendar.find("\r\nUID:") + 6;
    return calendar.substr(at, calendar.find("\r\n", at) - at);
}

struct Row {
    std::string Uid;
    std::string Zone;
    std::vector<std::string> Expected;
};

// Every occurrence over two years in four zones, as python3-icalendar with dateutil's rrule computes
// them (scripts/make-occurrence-table.py), for events written as phones and services write them.
TEST(ICalendarExpand, OccurrencesMatchAnIndependentRecurrenceEngine) {
    const std::string all = ReadBytes(FixturePath("event-occurrences.ics"));
    std::map<std::string, std::string> calendars;
    for (size_t pos = 0; (pos = all.find("BEGIN:VCALENDAR", pos)) != std::string::npos;) {
        const size_t end = all.find("END:VCALENDAR\r\n", pos) + 15;
        const std::string one = all.substr(pos, end - pos);
        calendars[uidOf(one)] = one;
        pos = end;
    }
    std::vector<Row> rows;
    std::istringstream table(ReadBytes(FixturePath("event-occurrences.txt")));
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        Row row;
        std::getline(fields, row.Uid, '\t');
        std::getline(fields, row.Zone, '\t');
        for (std::string field; std::getline(fields, field, '\t');) {
            row.Expected.push_back(field);
        }
        rows.push_back(std::move(row));
    }
    ASSERT_GE(calendars.size(), 40u);
    ASSERT_EQ(rows.size(), calendars.size() * 4);
    const char* before = std::getenv("TZ");
    const std::string saved = before != nullptr ? before : "";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Uid + " seen from " + row.Zone);
        inZone(row.Zone);
        std::vector<TEventOccurrence> found;
        ASSERT_TRUE(calendars.contains(row.Uid));
        EXPECT_TRUE(ExpandEvents(calendars[row.Uid], DateOf(2026, 1, 1), DateOf(2027, 12, 31), found));
        std::vector<std::string> seen;
        for (const TEventOccurrence& occurrence : found) {
            seen.push_back(written(occurrence));
        }
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(seen, row.Expected);
    }
    inZone(saved);
}

std::string calendar(const std::string& event) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//T//T//EN\r\nBEGIN:VEVENT\r\nUID:x\r\n" + event +
           "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

TEST(ICalendarExpand, TextsAndBoundsOfWhatIsDrawn) {
    inZone("Europe/Berlin");
    struct Case {
        const char* Name;
        std::string Data;
        bool Readable;
        size_t Count; // occurrences in March 2026
        const char* FirstText;
    };
    const Case cases[] = {
        {"the text as sent: a \";\" stays apart from a line break",
         calendar("DTSTART;VALUE=DATE:20260302\r\nSUMMARY:A\\nB\\; c\r\n"), true, 1, "A\nB; c"},
        {"no start: nothing to draw", calendar("SUMMARY:x\r\n"), false, 0, nullptr},
        {"a zone's own start is not the event's",
         "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:Z\r\nBEGIN:STANDARD\r\nDTSTART:16010101T030000\r\n"
         "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\nUID:"
         "z\r\n"
         "BEGIN:VALARM\r\nDTSTART:19990101T000000\r\nEND:VALARM\r\nDTSTART;TZID=Z:20260305T120000\r\n"
         "SUMMARY:z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
         true, 1, "z"},
        {"a single event far from the month", calendar("DTSTART:20250305T120000Z\r\nSUMMARY:far\r\n"), true,
         0, nullptr},
        {"not a calendar", "hello", false, 0, nullptr},
        {"a rule libical rejects falls on its start only",
         calendar("DTSTART;VALUE=DATE:20260303\r\nRRULE:FREQ=SOMETIMES\r\nSUMMARY:r\r\n"), true, 1, "r"},
        {"every second for ever stays bounded",
         calendar("DTSTART:20260301T000000Z\r\nRRULE:FREQ=SECONDLY\r\nSUMMARY:s\r\n"), true,
         static_cast<size_t>(kMaxExpandSteps), "s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<TEventOccurrence> found;
        EXPECT_EQ(ExpandEvents(c.Data, DateOf(2026, 3, 1), DateOf(2026, 3, 31), found), c.Readable);
        EXPECT_LE(found.size(), c.Count);
        EXPECT_GE(found.size(), c.Count == 0 ? 0 : 1);
        if (c.FirstText != nullptr && !found.empty()) {
            EXPECT_EQ(found.front().Text, c.FirstText);
        }
    }
}

} // namespace
