#include "sync/EventDays.h"

#include "memos/UnitMemo.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace kestrivel;

namespace {

// Answers each cached text with the occurrences set for it, whatever the range asked.
class FakeExpander final : public IEventExpander {
public:
    std::map<std::string, std::vector<TEventOccurrence>, std::less<>> Answers;
    int Calls = 0;
    bool Expand(std::string_view data, TDateValue, TDateValue, std::vector<TEventOccurrence>& out) override {
        ++Calls;
        const auto found = Answers.find(data);
        if (found == Answers.end()) {
            return false;
        }
        out.insert(out.end(), found->second.begin(), found->second.end());
        return true;
    }
};

TEST(EventDays, ADayListsItsEventsAllDayFirstThenByTime) {
    FakeExpander expander;
    const TDateValue day = DateOf(2026, 3, 22);
    expander.Answers["a"] = {{day, 18 * 60 + 30, "Call", {}}, {day - 1, -1, "Before", {}}};
    expander.Answers["b"] = {
        {day, -1, "Birthday", {}}, {day, 9 * 60, "Planning", {}}, {DateOf(2026, 4, 1), -1, "Outside", {}}};
    TEventCache cache;
    cache.Events = {{"", "1", "", "a"}, {"Work", "2", "", "b"}, {"", "3", "", "unreadable"}};
    EventDays days;
    EXPECT_FALSE(days.any(day)) << "nothing before a range is built";
    days.build(cache, expander, DateOf(2026, 3, 1), DateOf(2026, 3, 31));
    EXPECT_EQ(expander.Calls, 3);
    EXPECT_TRUE(days.covers(DateOf(2026, 3, 2), DateOf(2026, 3, 31)));
    EXPECT_FALSE(days.covers(DateOf(2026, 2, 28), DateOf(2026, 3, 31)));
    const auto events = days.onDay(day + 0.75); // a time of day still names the day
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(EventLine(events[0], "all day"), "all day Birthday (Work)");
    EXPECT_EQ(EventLine(events[1], "all day"), "09:00 Planning (Work)");
    EXPECT_EQ(EventLine(events[2], "all day"), "18:30 Call");
    EXPECT_EQ(days.onDay(day - 1).size(), 1u);
    EXPECT_TRUE(days.onDay(DateOf(2026, 4, 1)).empty()) << "outside the range asked";
    EXPECT_EQ(days.size(), 4u);
}

// Events read once answer by their place in the cache, and each keeps its calendar's name.
TEST(EventDays, EventsReadOnceAnswerByTheirPlace) {
    class ByPlace final : public IPreparedEvents {
    public:
        void Expand(size_t index, TDateValue first, TDateValue,
                    std::vector<TEventOccurrence>& out) const override {
            out.push_back({first + static_cast<double>(index), -1, std::to_string(index), {}});
        }
        size_t size() const override { return 3; }
    };
    TEventCache cache;
    cache.Events = {{"Work", "1", "", "a"}, {"", "2", "", "b"}, {"Holidays", "3", "", "c"}};
    EventDays days;
    days.build(cache, ByPlace(), DateOf(2026, 3, 1), DateOf(2026, 3, 2));
    ASSERT_EQ(days.size(), 2u) << "the third falls after the range";
    EXPECT_EQ(EventLine(days.onDay(DateOf(2026, 3, 1))[0], "all day"), "all day 0 (Work)");
    EXPECT_EQ(EventLine(days.onDay(DateOf(2026, 3, 2))[0], "all day"), "all day 1");
}

TEST(EventDays, AHugeCalendarIsCutAtTheBound) {
    FakeExpander expander;
    std::vector<TEventOccurrence> many(EventDays::kMaxOccurrences / 2 + 1, {DateOf(2026, 3, 5), -1, "x", {}});
    expander.Answers["many"] = many;
    TEventCache cache;
    cache.Events = {{"", "1", "", "many"}, {"", "2", "", "many"}, {"", "3", "", "many"}};
    EventDays days;
    days.build(cache, expander, DateOf(2026, 3, 1), DateOf(2026, 3, 31));
    EXPECT_EQ(days.size(), EventDays::kMaxOccurrences);
}

TEST(EventDays, TheLinesOfADayAndTheAgenda) {
    FakeExpander expander;
    const TDateValue day = DateOf(2026, 5, 20);
    expander.Answers["a"] = {{day, 14 * 60 + 5, "Tea; cake\nand more", {}}};
    TEventCache cache;
    cache.Events = {{"Family", "1", "", "a"}};
    EventDays days;
    days.build(cache, expander, day, day);
    TMemoList memos;
    ASSERT_TRUE(memos.Add("Dentist;10 am", mtSingle, day));

    std::string lines;
    ASSERT_TRUE(DayLines(memos, days, day, "ganztägig", "\n", lines));
    EXPECT_EQ(lines, "Dentist\n10 am\n14:05 Tea; cake\nand more (Family)");
    ASSERT_TRUE(DayLines(TMemoList(), days, day, "all day", "\r\n", lines));
    EXPECT_EQ(lines, "14:05 Tea; cake\r\nand more (Family)");
    EXPECT_FALSE(DayLines(memos, days, day + 1, "all day", "\n", lines));

    EXPECT_EQ(AgendaText(memos, days, day - 1, day + 1, "Memos"),
              "2026-05-20\tall day\tMemos\tDentist;10 am\n"
              "2026-05-20\t14:05\tFamily\tTea; cake and more\n");
    EXPECT_EQ(AgendaLine(DateOf(987, 1, 2), 0, "", "a\tb\nc"), "0987-01-02\t00:00\t\ta b c");
}

} // namespace
