#pragma once

#include <cstdint>

namespace kestrivel {

// A date value is a count of days since 30 December 1899 (day 0), as a 64-bit float; memo dates
// are whole days. Years 1..9999 of the proleptic Gregorian calendar.
using TDateValue = double;

struct TYmd {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    bool operator==(const TYmd&) const = default;
};

// True for a finite value within 0001-01-01 .. 9999-12-31 (times of that last day included).
// Functions below given any other value use the nearest end of that range (0 for not-a-number).
bool IsValidDateValue(TDateValue value);
bool IsLeapYear(int year);
// 0 for a month outside 1..12.
int DaysInMonth(int year, int month);
bool IsValidDate(int year, int month, int day);
// False, leaving `out` alone, for an impossible date.
bool TryEncodeDate(int year, int month, int day, TDateValue& out);
// The calendar date of the whole day that holds `value` (fractions are times of that day).
TYmd DecodeDate(TDateValue value);
// 1 Monday .. 7 Sunday.
int DayOfWeek(TDateValue value);
int DayOfWeek(int year, int month, int day);
// ISO 8601 week number (weeks start on Monday; week 1 holds 4 January): 1..53.
int IsoWeekNumber(int year, int month, int day);
int IsoWeekNumber(TDateValue value);

} // namespace kestrivel
