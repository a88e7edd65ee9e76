#include "calendar/MonthModel.h"

#include <gtest/gtest.h>

#include <climits>

using namespace kestrivel;

namespace {

// Months counted on a wall calendar: the month shown after the step and the offsets from today
// that show it (the month offset within 1 - today's month .. 12 - today's month).
struct StepCase {
    const char* name;
    int todayYear, todayMonth;
    int yearOffset, monthOffset;
    int months;
    int shownYear, shownMonth;
    int newYearOffset, newMonthOffset;
};

const StepCase kSteps[] = {
    {"one on", 2021, 6, 0, 0, 1, 2021, 7, 0, 1},
    {"one back", 2021, 6, 0, 0, -1, 2021, 5, 0, -1},
    {"December to January", 2021, 6, 0, 6, 1, 2022, 1, 1, -5},
    {"January to December", 2021, 6, 0, -5, -1, 2020, 12, -1, 6},
    {"two years and a month on", 2021, 6, 0, 0, 25, 2023, 7, 2, 1},
    {"two and a half years back", 2021, 6, 0, 0, -30, 2018, 12, -3, 6},
    {"no step brings the offsets into range", 2021, 12, 0, 1, 0, 2022, 1, 1, -11},
    {"from another year back to today", 2021, 3, 4, 2, -50, 2021, 3, 0, 0},
    {"held at December 9999", 9999, 11, 0, 0, 5, 9999, 12, 0, 1},
    {"held at January of the year 1", 2021, 6, -2020, -5, -1, 1, 1, -2020, -5},
    {"the largest count", 2021, 6, 0, 0, INT_MAX, 9999, 12, 7978, 6},
    {"the smallest count", 2021, 6, 0, 0, INT_MIN, 1, 1, -2020, -5},
};

class MonthStepping : public ::testing::TestWithParam<StepCase> {};

TEST_P(MonthStepping, MovesAcrossYearEndsWithinTheRangeOfDates) {
    const StepCase& c = GetParam();
    int yearOffset = c.yearOffset;
    int monthOffset = c.monthOffset;
    StepMonths(c.todayYear, c.todayMonth, c.months, yearOffset, monthOffset);
    EXPECT_EQ(yearOffset, c.newYearOffset);
    EXPECT_EQ(monthOffset, c.newMonthOffset);
    int year = 0;
    int month = 0;
    DisplayedMonth(c.todayYear, c.todayMonth, yearOffset, monthOffset, year, month);
    EXPECT_EQ(year, c.shownYear);
    EXPECT_EQ(month, c.shownMonth);
}

INSTANTIATE_TEST_SUITE_P(Steps, MonthStepping, ::testing::ValuesIn(kSteps));

} // namespace
