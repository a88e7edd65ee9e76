#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrivel {

// What the program is asked to do by its arguments. Without any it runs the calendar, as do
// arguments beginning with a single dash (other than -h) when all of them are the window system's
// own (-platform, -style, ...), which Qt reads. The others are done without a display and end the
// program.
enum class TCommand { Calendar, Help, Version, Month, Import, Export, Sync, Agenda, ListCalendars };

struct TCommandLine {
    TCommand Command = TCommand::Calendar;
    int Year = 0; // --month YYYY-MM; 0 for the current month
    int Month = 0;
    std::string File; // --import and --export
    // --agenda [FROM [TO]]: ISO dates as given; empty for today and for 30 days after FROM.
    std::string From;
    std::string To;
    // --sync --allow-removals: a sync may remove more than half of the events it knows.
    bool AllowRemovals = false;
    // A line that does not read: one line saying why.
    std::string Error;
};

// Exit codes of the commands: done, a file that could not be read or written, a sync that failed or
// a calendar without a display, a wrong line.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// `arguments` without the program's own name. Options take their value as the next argument or
// after "=" (--month=2026-02). A flag of a command (--allow-removals of --sync) may stand before or
// after it.
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// "YYYY-MM" with a month 01..12 of a year 0001..9999; false, leaving year and month alone, for
// anything else.
bool ParseYearMonth(std::string_view text, int& year, int& month);
// "YYYY-MM-DD", a date of the years 0001..9999; false, leaving the fields alone, for anything else.
bool ParseIsoDate(std::string_view text, int& year, int& month, int& day);

// What --help prints, for the program called `programName`; it ends with a line break.
std::string UsageText(std::string_view programName);
// The line after an error of the command line, pointing to the help; it ends with a line break.
std::string HelpHint(std::string_view programName);

} // namespace kestrivel
