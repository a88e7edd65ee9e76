#pragma once

#include <string>
#include <string_view>

#include "calendar/MonthModel.h"

namespace kestrivel {

class EventDays;

class TMemoList;
struct TLocaleFormats;

// The day number under the window point (x, y), as the mouse's hover day. The strip below the grid
// (today's memo box and the bottom margin) gives today's day number; a point in the grid gives the
// box it lies in, the gap right of a box and the gap below it counting as part of that box; blank
// boxes give numbers outside 1..DaysInMonth; anywhere else gives 0. Ranges include both ends.
int HitTestDay(const TMonthModel& model, int x, int y);

// True when `day` is a day of the displayed month: the hint shows, "Add a memo..." is enabled.
bool IsDayOfMonth(const TMonthModel& model, int day);

// The hint for `day` of the displayed month: "[" + its long date + "]", then the text of each memo
// that falls on it, Single, Weekly, Monthly and Yearly in that order, each on its own line; every ";"
// breaks a line. Then each of `events` that falls on it (see EventLine, `allDay` for an all-day one).
// Lines are joined with `lineBreak`. Empty when `day` is no day of the month.
std::string HintText(const TMonthModel& model, int day, const TMemoList& memos, const TLocaleFormats& formats,
                     std::string_view lineBreak = "\n", const EventDays* events = nullptr,
                     std::string_view allDay = {});

} // namespace kestrivel
