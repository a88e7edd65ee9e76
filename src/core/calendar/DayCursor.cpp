#include "calendar/DayCursor.h"

#include "calendar/MonthHitTest.h"
#include "common/DateFormat.h"
#include "memos/DayMemos.h"
#include "sync/EventDays.h"

namespace kestrivel {

int CursorStartDay(const TMonthModel& model) {
    const bool todayShown = model.DisplayYear == model.TodayYear && model.DisplayMonth == model.TodayMonth;
    return todayShown && IsDayOfMonth(model, model.TodayDay) ? model.TodayDay : 1;
}

bool StepDay(const TYmd& from, int days, TYmd& to) {
    TDateValue date = 0;
    if (!TryEncodeDate(from.Year, from.Month, from.Day, date) || !IsValidDateValue(date + days)) {
        return false;
    }
    to = DecodeDate(date + days);
    return true;
}

std::string DayAccessibleName(const TMonthModel& model, int day, const TMemoList& memos,
                              const TLocaleFormats& formats, std::string_view todayWord,
                              const EventDays* events, std::string_view allDay) {
    TDateValue date = 0;
    if (!IsDayOfMonth(model, day) || !TryEncodeDate(model.DisplayYear, model.DisplayMonth, day, date)) {
        return {};
    }
    std::string name = FormatDate("dddddd", date, formats);
    if (model.DisplayYear == model.TodayYear && model.DisplayMonth == model.TodayMonth &&
        day == model.TodayDay && !todayWord.empty()) {
        name += ", ";
        name += todayWord;
    }
    std::string lines;
    const EventDays none;
    if (DayLines(memos, events != nullptr ? *events : none, date, allDay, "\n", lines)) {
        name += '\n' + lines;
    }
    return name;
}

} // namespace kestrivel
