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

} // namespace
