#include "ical/ICalendarExpand.h"

#include "TestSupport.h"
#include "common/DateValue.h"

#include <gtest/gtest.h>

#include <algorithm>
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

struct Table {
    std::map<std::string, std::string> Calendars; // by UID
    std::vector<Row> Rows;
};

// Every occurrence over two years in four zones, as python3-icalendar with dateutil's rrule computes
// them (scripts/make-occurrence-table.py), for events written as phones and services write them.
Table occurrenceTable() {
    Table table;
    const std::string all = ReadBytes(FixturePath("event-occurrences.ics"));
    for (size_t pos = 0; (pos = all.find("BEGIN:VCALENDAR", pos)) != std::string::npos;) {
        const size_t end = all.find("END:VCALENDAR\r\n", pos) + 15;
        const std::string one = all.substr(pos, end - pos);
        table.Calendars[uidOf(one)] = one;
        pos = end;
    }
    std::istringstream lines(ReadBytes(FixturePath("event-occurrences.txt")));
    for (std::string line; std::getline(lines, line);) {
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
        table.Rows.push_back(std::move(row));
    }
    return table;
}

std::vector<std::string> writtenSorted(const std::vector<TEventOccurrence>& found) {
    std::vector<std::string> seen;
    for (const TEventOccurrence& occurrence : found) {
        seen.push_back(written(occurrence));
    }
    std::sort(seen.begin(), seen.end());
    return seen;
}

class ZoneKept {
public:
    ZoneKept() : m_saved(std::getenv("TZ") != nullptr ? std::getenv("TZ") : "") {}
    ~ZoneKept() { inZone(m_saved); }

private:
    std::string m_saved;
};

TEST(ICalendarExpand, OccurrencesMatchAnIndependentRecurrenceEngine) {
    const Table table = occurrenceTable();
    ASSERT_GE(table.Calendars.size(), 40u);
    ASSERT_EQ(table.Rows.size(), table.Calendars.size() * 4);
    const ZoneKept kept;
    for (const Row& row : table.Rows) {
        SCOPED_TRACE(row.Uid + " seen from " + row.Zone);
        inZone(row.Zone);
        std::vector<TEventOccurrence> found;
        ASSERT_TRUE(table.Calendars.contains(row.Uid));
        EXPECT_TRUE(
            ExpandEvents(table.Calendars.at(row.Uid), DateOf(2026, 1, 1), DateOf(2027, 12, 31), found));
        EXPECT_EQ(writtenSorted(found), row.Expected);
    }
}

// The calendar asks month by month from events read once: a month far from a rule's start begins
// near it, and a counted rule ends where its count does. The same table holds.
TEST(ICalendarExpand, MonthByMonthFromEventsReadOnceTheSame) {
    const Table table = occurrenceTable();
    TEventCache cache;
    std::map<std::string, size_t> indexOf;
    for (const auto& [uid, text] : table.Calendars) {
        indexOf[uid] = cache.Events.size();
        cache.Events.push_back({"", uid, "", text});
    }
    cache.Events.push_back({"", "broken", "", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\n"});
    const TICalendarPreparedEvents prepared(cache);
    ASSERT_EQ(prepared.size(), cache.Events.size());
    const ZoneKept kept;
    for (const Row& row : table.Rows) {
        SCOPED_TRACE(row.Uid + " seen from " + row.Zone);
        inZone(row.Zone);
        std::vector<TEventOccurrence> found;
        for (int month = 0; month < 24; ++month) {
            const int year = 2026 + month / 12;
            prepared.Expand(indexOf.at(row.Uid), DateOf(year, month % 12 + 1, 1),
                            DateOf(year, month % 12 + 1, DaysInMonth(year, month % 12 + 1)), found);
        }
        EXPECT_EQ(writtenSorted(found), row.Expected);
    }
    std::vector<TEventOccurrence> none;
    prepared.Expand(cache.Events.size() - 1, DateOf(2026, 1, 1), DateOf(2027, 12, 31), none);
    prepared.Expand(cache.Events.size(), DateOf(2026, 1, 1), DateOf(2027, 12, 31), none);
    EXPECT_TRUE(none.empty()) << "an unreadable event and an index past the cache fall on no day";
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
