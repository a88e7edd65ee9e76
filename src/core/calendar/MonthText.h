#pragma once

#include <string>
#include <string_view>

namespace kestrivel {

class EventDays;

class TMemoList;
struct TLocaleFormats;
struct TOptions;

struct TMonthTextInputs {
    int Year = 0; // the month printed
    int Month = 0;
    int TodayYear = 0;
    int TodayMonth = 0;
    int TodayDay = 0;
    const TOptions* Options = nullptr;
    const TMemoList* Memos = nullptr;
    const TLocaleFormats* Formats = nullptr;
    std::string_view Weekdays = "MTWTFSS"; // one initial per day of the week, Monday first
    const EventDays* Events = nullptr;     // events drawn beside the memos, marked as memos are
};

// The month as plain text, the grid the calendar draws, one line each:
//   the title, the long month name and the year ("December 2026");
//   the week-day initials from the first day of the week on;
//   one line per week row: with week numbers shown, the row's week number first (as the calendar
//   numbers its rows), then the days;
//   after the current month, when today's memo is shown and a memo is dated today, an empty line
//   and the memo's lines.
// Every column is four characters: a number right-aligned in two, "*" after a day on which a memo
// or an event falls (" " otherwise), and a space. Initials stand over the days' last digit. Lines carry no
// trailing spaces and each ends with a line break. Empty for a month outside the range of dates or
// without options.
std::string MonthText(const TMonthTextInputs& in);

} // namespace kestrivel
