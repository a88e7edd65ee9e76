#include "common/DateValue.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kestrivel;

namespace {

struct KnownDate {
    int Year, Month, Day;
    double Value;
    int Dow; // 1 Monday .. 7 Sunday
};

// Values and week days checked by hand against the calendar.
const KnownDate KnownDates[] = {
    {1899, 12, 30, 0, 6},       {1899, 12, 31, 1, 7},     {1900, 1, 1, 2, 1},     {1900, 2, 28, 60, 3},
    {1900, 3, 1, 61, 4},        {1970, 1, 1, 25569, 4},   {2000, 1, 1, 36526, 6}, {2000, 2, 29, 36585, 2},
    {2006, 7, 5, 38903, 3},     {2024, 2, 29, 45351, 4},  {1899, 12, 29, -1, 5},  {1, 1, 1, -693593, 1},
    {9999, 12, 31, 2958465, 5}, {1600, 3, 1, -109511, 3},
};

TEST(DateValue, KnownDatesEncodeDecodeAndWeekday) {
    for (const KnownDate& k : KnownDates) {
        TDateValue v = -1e9;
        ASSERT_TRUE(TryEncodeDate(k.Year, k.Month, k.Day, v)) << k.Year << "-" << k.Month << "-" << k.Day;
        EXPECT_EQ(v, k.Value) << k.Year << "-" << k.Month << "-" << k.Day;
        EXPECT_EQ(DecodeDate(k.Value), (TYmd{k.Year, k.Month, k.Day})) << k.Value;
        EXPECT_EQ(DayOfWeek(k.Value), k.Dow) << k.Value;
        EXPECT_EQ(DayOfWeek(k.Year, k.Month, k.Day), k.Dow) << k.Value;
    }
}

TEST(DateValue, FractionsBelongToTheirDay) {
    EXPECT_EQ(DecodeDate(38903.999), (TYmd{2006, 7, 5}));
    EXPECT_EQ(DecodeDate(38903.5), (TYmd{2006, 7, 5}));
    EXPECT_EQ(DayOfWeek(38903.75), 3);
}

TEST(DateValue, LeapYears) {
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_TRUE(IsLeapYear(2024));
    EXPECT_FALSE(IsLeapYear(2100));
    EXPECT_FALSE(IsLeapYear(2023));
    EXPECT_TRUE(IsLeapYear(1600));
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(2024, 2), 29);
    EXPECT_EQ(DaysInMonth(2100, 2), 28);
    EXPECT_EQ(DaysInMonth(2023, 4), 30);
    EXPECT_EQ(DaysInMonth(2023, 12), 31);
    EXPECT_EQ(DaysInMonth(2023, 0), 0);
    EXPECT_EQ(DaysInMonth(2023, 13), 0);
    TDateValue v = 0;
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29, v));
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29, v));
    EXPECT_FALSE(TryEncodeDate(2100, 2, 29, v));
}

TEST(DateValue, InvalidDatesAreRefusedAndLeaveTheValue) {
    const int invalid[][3] = {{2023, 2, 29}, {2006, 13, 1}, {2006, 0, 10}, {2006, 4, 31}, {2006, 1, 0},
                              {2006, 1, 32}, {0, 1, 1},     {10000, 1, 1}, {-5, 1, 1},    {2006, -1, 1}};
    for (const auto& d : invalid) {
        TDateValue v = 123;
        EXPECT_FALSE(TryEncodeDate(d[0], d[1], d[2], v)) << d[0] << "-" << d[1] << "-" << d[2];
        EXPECT_EQ(v, 123);
        EXPECT_FALSE(IsValidDate(d[0], d[1], d[2]));
        EXPECT_EQ(DayOfWeek(d[0], d[1], d[2]), 0);
        EXPECT_EQ(IsoWeekNumber(d[0], d[1], d[2]), 0);
    }
}

// Walks day by day with an independent calendar and checks every value from 1583 to 2500.
TEST(DateValue, EveryDayFollowsTheDayBefore) {
    const auto leap = [](int y) { return y % 400 == 0 || (y % 4 == 0 && y % 100 != 0); };
    const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int y = 1583, m = 1, d = 1;
    TDateValue first = 0;
    ASSERT_TRUE(TryEncodeDate(y, m, d, first));
    int dow = DayOfWeek(first);
    for (double v = first; y <= 2500; v += 1) {
        TDateValue enc = 0;
        ASSERT_TRUE(TryEncodeDate(y, m, d, enc));
        ASSERT_EQ(enc, v);
        ASSERT_EQ(DecodeDate(v), (TYmd{y, m, d}));
        ASSERT_EQ(DayOfWeek(v), dow);
        dow = dow % 7 + 1;
        const int len = (m == 2 && leap(y)) ? 29 : lengths[m - 1];
        if (++d > len) {
            d = 1;
            if (++m > 12) {
                m = 1;
                ++y;
            }
        }
    }
}

TEST(DateValue, IsoWeekNumbers) {
    struct Week {
        int Year, Month, Day, Week;
    };
    const Week weeks[] = {
        {2021, 1, 1, 53},   {2020, 12, 31, 53}, {2026, 1, 1, 1},   {2027, 1, 1, 53},  {2027, 1, 4, 1},
        {2026, 12, 31, 53}, {2008, 12, 29, 1},  {2024, 12, 30, 1}, {2019, 12, 30, 1}, {2022, 1, 2, 52},
        {2022, 1, 3, 1},    {2015, 12, 31, 53}, {2006, 7, 5, 27},  {2024, 1, 1, 1},   {2023, 1, 1, 52},
        {2004, 12, 31, 53}, {2010, 1, 3, 53},
    };
    for (const Week& w : weeks) {
        EXPECT_EQ(IsoWeekNumber(w.Year, w.Month, w.Day), w.Week) << w.Year << "-" << w.Month << "-" << w.Day;
        TDateValue v = 0;
        ASSERT_TRUE(TryEncodeDate(w.Year, w.Month, w.Day, v));
        EXPECT_EQ(IsoWeekNumber(v + 0.5), w.Week);
    }
}

TEST(DateValue, IsoWeekNumbersStayWithinOneTo53) {
    TDateValue v = 0;
    ASSERT_TRUE(TryEncodeDate(1900, 1, 1, v));
    TDateValue end = 0;
    ASSERT_TRUE(TryEncodeDate(2100, 12, 31, end));
    int previous = IsoWeekNumber(v);
    for (v += 1; v <= end; v += 1) {
        const int week = IsoWeekNumber(v);
        ASSERT_GE(week, 1);
        ASSERT_LE(week, 53);
        // The number changes only on Mondays, by one or back to 1.
        if (DayOfWeek(v) == 1) {
            ASSERT_TRUE(week == previous + 1 || week == 1) << v;
        } else {
            ASSERT_EQ(week, previous) << v;
        }
        previous = week;
    }
}

TEST(DateValue, ValuesFromDamagedFilesAreSafe) {
    EXPECT_TRUE(IsValidDateValue(0));
    EXPECT_TRUE(IsValidDateValue(-693593));
    EXPECT_TRUE(IsValidDateValue(2958465.99));
    EXPECT_FALSE(IsValidDateValue(2958466));
    EXPECT_FALSE(IsValidDateValue(-693594));
    EXPECT_FALSE(IsValidDateValue(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(IsValidDateValue(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(IsValidDateValue(1e300));
    // Held at the nearest end of the range instead of overflowing.
    EXPECT_EQ(DecodeDate(1e300), (TYmd{9999, 12, 31}));
    EXPECT_EQ(DecodeDate(-1e300), (TYmd{1, 1, 1}));
    EXPECT_EQ(DecodeDate(std::numeric_limits<double>::infinity()), (TYmd{9999, 12, 31}));
    EXPECT_EQ(DecodeDate(std::numeric_limits<double>::quiet_NaN()), (TYmd{1899, 12, 30}));
    EXPECT_EQ(DayOfWeek(std::numeric_limits<double>::quiet_NaN()), 6);
    const int week = IsoWeekNumber(-1e300);
    EXPECT_GE(week, 1);
    EXPECT_LE(week, 53);
}

} // namespace
