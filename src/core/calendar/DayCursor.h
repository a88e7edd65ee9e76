#pragma once

#include <string>
#include <string_view>

#include "calendar/MonthModel.h"
#include "common/DateValue.h"

namespace kestrivel {

class EventDays;

class TMemoList;
struct TLocaleFormats;

// The keyboard's day cursor on the calendar: a day of the shown month that the arrow keys move, Enter
// opens and the menu key acts on. These are its rules; the window keeps the day and draws it.

// Where the cursor starts: today when today lies in the shown month, else the 1st.
int CursorStartDay(const TMonthModel& model);

// The day `days` on (back for a negative count) from `from`, across month and year ends. False,
// leaving `to` alone, when it would leave the range of dates.
bool StepDay(const TYmd& from, int days, TYmd& to);

// What a screen reader says for day `day` of the shown month: its long date, then ", " and `todayWord`
// when it is today; then, each on a line of its own, the memos that fall on it as the hint lists
// them (";" breaks a line), then the events of `events` that fall on it as the hint lists them. Empty
// when `day` is no day of the month.
std::string DayAccessibleName(const TMonthModel& model, int day, const TMemoList& memos,
                              const TLocaleFormats& formats, std::string_view todayWord,
                              const EventDays* events = nullptr, std::string_view allDay = {});

} // namespace kestrivel
