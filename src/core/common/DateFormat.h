#pragma once

#include <array>
#include <string>

#include "common/DateValue.h"

namespace kestrivel {

// The user's date formats and names, in the pattern language below. The UI layer fills it from the
// system locale; the core never asks the platform itself.
struct TLocaleFormats {
    std::string ShortDateFormat = "yyyy-mm-dd";      // what "ddddd" stands for; never a two-digit year
    std::string LongDateFormat = "dddd d mmmm yyyy"; // what "dddddd" stands for
    char DateSeparator = '-';                        // what "/" in a pattern stands for
    std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> LongMonthNames{"January",   "February", "March",    "April",
                                               "May",       "June",     "July",     "August",
                                               "September", "October",  "November", "December"};
    // Monday first (index 0 = Monday .. 6 = Sunday), matching DayOfWeek() - 1.
    std::array<std::string, 7> ShortDayNames{"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    std::array<std::string, 7> LongDayNames{"Monday", "Tuesday",  "Wednesday", "Thursday",
                                            "Friday", "Saturday", "Sunday"};
};

// Formats a date with a pattern (letters case-insensitive):
//   d day 1..31, dd 01..31, ddd short day name, dddd long day name,
//   ddddd the short date pattern, dddddd the long date pattern,
//   m month 1..12, mm 01..12, mmm short month name, mmmm long month name,
//   yy two-digit year, yyyy four-digit year (a lone y or yyy counts as yyyy),
//   / the date separator, "..." and '...' literal text, any other character itself.
std::string FormatDate(const std::string& pattern, TDateValue date, const TLocaleFormats& formats);

// Reads a text written in the short date pattern: the day, month and year numbers in the order the
// pattern gives them, separated by any run of non-digit characters. Two-digit years are taken as
// 20yy (below 50) or 19yy. False, leaving `out` alone, for anything that is not a valid date.
bool ParseShortDate(const std::string& text, const TLocaleFormats& formats, TDateValue& out);

} // namespace kestrivel
