#include "calendar/DayCursor.h"

#include "common/DateFormat.h"
#include "memos/UnitMemo.h"

#include <gtest/gtest.h>

using namespace kestrivel;

namespace {

// Today is Tuesday 15 June 2021; the model shows `year`/`month` (only its month fields count here).
TMonthModel Shown(int year, int month) {
    TMonthModel model;
    model.TodayYear = 2021;
    model.TodayMonth = 6;
    model.TodayDay = 15;
    model.DisplayYear = year;
    model.DisplayMonth = month;
    model.DaysInMonth = static_cast<uint16_t>(DaysInMonth(year, month));
    return model;
}

TEST(DayAccessibleName, DateTodayAndTheMemosOfTheDay) {
    TMemoList memos;
    TDateValue date = 0;
    ASSERT_TRUE(TryEncodeDate(2021, 6, 15, date));
    memos.Add("Lunch;with Ann", mtSingle, date);
    memos.Add("Swim", mtWeekly, date - 14);
    const TLocaleFormats formats;
    const struct {
        int Year, Month, Day;
        const char* Name;
    } cases[] = {
        {2021, 6, 15, "Tuesday 15 June 2021, today\nLunch\nwith Ann\nSwim"},
        {2021, 6, 22, "Tuesday 22 June 2021\nSwim"},
        {2021, 6, 16, "Wednesday 16 June 2021"},
        {2021, 7, 15, "Thursday 15 July 2021"},
        {2021, 6, 31, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(DayAccessibleName(Shown(c.Year, c.Month), c.Day, memos, formats, "today"), c.Name);
    }
}

} // namespace
