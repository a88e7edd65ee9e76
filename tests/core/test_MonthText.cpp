#include "calendar/MonthText.h"

#include "common/DateFormat.h"
#include "config/Options.h"
#include "memos/UnitMemo.h"
#include "sync/EventDays.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

using namespace kestrivel;

namespace {

TDateValue Date(int y, int m, int d) {
    TDateValue v = 0;
    EXPECT_TRUE(TryEncodeDate(y, m, d, v));
    return v;
}

struct MonthTextCase {
    const char* name;
    int year, month;
    int startOfWeek;
    bool weekNumbers;
    bool todaysMemo;
    const char* weekdays;
    int todayYear, todayMonth, todayDay;
    const char* expected;
};

// Written out by hand: the columns of four characters, marks after the days, today's memo last.
const MonthTextCase kWrittenOut[] = {
    {"current month, Monday first, weeks, today's memo", 2026, 2, 1, true, true, "MTWTFSS", 2026, 2, 15,
     "February 2026\n"
     "     M   T   W   T   F   S   S\n"
     " 5                           1\n"
     " 6   2   3*  4   5   6   7   8\n"
     " 7   9  10  11  12  13  14  15*\n"
     " 8  16  17  18  19  20  21  22\n"
     " 9  23  24  25  26  27  28\n"
     "\n"
     "Buy\n"
     "milk\n"},
    {"today's memo switched off", 2026, 2, 1, false, false, "MTWTFSS", 2026, 2, 15,
     "February 2026\n"
     " M   T   W   T   F   S   S\n"
     "                         1\n"
     " 2   3*  4   5   6   7   8\n"
     " 9  10  11  12  13  14  15*\n"
     "16  17  18  19  20  21  22\n"
     "23  24  25  26  27  28\n"},
    {"another month, Sunday first, French initials", 2026, 2, 7, false, true, "LMMJVSD", 2026, 3, 15,
     "February 2026\n"
     " D   L   M   M   J   V   S\n"
     " 1   2   3*  4   5   6   7\n"
     " 8   9  10  11  12  13  14\n"
     "15* 16  17  18  19  20  21\n"
     "22  23  24  25  26  27  28\n"},
    {"short initials leave their columns blank", 2026, 3, 1, true, true, "LMM", 2026, 2, 15,
     "March 2026\n"
     "     L   M   M\n"
     " 9                           1\n"
     "10   2   3   4   5   6   7   8\n"
     "11   9  10  11  12  13  14  15\n"
     "12  16  17  18  19  20  21  22\n"
     "13  23  24  25  26  27  28  29\n"
     "14  30  31\n"},
};

class MonthTextWrittenOut : public ::testing::TestWithParam<MonthTextCase> {};

TEST_P(MonthTextWrittenOut, PrintsTheGridAsTheCalendarDrawsIt) {
    const MonthTextCase& c = GetParam();
    TOptions options;
    options.StartOfWeek = static_cast<uint8_t>(c.startOfWeek);
    options.ShowWeekNumbers = c.weekNumbers;
    options.ShowTodaysMemo = c.todaysMemo;
    TMemoList memos;
    ASSERT_TRUE(memos.Add("Dentist", mtSingle, Date(2026, 2, 3)));
    ASSERT_TRUE(memos.Add("Buy;milk", mtSingle, Date(2026, 2, 15)));
    const TLocaleFormats formats;
    TMonthTextInputs in;
    in.Year = c.year;
    in.Month = c.month;
    in.TodayYear = c.todayYear;
    in.TodayMonth = c.todayMonth;
    in.TodayDay = c.todayDay;
    in.Options = &options;
    in.Memos = &memos;
    in.Formats = &formats;
    in.Weekdays = c.weekdays;
    EXPECT_EQ(MonthText(in), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Months, MonthTextWrittenOut, ::testing::ValuesIn(kWrittenOut));

// Answers every cached text with an event on 9 March 2026.
class NinthOfMarch final : public IEventExpander {
public:
    bool Expand(std::string_view, TDateValue, TDateValue, std::vector<TEventOccurrence>& out) override {
        out.push_back({Date(2026, 3, 9), -1, "Holiday", {}});
        return true;
    }
};

// A day with an event is marked as a day with memos.
TEST(MonthText, MarksTheDaysOfEvents) {
    TOptions options;
    const TMemoList memos;
    const TLocaleFormats formats;
    TEventCache cache;
    cache.Events = {{"", "h", "", "x"}};
    NinthOfMarch expander;
    EventDays events;
    events.build(cache, expander, Date(2026, 3, 1), Date(2026, 3, 31));
    TMonthTextInputs in;
    in.Year = 2026;
    in.Month = 3;
    in.Options = &options;
    in.Memos = &memos;
    in.Formats = &formats;
    in.Events = &events;
    EXPECT_NE(MonthText(in).find("\n 9* 10  11"), std::string::npos) << MonthText(in);
}

// --- Against the month table (tests/data/month_table.txt, from Python's calendar module) ---

struct ReferenceMonth {
    int days = 0;
    int lead[8] = {}; // by first day of the week, 1..7
    int rows[8] = {};
    std::vector<int> weeks[8];
};

std::map<std::pair<int, int>, ReferenceMonth> LoadReference() {
    std::map<std::pair<int, int>, ReferenceMonth> table;
    std::ifstream file(KESTRIVEL_TEST_DATA "/month_table.txt");
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        int year = 0, month = 0;
        ReferenceMonth ref;
        fields >> year >> month >> ref.days;
        for (int start = 1; start <= 7; ++start) {
            std::string group;
            fields >> group;
            ref.lead[start] = group[0] - '0';
            ref.rows[start] = group[1] - '0';
            for (size_t i = 3; i + 2 <= group.size(); i += 2) {
                ref.weeks[start].push_back(std::stoi(group.substr(i, 2)));
            }
        }
        table[{year, month}] = std::move(ref);
    }
    return table;
}

const char* const kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};

// The text the format gives for the reference layout: built from the table's lead, rows and week
// numbers, with the days in `marked` carrying "*".
std::string FromReference(int year, int month, const ReferenceMonth& ref, int start, bool weekNumbers,
                          const std::set<int>& marked) {
    const auto trimmed = [](std::string line) {
        line.erase(line.find_last_not_of(' ') + 1);
        return line + "\n";
    };
    const auto number = [](int n, char mark) {
        return std::string(n < 10 ? " " : "") + std::to_string(n) + mark + " ";
    };
    std::string text = std::string(kMonthNames[month - 1]) + " " + std::to_string(year) + "\n";
    std::string header = weekNumbers ? "    " : "";
    for (int column = 0; column < 7; ++column) {
        header += std::string(" ") + "MTWTFSS"[(start - 1 + column) % 7] + "  ";
    }
    text += trimmed(header);
    for (int row = 0; row < ref.rows[start]; ++row) {
        std::string line = weekNumbers ? number(ref.weeks[start][row], ' ') : "";
        for (int column = 0; column < 7; ++column) {
            const int day = row * 7 + column - ref.lead[start] + 1;
            line += day < 1 || day > ref.days ? "    " : number(day, marked.contains(day) ? '*' : ' ');
        }
        text += trimmed(line);
    }
    return text;
}

struct ReferenceCase {
    int year, month, start;
    bool weekNumbers;
};

const ReferenceCase kReferenceCases[] = {
    {2026, 2, 1, true},  {2026, 2, 7, false}, {2026, 12, 1, true}, {2021, 1, 1, true},
    {2021, 8, 1, false}, {2021, 8, 7, true},  {2024, 2, 3, true},  {2100, 12, 7, true},
    {1900, 1, 1, true},  {2000, 2, 2, false}, {1999, 12, 6, true}, {2015, 2, 1, false},
};

// Marks: a Single memo on the 3rd of the month, a Weekly one on Mondays (3 January 2000 was one),
// a Monthly one on the 10th and a Yearly one on 14 February.
TEST(MonthTextReference, MonthsMatchTheReferenceLayoutAndMarks) {
    const auto table = LoadReference();
    ASSERT_EQ(table.size(), 201u * 12);
    TOptions options;
    options.ShowTodaysMemo = true;
    const TLocaleFormats formats;
    for (const ReferenceCase& c : kReferenceCases) {
        SCOPED_TRACE(std::to_string(c.year) + "-" + std::to_string(c.month) + " start " +
                     std::to_string(c.start) + (c.weekNumbers ? " with weeks" : ""));
        const ReferenceMonth& ref = table.at({c.year, c.month});
        TMemoList memos;
        ASSERT_TRUE(memos.Add("single", mtSingle, Date(c.year, c.month, 3)));
        ASSERT_TRUE(memos.Add("weekly", mtWeekly, Date(2000, 1, 3)));
        ASSERT_TRUE(memos.Add("monthly", mtMonthly, Date(1999, 5, 10)));
        ASSERT_TRUE(memos.Add("yearly", mtYearly, Date(1990, 2, 14)));
        std::set<int> marked{3, 10};
        for (int day = 1; day <= ref.days; ++day) {
            if ((ref.lead[1] + day - 1) % 7 == 0) { // Monday first: column 0 holds the Mondays
                marked.insert(day);
            }
        }
        if (c.month == 2) {
            marked.insert(14);
        }
        options.StartOfWeek = static_cast<uint8_t>(c.start);
        options.ShowWeekNumbers = c.weekNumbers;
        TMonthTextInputs in;
        in.Year = c.year;
        in.Month = c.month;
        in.TodayYear = 2021;
        in.TodayMonth = 2;
        in.TodayDay = 15;
        in.Options = &options;
        in.Memos = &memos;
        in.Formats = &formats;
        EXPECT_EQ(MonthText(in), FromReference(c.year, c.month, ref, c.start, c.weekNumbers, marked));
    }
}

// Every month of the table, every first day of the week, with week numbers and without memos.
TEST(MonthTextReference, EveryMonthOfTheTable) {
    TOptions options;
    options.ShowWeekNumbers = true;
    const TLocaleFormats formats;
    const TMemoList memos;
    for (const auto& [key, ref] : LoadReference()) {
        for (int start = 1; start <= 7; ++start) {
            options.StartOfWeek = static_cast<uint8_t>(start);
            TMonthTextInputs in;
            in.Year = key.first;
            in.Month = key.second;
            in.Options = &options;
            in.Memos = &memos;
            in.Formats = &formats;
            ASSERT_EQ(MonthText(in), FromReference(key.first, key.second, ref, start, true, {}))
                << key.first << "-" << key.second << " start " << start;
        }
    }
}

TEST(MonthTextReference, NoTextOutsideTheRangeOfDates) {
    const TOptions options;
    const TLocaleFormats formats;
    const std::pair<int, int> outside[] = {{0, 5}, {2026, 0}, {2026, 13}, {10000, 1}};
    for (const auto& [year, month] : outside) {
        TMonthTextInputs in;
        in.Year = year;
        in.Month = month;
        in.Options = &options;
        in.Formats = &formats;
        EXPECT_EQ(MonthText(in), "") << year << "-" << month;
    }
}

} // namespace
