#include "calendar/MonthHitTest.h"

#include "common/DateFormat.h"
#include "memos/DayMemos.h"
#include "memos/MemoEditorRules.h"
#include "sync/EventDays.h"

#include <algorithm>

namespace kestrivel {

namespace {

bool Within(int value, int low, int high) {
    return low <= value && value <= high;
}

} // namespace

int HitTestDay(const TMonthModel& model, int x, int y) {
    const int gridBottom = model.GridTop + model.GridHeight;
    if (Within(x, 0, model.CalendarWidth) && Within(y, gridBottom, model.CalendarHeight)) {
        return model.TodayDay;
    }
    if (!Within(x, model.GridLeft, model.GridLeft + model.GridWidth) ||
        !Within(y, model.GridTop, gridBottom) || model.WeekRows == 0) {
        return 0;
    }
    // The grid's right edge lies one pixel right of the last column; without spacing the division
    // would name an eighth column, so that pixel stays with the last box like any other gap.
    const int column = std::min((x - model.GridLeft) / std::max(1, model.CellWidth + model.DaySpacing), 6);
    const int row =
        std::min((y - model.GridTop) / std::max(1, model.CellHeight + model.DaySpacing), model.WeekRows - 1);
    return 7 * row + column + 1 - model.Lead;
}

bool IsDayOfMonth(const TMonthModel& model, int day) {
    return Within(day, 1, model.DaysInMonth);
}

std::string HintText(const TMonthModel& model, int day, const TMemoList& memos, const TLocaleFormats& formats,
                     std::string_view lineBreak, const EventDays* events, std::string_view allDay) {
    TDateValue date = 0;
    if (!IsDayOfMonth(model, day) || !TryEncodeDate(model.DisplayYear, model.DisplayMonth, day, date)) {
        return {};
    }
    std::string text = MemoTextToEditor("[" + FormatDate("dddddd", date, formats) + "]", lineBreak);
    std::string lines;
    const EventDays none;
    if (DayLines(memos, events != nullptr ? *events : none, date, allDay, lineBreak, lines)) {
        text.append(lineBreak);
        text += lines;
    }
    return text;
}

} // namespace kestrivel
