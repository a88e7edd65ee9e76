#include "calendar/DayCursor.h"

#include "common/DateFormat.h"
#include "calendar/MonthHitTest.h"
#include "memos/UnitMemo.h"
#include "sync/EventDays.h"

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

// Answers every cached text with one timed event on 16 June 2021.
class OneEvent final : public IEventExpander {
public:
    bool Expand(std::string_view, TDateValue, TDateValue, std::vector<TEventOccurrence>& out) override {
        TDateValue date = 0;
        TryEncodeDate(2021, 6, 16, date);
        out.push_back({date, 18 * 60 + 30, "Call", {}});
        return true;
    }
};

// A screen reader and the hint say a day's events after its memos, as the day's lines list them.
TEST(DayAccessibleName, TheEventsOfTheDayFollowItsMemos) {
    TMemoList memos;
    TDateValue date = 0;
    ASSERT_TRUE(TryEncodeDate(2021, 6, 16, date));
    memos.Add("Swim", mtSingle, date);
    TEventCache cache;
    cache.Events = {{"Work", "h", "", "x"}};
    OneEvent expander;
    EventDays events;
    events.build(cache, expander, date - 15, date + 14);
    const TLocaleFormats formats;
    EXPECT_EQ(DayAccessibleName(Shown(2021, 6), 16, memos, formats, "today", &events, "all day"),
              "Wednesday 16 June 2021\nSwim\n18:30 Call (Work)");
    EXPECT_EQ(DayAccessibleName(Shown(2021, 6), 16, TMemoList(), formats, "today", &events, "all day"),
              "Wednesday 16 June 2021\n18:30 Call (Work)");
    EXPECT_EQ(HintText(Shown(2021, 6), 16, TMemoList(), formats, "|", &events, "all day"),
              "[Wednesday 16 June 2021]|18:30 Call (Work)");
}

} // namespace
