#include "common/DateValue.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace kestrivel {

namespace {

using namespace std::chrono;

// sys_days counts from 1970-01-01; the date value counts from 1899-12-30.
constexpr int kEpochOffset = 25569;

// 0001-01-01 and 9999-12-31.
constexpr double kFirstDay = -693593;
constexpr double kLastDay = 2958465;

// A value from a damaged file may be anything; outside years 1..9999 (or not a number) it is held
// at the nearest end, so converting it to an integer can never overflow.
sys_days toSysDays(TDateValue value) {
    double whole = std::isnan(value) ? 0.0 : std::floor(value);
    whole = std::clamp(whole, kFirstDay, kLastDay);
    return sys_days{days{static_cast<int>(whole) - kEpochOffset}};
}

} // namespace

bool IsValidDateValue(TDateValue value) {
    return std::isfinite(value) && value >= kFirstDay && value < kLastDay + 1;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

bool TryEncodeDate(int year, int month, int day, TDateValue& out) {
    if (!IsValidDate(year, month, day)) {
        return false;
    }
    const sys_days d{std::chrono::year{year} / std::chrono::month{static_cast<unsigned>(month)} /
                     std::chrono::day{static_cast<unsigned>(day)}};
    out = static_cast<TDateValue>(d.time_since_epoch().count() + kEpochOffset);
    return true;
}

TYmd DecodeDate(TDateValue value) {
    const year_month_day ymd{toSysDays(value)};
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

int DayOfWeek(TDateValue value) {
    return static_cast<int>(weekday{toSysDays(value)}.iso_encoding());
}

int DayOfWeek(int year, int month, int day) {
    TDateValue v = 0;
    if (!TryEncodeDate(year, month, day, v)) {
        return 0;
    }
    return DayOfWeek(v);
}

int IsoWeekNumber(TDateValue value) {
    const sys_days d = toSysDays(value);
    // The Thursday of this ISO week decides the ISO year; week 1 is the one holding 4 January.
    const int isoDow = static_cast<int>(weekday{d}.iso_encoding());
    const sys_days thursday = d + days{4 - isoDow};
    const year y = year_month_day{thursday}.year();
    const sys_days firstOfYear{y / January / 1};
    return static_cast<int>((thursday - firstOfYear).count() / 7 + 1);
}

int IsoWeekNumber(int year, int month, int day) {
    TDateValue v = 0;
    if (!TryEncodeDate(year, month, day, v)) {
        return 0;
    }
    return IsoWeekNumber(v);
}

} // namespace kestrivel
