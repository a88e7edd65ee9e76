#include "sync/SyncReconcile.h"

#include "common/DateValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

using namespace kestrivel;

namespace {

const std::string kCollection = "https://dav.example.org/cal/";

// 2024-01-05, -06 and -07 (day 0 is 1899-12-30).
constexpr TDateValue kJan5 = 45296, kJan6 = 45297, kJan7 = 45298;

std::string day(TDateValue date) {
    const TYmd d = DecodeDate(date);
    return std::to_string(d.Year * 10000 + d.Month * 100 + d.Day);
}

std::string describe(const TMemo& m) {
    return day(m.Date) + "|" + std::to_string(m.MemoType) + "|" + m.Text;
}

// The href of event `name`, and back.
std::string href(const std::string& name) {
    return kCollection + name + ".ics";
}

std::string nameOf(const std::string& url) {
    return url.substr(kCollection.size(), url.size() - kCollection.size() - 4);
}

TSyncEntry shown(const std::string& name, TMemo base, const std::string& etag,
                 TEntryMode mode = TEntryMode::Shown, bool inexact = false) {
    return {href(name), name, etag, mode, inexact, std::move(base)};
}

TRemoteEvent event(const std::string& name, const std::string& etag, TMemo memo, bool exact = true,
                   bool exactDays = true) {
    return {href(name), etag, true, {std::move(memo), name, exact, exactDays}};
}

struct Scenario {
    const char* Name;
    std::vector<TMemo> Local;
    std::vector<TSyncEntry> Entries;
    std::vector<TRemoteEvent> Changed;
    std::vector<std::string> Removed;  // event names
    std::vector<std::string> Expected; // memo changes, then requests, then entries
    int Joined = 0;
    int NotShown = 0;
    bool WithoutState = false;
    int Unpaired = 0;
};

void PrintTo(const Scenario& s, std::ostream* os) {
    *os << s.Name;
}

std::vector<std::string> outcome(const TSyncPlan& plan) {
    std::vector<std::string> out;
    for (const TMemoChange& c : plan.Local) {
        out.push_back(c.Remove ? "remove " + day(c.Memo.Date) : "set " + describe(c.Memo));
    }
    for (const TPushAction& p : plan.Push) {
        if (p.Kind == TPushKind::Create) {
            out.push_back("create " + describe(p.Memo));
        } else {
            out.push_back((p.Kind == TPushKind::Update ? "update " : "delete ") + nameOf(p.Href) + " " +
                          p.IfMatch + (p.Kind == TPushKind::Update ? " " + describe(p.Memo) : ""));
        }
    }
    for (const TSyncEntry& e : plan.Entries) {
        const std::string base = std::isnan(e.Base.Date) ? "no date" : describe(e.Base);
        out.push_back("entry " + nameOf(e.Href) + " " + static_cast<char>(e.Mode) + " " + e.ETag + " " +
                      base);
    }
    return out;
}

const TMemo gym{kJan5, "Gym", mtWeekly};
const TMemo swim{kJan5, "Swim", mtSingle};

const Scenario kScenarios[] = {
    {"UnchangedBoth", {gym}, {shown("a", gym, "e1")}, {}, {}, {"entry a S e1 20240105|1|Gym"}},
    {"ChangedHere",
     {{kJan5, "Gym 7pm", mtWeekly}},
     {shown("a", gym, "e1")},
     {},
     {},
     {"update a e1 20240105|1|Gym 7pm", "entry a S e1 20240105|1|Gym"}},
    {"DeletedHere", {}, {shown("a", gym, "e1")}, {}, {}, {"delete a e1", "entry a D e1 20240105|1|Gym"}},
    {"ChangedOnServer",
     {gym},
     {shown("a", gym, "e1")},
     {event("a", "e2", {kJan5, "Swim", mtSingle})},
     {},
     {"set 20240105|0|Swim", "entry a S e2 20240105|0|Swim"}},
    {"SameContentNewETag",
     {gym},
     {shown("a", gym, "")},
     {event("a", "e2", gym)},
     {},
     {"entry a S e2 20240105|1|Gym"}},
    {"MovedOnServer",
     {gym},
     {shown("a", gym, "e1")},
     {event("a", "e2", {kJan6, "Gym", mtWeekly})},
     {},
     {"remove 20240105", "set 20240106|1|Gym", "entry a S e2 20240106|1|Gym"}},
    {"MovedOntoUnsyncedMemo",
     {gym, {kJan6, "Dentist", mtWeekly}},
     {shown("a", gym, "e1")},
     {event("a", "e2", {kJan6, "Gym", mtWeekly})},
     {},
     {"remove 20240105", "create 20240106|1|Dentist", "entry a H e2 20240106|1|Gym"},
     0,
     1},
    {"EditedHereMovedThere",
     {{kJan5, "Gym 7pm", mtWeekly}},
     {shown("a", gym, "e1")},
     {event("a", "e2", {kJan6, "Gym", mtWeekly})},
     {},
     {"remove 20240105", "set 20240106|1|Gym 7pm", "update a e2 20240106|1|Gym 7pm",
      "entry a S e2 20240106|1|Gym"}},
    // The edit stays in its memo, which goes up as an event of its own; nobody is told of a join.
    {"EditedHereMovedOntoAMemoOfAnotherType",
     {{kJan5, "Gym 7pm", mtWeekly}, {kJan6, "Dentist", mtSingle}},
     {shown("a", gym, "e1")},
     {event("a", "e2", {kJan6, "Gym", mtWeekly})},
     {},
     {"create 20240105|1|Gym 7pm", "create 20240106|0|Dentist", "entry a H e2 20240106|1|Gym"},
     0,
     1},
    {"BothChangedAlike",
     {{kJan5, "Swim", mtSingle}},
     {shown("a", gym, "e1")},
     {event("a", "e2", {kJan5, "Swim", mtSingle})},
     {},
     {"entry a S e2 20240105|0|Swim"}},
    {"BothChangedApart",
     {{kJan5, "Gym 7pm", mtWeekly}},
     {shown("a", gym, "e1")},
     {event("a", "e2", {kJan5, "Swim", mtSingle})},
     {},
     {"set 20240105|0|Gym 7pm;Swim", "update a e2 20240105|0|Gym 7pm;Swim", "entry a S e2 20240105|0|Swim"},
     1},
    {"BothChangedRunAgain",
     {{kJan5, "Gym 7pm;Swim", mtSingle}},
     {shown("a", gym, "e1")},
     {event("a", "e2", {kJan5, "Swim", mtSingle})},
     {},
     {"update a e2 20240105|0|Gym 7pm;Swim", "entry a S e2 20240105|0|Swim"}},
    {"TypeChangedHereTextThere",
     {{kJan5, "Gym", mtMonthly}},
     {shown("a", gym, "e1")},
     {event("a", "e2", {kJan5, "Gym 8pm", mtWeekly})},
     {},
     {"set 20240105|2|Gym 8pm", "update a e2 20240105|2|Gym 8pm", "entry a S e2 20240105|1|Gym 8pm"}},
    {"TextChangedHereTypeThere",
     {{kJan5, "Gym 6pm", mtWeekly}},
     {shown("a", gym, "e1")},
     {event("a", "e2", {kJan5, "Gym", mtYearly})},
     {},
     {"set 20240105|3|Gym 6pm", "update a e2 20240105|3|Gym 6pm", "entry a S e2 20240105|3|Gym"}},
    {"DeletedOnServerEditedHere",
     {{kJan5, "Gym 7pm", mtWeekly}},
     {shown("a", gym, "e1")},
     {},
     {"a"},
     {"create 20240105|1|Gym 7pm"}},
    {"DeletedOnServer", {gym}, {shown("a", gym, "e1")}, {}, {"a"}, {"remove 20240105"}},
    {"DeletedHereEditedOnServer",
     {},
     {shown("a", gym, "e1")},
     {event("a", "e2", {kJan5, "Swim", mtWeekly})},
     {},
     {"set 20240105|1|Swim", "entry a S e2 20240105|1|Swim"}},
    {"DeletedOnBoth", {}, {shown("a", gym, "e1")}, {}, {"a"}, {}},
    {"NewOnServer",
     {},
     {},
     {event("b", "e1", gym)},
     {},
     {"set 20240105|1|Gym", "entry b S e1 20240105|1|Gym"}},
    {"NewOnServerAdopted", {gym}, {}, {event("b", "e1", gym)}, {}, {"entry b S e1 20240105|1|Gym"}},
    {"NewOnServerBesideUnsyncedMemo",
     {{kJan5, "Cake", mtSingle}},
     {},
     {event("b", "e1", {kJan5, "Dentist", mtSingle})},
     {},
     {"create 20240105|0|Cake", "entry b H e1 20240105|0|Dentist"},
     0,
     1},
    {"NewOnServerOfAnotherTypeKeepsItsRepeat",
     {{kJan5, "Cake", mtSingle}},
     {},
     {event("b", "e1", gym)},
     {},
     {"create 20240105|0|Cake", "entry b H e1 20240105|1|Gym"},
     0,
     1},
    {"InexactChangedOnServer",
     {gym},
     {shown("a", gym, "e1", TEntryMode::Shown, true)},
     {event("a", "e2", {kJan5, "Gym 8pm", mtWeekly}, false)},
     {},
     {"set 20240105|1|Gym 8pm", "entry a S e2 20240105|1|Gym 8pm"}},
    // What no memo says exactly is drawn from the event's own data; a memo of it that was never edited
    // here leaves the memo list, and the server is not touched; an edited one stays.
    {"OtherDaysThanItsMemoLeaveTheMemos",
     {gym},
     {shown("a", gym, "e1", TEntryMode::Shown, true)},
     {event("a", "e1", gym, false, false)},
     {},
     {"remove 20240105", "entry a E e1 20240105|1|Gym"}},
    {"OtherDaysEditedHereStayAMemo",
     {{kJan5, "Gym 6pm", mtWeekly}},
     {shown("a", gym, "e1", TEntryMode::Shown, true)},
     {event("a", "e1", gym, false, false)},
     {},
     {"update a e1 20240105|1|Gym 6pm", "entry a S e1 20240105|1|Gym"}},
    {"OtherDaysArriveAsAnEvent",
     {},
     {},
     {event("a", "e1", gym, false, false)},
     {},
     {"entry a E e1 20240105|1|Gym"}},
    {"AnEventStaysOneOnAFreeDate",
     {},
     {shown("a", gym, "e1", TEntryMode::Event, true)},
     {},
     {},
     {"entry a E e1 20240105|1|Gym"}},
    {"AnEventSaidExactlyNowBecomesAMemo",
     {},
     {shown("a", gym, "e1", TEntryMode::Event, true)},
     {event("a", "e2", gym)},
     {},
     {"set 20240105|1|Gym", "entry a S e2 20240105|1|Gym"}},
    {"RepeatWhoseYearlySlotIsTaken",
     {{kJan5, "Anna", mtYearly}},
     {shown("a", {kJan5, "Anna", mtYearly}, "e1")},
     {event("b", "e2", {kJan5 - 1095, "Ben", mtYearly})},
     {},
     {"entry a S e1 20240105|3|Anna", "entry b H e2 20210105|3|Ben"},
     0,
     1},
    {"RepeatWhoseWeekdaySlotIsTaken",
     {gym},
     {shown("a", gym, "e1")},
     {event("b", "e2", {kJan5 + 7, "Run", mtWeekly})},
     {},
     {"entry a S e1 20240105|1|Gym", "entry b H e2 20240112|1|Run"},
     0,
     1},
    {"AMemoChangedOnTheServerKeepsItsSlot",
     {gym, {kJan5 + 7, "Run", mtWeekly}},
     {shown("a", gym, "e1"), shown("b", {kJan5 + 7, "Run", mtWeekly}, "e2")},
     {event("b", "e3", {kJan5 + 7, "Run fast", mtWeekly})},
     {},
     {"set 20240112|1|Run fast", "entry a S e1 20240105|1|Gym", "entry b S e3 20240112|1|Run fast"}},
    {"ASlotOfAnotherTypeIsFree",
     {gym},
     {shown("a", gym, "e1")},
     {event("b", "e2", {kJan5 + 7, "Run", mtMonthly})},
     {},
     {"set 20240112|2|Run", "entry a S e1 20240105|1|Gym", "entry b S e2 20240112|2|Run"}},
    {"InexactEditedHere",
     {{kJan5, "Gym 6pm", mtWeekly}},
     {shown("a", gym, "e1", TEntryMode::Shown, true)},
     {},
     {},
     {"update a e1 20240105|1|Gym 6pm", "entry a S e1 20240105|1|Gym"}},
    {"NewHere",
     {gym, {kJan7, "Party", mtYearly}},
     {},
     {},
     {},
     {"create 20240105|1|Gym", "create 20240107|3|Party"}},
    {"NoUsableDate", {}, {}, {{href("c"), "e1", false, {}}}, {}, {"entry c H e1 no date"}},
    {"SecondEventOnADate",
     {gym},
     {shown("a", gym, "e1")},
     {event("b", "e7", {kJan5, "Run", mtWeekly})},
     {},
     {"entry a S e1 20240105|1|Gym", "entry b H e7 20240105|1|Run"},
     0,
     1},
    {"HiddenEventShownWhenItsDateIsFree",
     {},
     {shown("a", gym, "e1"), shown("b", {kJan5, "Run", mtWeekly}, "e7", TEntryMode::Hidden)},
     {},
     {},
     {"set 20240105|1|Run", "delete a e1", "entry a D e1 20240105|1|Gym", "entry b S e7 20240105|1|Run"}},
    {"HrefSpelledAnotherWay",
     {gym},
     {shown("a%40b", gym, "e1")},
     {event("a@b", "e2", {kJan5, "Swim", mtSingle})},
     {},
     {"set 20240105|0|Swim", "entry a%40b S e2 20240105|0|Swim"}},
    {"RemovedHrefSpelledAnotherWay", {gym}, {shown("a%40b", gym, "e1")}, {}, {"a@b"}, {"remove 20240105"}},
    {"StateNamingOneEventTwice",
     {gym},
     {shown("a%40b", gym, "e1"), shown("a@b", gym, "e1")},
     {},
     {},
     {"entry a%40b S e1 20240105|1|Gym"}},
    {"DroppedEditedOnServer",
     {},
     {shown("a", gym, "e1", TEntryMode::Dropped)},
     {event("a", "e2", {kJan5, "Gym!", mtWeekly})},
     {},
     {"set 20240105|1|Gym!", "entry a S e2 20240105|1|Gym!"}},
    // Without state a memo may be an older copy of the event on its date: nothing is doubled.
    {"WithoutStateMemoDiffers",
     {gym},
     {},
     {event("p", "e1", swim)},
     {},
     {"entry p U e1 20240105|0|Swim"},
     0,
     0,
     true,
     1},
    {"WithoutStateSameContent",
     {gym},
     {},
     {event("p", "e1", gym)},
     {},
     {"entry p S e1 20240105|1|Gym"},
     0,
     0,
     true},
    {"WithoutStateFreeDates",
     {{kJan7, "Dentist", mtSingle}},
     {},
     {event("p", "e1", {kJan6, "Swim", mtSingle})},
     {},
     {"set 20240106|0|Swim", "create 20240107|0|Dentist", "entry p S e1 20240106|0|Swim"},
     0,
     0,
     true},
    {"WithoutStateDateHeldByAnotherEvent",
     {gym},
     {},
     {event("a", "e1", gym), event("b", "e2", swim)},
     {},
     {"entry a S e1 20240105|1|Gym", "entry b H e2 20240105|0|Swim"},
     0,
     1,
     true},
    {"UnpairedMemoStillDiffers",
     {gym},
     {shown("p", swim, "e1", TEntryMode::Unpaired)},
     {},
     {},
     {"entry p U e1 20240105|0|Swim"},
     0,
     0,
     false,
     1},
    {"UnpairedMemoLeft",
     {},
     {shown("p", swim, "e1", TEntryMode::Unpaired)},
     {},
     {},
     {"set 20240105|0|Swim", "entry p S e1 20240105|0|Swim"}},
    {"UnpairedMemoNowSaysTheSame",
     {swim},
     {shown("p", swim, "e1", TEntryMode::Unpaired)},
     {},
     {},
     {"entry p S e1 20240105|0|Swim"}},
    {"UnpairedChangedOnServer",
     {gym},
     {shown("p", swim, "e1", TEntryMode::Unpaired)},
     {event("p", "e2", {kJan5, "Swim 6pm", mtSingle})},
     {},
     {"entry p U e2 20240105|0|Swim 6pm"},
     0,
     0,
     false,
     1},
    {"UnpairedGoneFromServer",
     {gym},
     {shown("p", swim, "e1", TEntryMode::Unpaired)},
     {},
     {"p"},
     {"create 20240105|1|Gym"}},
};

class Reconcile : public testing::TestWithParam<Scenario> {};

TEST_P(Reconcile, Plans) {
    const Scenario& s = GetParam();
    TRemoteChanges remote{s.Changed, {}, s.WithoutState};
    for (const std::string& name : s.Removed) {
        remote.Removed.push_back(href(name));
    }
    const TSyncPlan plan = ReconcileSync(s.Local, s.Entries, remote, kCollection, 65535);
    EXPECT_EQ(outcome(plan), s.Expected);
    EXPECT_EQ(plan.Joined, s.Joined);
    EXPECT_EQ(plan.NotShown, s.NotShown);
    EXPECT_EQ(plan.Unpaired, s.Unpaired);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Reconcile, testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& p) { return std::string(p.param.Name); });

// A new memo's event is named by its date and content: the same on a second run, another name
// where that href is taken.
TEST(ReconcileNames, NewEventsAreNamedByDateAndContent) {
    const TSyncPlan first = ReconcileSync({gym}, {}, {}, kCollection, 65535);
    const TSyncPlan again = ReconcileSync({gym}, {}, {}, kCollection, 65535);
    ASSERT_EQ(first.Push.size(), 1u);
    EXPECT_TRUE(std::regex_match(first.Push[0].Uid, std::regex("kestrivel-20240105-[0-9a-f]{8}")));
    EXPECT_EQ(first.Push[0].Href, href(first.Push[0].Uid));
    EXPECT_EQ(again.Push[0].Uid, first.Push[0].Uid);

    // The event at that href is on another date: the memo gets a name of its own.
    const TRemoteChanges taken{{event(first.Push[0].Uid, "e1", {kJan7, "Other", mtSingle})}, {}};
    const TSyncPlan next = ReconcileSync({gym}, {}, taken, kCollection, 65535);
    ASSERT_EQ(next.Push.size(), 1u);
    EXPECT_NE(next.Push[0].Uid, first.Push[0].Uid);
}

// A full memo list takes no event the server adds; the event stays known but hidden.
TEST(ReconcileRoom, FullListHidesNewEvents) {
    const TSyncPlan plan =
        ReconcileSync({gym}, {}, {{event("b", "e1", {kJan6, "Run", mtSingle})}, {}}, kCollection, 1);
    ASSERT_EQ(plan.Entries.size(), 1u);
    EXPECT_EQ(plan.Entries[0].Mode, TEntryMode::Hidden);
    EXPECT_TRUE(plan.Local.empty());
}

// More than half of the events known, and more than ten, need consent.
TEST(ReconcileRemovals, ManyNeedConsent) {
    const struct {
        size_t Removals, Known;
        bool Consent;
    } cases[] = {{0, 0, false},   {10, 10, false},  {11, 11, true},    {11, 21, true},
                 {11, 22, false}, {900, 900, true}, {50, 1000, false}, {501, 1000, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Removals) + " of " + std::to_string(c.Known));
        EXPECT_EQ(RemovalsNeedConsent(c.Removals, c.Known), c.Consent);
    }
}

struct JoinCase {
    const char* Ours;
    const char* Theirs;
    const char* Joined;
};

TEST(JoinMemoTexts, KeepsEveryLineOnce) {
    const JoinCase cases[] = {
        {"a", "b", "a;b"},     {"a;b", "b", "a;b"},     {"b;a", "b", "b;a"}, {"x;b;y", "b", "x;b;y"},
        {"ab", "b", "ab;b"},   {"a", "a", "a"},         {"", "b", "b"},      {"a", "", "a"},
        {"a;b", "a;b", "a;b"}, {"a;bc", "b", "a;bc;b"},
    };
    for (const JoinCase& c : cases) {
        SCOPED_TRACE(std::string(c.Ours) + " + " + c.Theirs);
        EXPECT_EQ(JoinMemoTexts(c.Ours, c.Theirs), c.Joined);
    }
}

} // namespace
