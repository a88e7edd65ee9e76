#include "sync/MemoOperations.h"

#include "config/ConfigData.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <optional>
#include <string>
#include <vector>

using namespace kestrivel;

namespace {

constexpr TDateValue kDay = 46143; // 2026-05-01
using Kind = TMemoOperation::Kind;
using Result = TMemoOperationResult;

// Memos.dat as "text/type" per memo, in date order.
std::string onDisk(const std::string& folder) {
    TConfigData data(folder);
    data.LoadMemos();
    std::string out;
    for (const TMemo& memo : data.Memos.Items()) {
        out += (out.empty() ? "" : " ") + memo.Text + "/" + std::to_string(memo.MemoType);
    }
    return out;
}

// The calendar holds `before` at the day; a sync then saves `synced` there.
void race(const std::string& folder, TConfigData& calendar, const std::optional<TMemo>& before,
          const std::optional<TMemo>& synced) {
    if (before) {
        calendar.Memos.Add(before->Text, before->MemoType, kDay);
    }
    ASSERT_TRUE(calendar.SaveMemos());
    TConfigData sync(folder);
    sync.LoadMemos();
    sync.Memos.Clear();
    if (synced) {
        sync.Memos.Add(synced->Text, synced->MemoType, kDay);
    }
    ASSERT_TRUE(sync.SaveMemos());
}

TEST(MemoOperations, EachOperationMeetsTheFileAsItIsThen) {
    const TMemo old{kDay, "old", mtWeekly};
    const TMemo typed{kDay, "typed", mtWeekly};
    const TMemo phone{kDay, "phone", mtSingle};
    const struct {
        const char* Name;
        std::optional<TMemo> Before, Synced;
        Kind What;
        TMemo Wanted;
        Result Outcome;
        const char* After;
    } cases[] = {
        {"add onto a free day", {}, {}, Kind::Add, typed, Result::Applied, "typed/1"},
        {"add onto a day the sync filled", {}, phone, Kind::Add, typed, Result::DateTaken, "phone/0"},
        {"change as seen", old, old, Kind::Change, typed, Result::Applied, "typed/1"},
        {"change of a text the sync changed", old, phone, Kind::Change, typed, Result::Joined,
         "typed;phone/0"},
        {"type change of a text the sync changed", old, phone, Kind::Change, TMemo{kDay, "old", mtMonthly},
         Result::Applied, "phone/2"},
        {"change of a memo the sync removed", old, {}, Kind::Change, typed, Result::Applied, "typed/1"},
        {"remove as seen", old, old, Kind::Remove, {}, Result::Applied, ""},
        {"remove of a memo the sync changed", old, phone, Kind::Remove, {}, Result::Kept, "phone/0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder folder("kestrivel-operations");
        TConfigData calendar(folder.path().string());
        race(folder.path().string(), calendar, c.Before, c.Synced);
        EXPECT_EQ(ApplyMemoOperation(calendar, {c.What, c.Before.value_or(TMemo{}), c.Wanted}), c.Outcome);
        EXPECT_EQ(onDisk(folder.path().string()), c.After);
    }
}

// The dialog's Apply: what it changed since it opened, all at once onto what a sync saved meanwhile.
TEST(MemoOperations, TheDialogsChangesMeetTheSyncsAsOperations) {
    TempFolder folder("kestrivel-operations");
    const std::string path = folder.path().string();
    const std::vector<TMemo> base = {{kDay + 1, "a", 0}, {kDay + 2, "b", 0}, {kDay + 3, "c", 0}};
    TConfigData calendar(path);
    calendar.Memos.assignItems(base);
    ASSERT_TRUE(calendar.SaveMemos());
    TConfigData sync(path);
    sync.LoadMemos();
    sync.Memos.assignItems(
        {{kDay, "d by phone", 0}, {kDay + 1, "a", 0}, {kDay + 2, "b by phone", 0}, {kDay + 3, "c", 0}});
    ASSERT_TRUE(sync.SaveMemos());
    // a changed, b removed, c as it was, d added.
    const std::vector<TMemo> edited = {{kDay, "d", 0}, {kDay + 1, "a2", 0}, {kDay + 3, "c", 0}};
    EXPECT_EQ(ApplyMemoOperations(calendar, MemoOperationsBetween(base, edited)), Result::Joined);
    EXPECT_EQ(onDisk(path), "d;d by phone/0 a2/0 b by phone/0 c/0");
}

} // namespace
