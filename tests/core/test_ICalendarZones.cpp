#include "ical/ICalendarTime.h"

#include "memos/ICalendarText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace kestrivel;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct ZoneRow {
    std::string Tzid, Local, Start, Expected;
    bool Inexact = false;
};

// zones/zone_table.txt, written by make_zone_table.py with python3-dateutil.
std::vector<ZoneRow> zoneTable() {
    std::ifstream in(KESTRIVEL_TEST_DATA "/zones/zone_table.txt");
    std::vector<ZoneRow> rows;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        ZoneRow row;
        std::string inexact;
        std::getline(fields, row.Tzid, '\t');
        std::getline(fields, row.Local, '\t');
        std::getline(fields, row.Start, '\t');
        std::getline(fields, row.Expected, '\t');
        std::getline(fields, inexact, '\t');
        row.Inexact = inexact == "1";
        rows.push_back(row);
    }
    return rows;
}

std::string isoDate(const TYmd& day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.Year, day.Month, day.Day);
    return text;
}

// Windows names, IANA names without a VTIMEZONE, the object's own zones, zone bombs and paths: the
// day each start falls on in each local zone, and which answers are only approximate.
TEST(ICalendarZones, TheDayOfAStartAsTheZoneDataHasIt) {
    const std::string text = unfoldICalendar(readFile(KESTRIVEL_TEST_DATA "/zones/zone_blocks.ics"));
    std::vector<ICalendarBlock> events, blocks;
    ASSERT_TRUE(findICalendarEvents(text, events, &blocks));
    const std::vector<ZoneRow> rows = zoneTable();
    ASSERT_GE(rows.size(), 300u);
    for (const ZoneRow& row : rows) {
        SCOPED_TRACE(row.Tzid + " in " + row.Local + " at " + row.Start);
        setenv("TZ", row.Local.c_str(), 1);
        tzset();
        const ICalendarZones zones(text, blocks);
        TYmd day;
        bool inexact = false;
        ASSERT_TRUE(
            LocalStartDate(icaltime_from_string(row.Start.c_str()), row.Tzid.c_str(), &zones, day, &inexact));
        EXPECT_EQ(isoDate(day), row.Expected);
        EXPECT_EQ(inexact, row.Inexact);
    }
}

// The zones of one object share one budget: once a hundred bombs have spent it, even a plain zone
// of the same object is only approximated.
TEST(ICalendarZones, OneObjectsZonesShareABound) {
    setenv("TZ", "UTC", 1);
    tzset();
    std::string days;
    for (int d = 1; d <= 28; ++d) {
        days += (d > 1 ? "," : "") + std::to_string(d);
    }
    std::string text = "BEGIN:VCALENDAR\r\n";
    for (int i = 0; i < 100; ++i) {
        text += "BEGIN:VTIMEZONE\r\nTZID:B" + std::to_string(i) +
                "\r\nBEGIN:STANDARD\r\nDTSTART:20000101T000000\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0100\r\n"
                "RRULE:FREQ=YEARLY;BYMONTH=1,2,3,4,5,6,7,8,9,10,11,12;BYMONTHDAY=" +
                days + "\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
    }
    text +=
        "BEGIN:VTIMEZONE\r\nTZID:Plain\r\nBEGIN:STANDARD\r\nDTSTART:20000101T000000\r\n"
        "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0100\r\nRRULE:FREQ=YEARLY;BYMONTH=1;BYDAY=1SU\r\nEND:STANDARD\r\n"
        "END:VTIMEZONE\r\nEND:VCALENDAR\r\n";
    std::vector<ICalendarBlock> events, blocks;
    ASSERT_TRUE(findICalendarEvents(text, events, &blocks));
    const ICalendarZones zones(text, blocks);
    const icaltimetype start = icaltime_from_string("20260101T003000");
    TYmd day;
    bool inexact = false;
    ASSERT_TRUE(LocalStartDate(start, "Plain", &zones, day, &inexact));
    EXPECT_FALSE(inexact);
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(LocalStartDate(start, ("B" + std::to_string(i)).c_str(), &zones, day, &inexact));
    }
    EXPECT_TRUE(inexact);
    inexact = false;
    ASSERT_TRUE(LocalStartDate(icaltime_from_string("20300101T003000"), "Plain", &zones, day, &inexact));
    EXPECT_TRUE(inexact);
    // Its last observance's offset still stands.
    EXPECT_EQ(isoDate(day), "2029-12-31");
}

struct EdgeCase {
    const char* Name;
    const char* Tzid;
    const char* Start;
    const char* Expected; // the day in UTC
    bool Inexact;
};

std::string zone(const std::string& tzid, const std::string& parts) {
    return "BEGIN:VTIMEZONE\r\nTZID:" + tzid + "\r\n" + parts + "END:VTIMEZONE\r\n";
}

std::string part(const char* kind, const std::string& start, const char* from, const char* to,
                 const std::string& more = "") {
    return std::string("BEGIN:") + kind + "\r\nDTSTART:" + start + "\r\nTZOFFSETFROM:" + from +
           "\r\nTZOFFSETTO:" + to + "\r\n" + more + "END:" + kind + "\r\n";
}

// The edges of an object's own zone, worked out by hand for a user in UTC. "Midnight" goes to +01:00
// at 00:00 on the last Sunday of March and back at 01:00 on the last Sunday of October (25 October
// 2026), so an hour's difference moves the day.
TEST(ICalendarZones, AnObjectsZoneAtItsEdges) {
    setenv("TZ", "UTC", 1);
    tzset();
    std::string dates;
    for (int i = 0; i < 5000; ++i) {
        dates += (i ? "," : "RDATE:") + std::to_string(1971 + i % 50) + "0101T000000";
    }
    const std::string text =
        "BEGIN:VCALENDAR\r\n" +
        zone("Midnight", part("DAYLIGHT", "19800330T000000", "+0000", "+0100",
                              "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\n") +
                             part("STANDARD", "19801026T010000", "+0100", "+0000",
                                  "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\n")) +
        zone("Counted",
             part("STANDARD", "20000101T000000", "+0000", "+0000") +
                 part("DAYLIGHT", "20000601T000000", "+0000", "+0100", "RRULE:FREQ=YEARLY;COUNT=3\r\n") +
                 part("STANDARD", "20000901T000000", "+0100", "+0000", "RRULE:FREQ=YEARLY;COUNT=3\r\n")) +
        zone("Dated", part("STANDARD", "19700101T000000", "+0100", "+0100", dates + "\r\n")) +
        "END:VCALENDAR\r\n";
    std::vector<ICalendarBlock> events, blocks;
    ASSERT_TRUE(findICalendarEvents(text, events, &blocks));
    const EdgeCase cases[] = {
        {"summer", "Midnight", "20260701T003000", "2026-06-30", false},
        {"winter", "Midnight", "20260115T003000", "2026-01-15", false},
        {"the hour that happens twice, first", "Midnight", "20261025T003000", "2026-10-24", false},
        {"after the hour that happens twice", "Midnight", "20261025T013000", "2026-10-25", false},
        {"before the zone's first onset", "Midnight", "19700701T003000", "1970-07-01", false},
        // libical computes no rule past the year 2582: the last onset known stands, approximately.
        {"past what libical computes", "Midnight", "27000701T003000", "2700-07-01", true},
        {"a counted rule", "Counted", "20010701T003000", "2001-06-30", false},
        {"after a counted rule", "Counted", "20260701T003000", "2026-07-01", false},
        {"too many dates", "Dated", "20260101T003000", "2025-12-31", true},
    };
    for (const EdgeCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const ICalendarZones zones(text, blocks);
        TYmd day;
        bool inexact = false;
        ASSERT_TRUE(LocalStartDate(icaltime_from_string(c.Start), c.Tzid, &zones, day, &inexact));
        EXPECT_EQ(isoDate(day), c.Expected);
        EXPECT_EQ(inexact, c.Inexact);
    }
}

} // namespace
