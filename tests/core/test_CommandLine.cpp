#include "common/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrivel;

namespace {

// Error: 0 none, 1 a wrong value, 2 wrong options.
struct LineCase {
    const char* name;
    std::vector<std::string> arguments;
    TCommand command;
    int year, month;
    const char* file;
    int error;
    bool allowRemovals = false;
};

const LineCase kLines[] = {
    {"nothing: the calendar", {}, TCommand::Calendar, 0, 0, "", 0},
    {"the window system's options", {"-platform", "offscreen"}, TCommand::Calendar, 0, 0, "", 0},
    {"a single dash alone is no option of the window system", {"-"}, TCommand::Calendar, 0, 0, "", 2},
    {"help", {"--help"}, TCommand::Help, 0, 0, "", 0},
    {"short help", {"-h"}, TCommand::Help, 0, 0, "", 0},
    {"version", {"--version"}, TCommand::Version, 0, 0, "", 0},
    {"unknown option", {"--bogus"}, TCommand::Calendar, 0, 0, "", 2},
    {"a bare word", {"month"}, TCommand::Calendar, 0, 0, "", 2},
    {"help with a value", {"--help=x"}, TCommand::Calendar, 0, 0, "", 2},
    {"help and more", {"--help", "x"}, TCommand::Calendar, 0, 0, "", 2},
    {"this month", {"--month"}, TCommand::Month, 0, 0, "", 0},
    {"a month", {"--month", "2026-02"}, TCommand::Month, 2026, 2, "", 0},
    {"a month after =", {"--month=1900-12"}, TCommand::Month, 1900, 12, "", 0},
    {"month thirteen", {"--month", "2026-13"}, TCommand::Calendar, 0, 0, "", 1},
    {"an empty month", {"--month="}, TCommand::Calendar, 0, 0, "", 1},
    {"a month and an option", {"--month", "--version"}, TCommand::Calendar, 0, 0, "", 2},
    {"two months", {"--month", "2026-01", "2026-02"}, TCommand::Calendar, 0, 0, "", 2},
    {"import", {"--import", "a.ics"}, TCommand::Import, 0, 0, "a.ics", 0},
    {"import after =", {"--import=memos.dat"}, TCommand::Import, 0, 0, "memos.dat", 0},
    {"import of a file named with a dash", {"--import", "-x.dat"}, TCommand::Import, 0, 0, "-x.dat", 0},
    {"import without a file", {"--import"}, TCommand::Calendar, 0, 0, "", 2},
    {"import of an empty name", {"--import="}, TCommand::Calendar, 0, 0, "", 2},
    {"export", {"--export", "out.ics"}, TCommand::Export, 0, 0, "out.ics", 0},
    {"export of two files", {"--export", "a", "b"}, TCommand::Calendar, 0, 0, "", 2},
    {"the account's calendars", {"--calendars"}, TCommand::ListCalendars, 0, 0, "", 0},
    {"the account's calendars and more", {"--calendars", "work"}, TCommand::Calendar, 0, 0, "", 2},
    {"sync", {"--sync"}, TCommand::Sync, 0, 0, "", 0},
    {"sync with a value", {"--sync=http://h/"}, TCommand::Calendar, 0, 0, "", 2},
    {"sync and more", {"--sync", "now"}, TCommand::Calendar, 0, 0, "", 2},
    {"sync is no short option", {"-sync"}, TCommand::Calendar, 0, 0, "", 2},
    {"unknown single dash option", {"-x"}, TCommand::Calendar, 0, 0, "", 2},
    {"window system options with values",
     {"-style", "Fusion", "-display", ":1", "-reverse"},
     TCommand::Calendar,
     0,
     0,
     "",
     0},
    {"a window system option without its value", {"-display"}, TCommand::Calendar, 0, 0, "", 2},
    {"an unknown option after the window system's", {"-reverse", "-bogus"}, TCommand::Calendar, 0, 0, "", 2},
    {"sync allowing removals", {"--sync", "--allow-removals"}, TCommand::Sync, 0, 0, "", 0, true},
    {"removals allowed before the sync", {"--allow-removals", "--sync"}, TCommand::Sync, 0, 0, "", 0, true},
    {"removals allowed without a sync", {"--allow-removals"}, TCommand::Calendar, 0, 0, "", 2},
    {"removals allowed for another command",
     {"--month", "--allow-removals"},
     TCommand::Calendar,
     0,
     0,
     "",
     2},
};

class CommandLineTable : public ::testing::TestWithParam<LineCase> {};

TEST_P(CommandLineTable, ReadsTheArguments) {
    const LineCase& c = GetParam();
    const TCommandLine line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.Error.empty(), c.error == 0) << line.Error;
    EXPECT_EQ(line.Error.find('\n'), std::string::npos);
    if (c.error == 0) {
        EXPECT_EQ(line.Command, c.command);
        EXPECT_EQ(line.Year, c.year);
        EXPECT_EQ(line.Month, c.month);
        EXPECT_EQ(line.File, c.file);
        EXPECT_EQ(line.AllowRemovals, c.allowRemovals);
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, CommandLineTable, ::testing::ValuesIn(kLines));

struct YearMonthCase {
    const char* text;
    bool valid;
    int year, month;
};

const YearMonthCase kYearMonths[] = {
    {"2026-02", true, 2026, 2},  {"0001-01", true, 1, 1},   {"9999-12", true, 9999, 12},
    {"0000-01", false, 0, 0},    {"2026-00", false, 0, 0},  {"2026-13", false, 0, 0},
    {"2026-2", false, 0, 0},     {"26-02", false, 0, 0},    {"2026/02", false, 0, 0},
    {"2026-02-01", false, 0, 0}, {"2026-0a", false, 0, 0},  {"+026-02", false, 0, 0},
    {"", false, 0, 0},           {" 2026-02", false, 0, 0},
};

class YearMonthTable : public ::testing::TestWithParam<YearMonthCase> {};

TEST_P(YearMonthTable, ReadsOnlyFourDigitsADashAndTwo) {
    const YearMonthCase& c = GetParam();
    int year = -1;
    int month = -1;
    EXPECT_EQ(ParseYearMonth(c.text, year, month), c.valid);
    EXPECT_EQ(year, c.valid ? c.year : -1);
    EXPECT_EQ(month, c.valid ? c.month : -1);
}

INSTANTIATE_TEST_SUITE_P(Texts, YearMonthTable, ::testing::ValuesIn(kYearMonths));

TEST(CommandLineUsage, NamesEveryOptionAndTheProgram) {
    const std::string usage = UsageText("kestrivel");
    EXPECT_EQ(usage.rfind("Usage: kestrivel", 0), 0u);
    for (const char* option : {"--month [YYYY-MM]", "--import FILE", "--export FILE", "--sync", "--calendars",
                               "--allow-removals", "KESTRIVEL_SYNC_PASSWORD", "--help", "--version"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(usage.back(), '\n');
    EXPECT_EQ(HelpHint("kestrivel"), "Try 'kestrivel --help' for more information.\n");
}

} // namespace

namespace {

struct AgendaCase {
    const char* name;
    std::vector<std::string> arguments;
    bool ok;
    const char* from;
    const char* to;
};

const AgendaCase kAgendas[] = {
    {"from today", {"--agenda"}, true, "", ""},
    {"from a date", {"--agenda", "2026-03-01"}, true, "2026-03-01", ""},
    {"from a date after =", {"--agenda=2026-03-01", "2026-03-31"}, true, "2026-03-01", "2026-03-31"},
    {"a leap day", {"--agenda", "2028-02-29", "2028-03-01"}, true, "2028-02-29", "2028-03-01"},
    {"no leap day", {"--agenda", "2027-02-29"}, false, "", ""},
    {"a day of its own month only", {"--agenda", "2026-04-31"}, false, "", ""},
    {"not ISO", {"--agenda", "01.03.2026"}, false, "", ""},
    {"ending before it begins", {"--agenda", "2026-03-02", "2026-03-01"}, false, "", ""},
    {"three dates", {"--agenda", "2026-03-01", "2026-03-02", "2026-03-03"}, false, "", ""},
};

TEST(CommandLine, AgendaTakesUpToTwoIsoDates) {
    for (const AgendaCase& c : kAgendas) {
        SCOPED_TRACE(c.name);
        const TCommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.Error.empty(), c.ok) << line.Error;
        EXPECT_EQ(line.Command, c.ok ? TCommand::Agenda : TCommand::Calendar);
        EXPECT_EQ(line.From, c.from);
        EXPECT_EQ(line.To, c.to);
    }
}

} // namespace
