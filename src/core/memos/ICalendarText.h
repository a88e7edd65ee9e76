#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrivel {

// The text side of reading an iCalendar file: what is done to it before libical sees any of it.
// A file outside these bounds is refused whole, like a damaged one.

// Components inside each other, VCALENDAR counted: real calendars go VCALENDAR > VEVENT > VALARM
// or VCALENDAR > VTIMEZONE > STANDARD. libical frees a component tree recursively, so a few
// hundred thousand nested BEGIN lines would end the program.
inline constexpr size_t kICalendarMaxNesting = 16;
// Unfolded lines: a full export of ours takes about 10 a memo (655,350 at 65,535 memos). At the
// 64 MiB read cap, only lines of 16 bytes or less on average reach it; real calendars average
// more than twice that.
inline constexpr size_t kICalendarMaxLines = size_t{4} << 20;
// The longest unfolded line of the kinds libical is given (isMemoLine). Lines it is never given,
// such as attachments inlined as base64, may be as long as the file.
inline constexpr size_t kICalendarMaxParsedLine = size_t{1} << 20;

// Joins folded lines (a line break followed by a blank or tab continues the line).
std::string unfoldICalendar(std::string_view data);

// The line that starts at `pos`, without its line break (CR LF, LF or CR); `pos` moves behind it.
std::string_view nextICalendarLine(std::string_view text, size_t& pos);

// What stands before the first ":" or ";" of a line, and what follows the first ":".
std::string_view icalendarPropertyName(std::string_view line);
std::string_view icalendarValue(std::string_view line);

// Names compare as libical compares them: letter case and trailing blanks do not count. `b` may
// be in any case too.
bool sameICalendarName(std::string_view a, std::string_view b);

// The kinds of line a memo is made of: BEGIN, END, DTSTART, RRULE, RDATE, EXDATE and SUMMARY.
bool isMemoLine(std::string_view line);

struct ICalendarBlock {
    size_t Begin;
    size_t End; // behind the END:VEVENT line and its line break
};

// The byte ranges of the VEVENTs of one or more VCALENDAR objects in unfolded text, and those of
// their VTIMEZONEs when `zones` is given. False, with nothing to import, for anything else: text
// outside a calendar, a calendar inside another, an event that is not directly in a calendar, a
// component left open or closed under another name, or a file beyond the bounds above.
bool findICalendarEvents(std::string_view text, std::vector<ICalendarBlock>& events,
                         std::vector<ICalendarBlock>* zones = nullptr);

} // namespace kestrivel
