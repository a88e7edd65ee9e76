#include "config/MemoOperations.h"

#include "config/ConfigData.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

using namespace kestrivel;

namespace {

constexpr TDateValue kDay = 46143; // 2026-05-01

using Kind = TMemoOperation::Kind;

std::optional<TMemo> memoAt(const std::string& folder) {
    TConfigData data(folder);
    data.LoadMemos();
    const int index = data.Memos.IndexOfDate(kDay);
    if (index < 0) {
        return std::nullopt;
    }
    TMemo memo;
    data.Memos.GetMemo(static_cast<uint16_t>(index), memo);
    return memo;
}

// The calendar read the memos, then a sync wrote the day (or left it) before the user's Ok.
TEST(MemoOperations, EachOperationMeetsTheFileAsItIsThen) {
    const TMemo old{kDay, "old", mtWeekly};
    const TMemo typed{kDay, "typed", mtWeekly};
    const TMemo phone{kDay, "phone", mtSingle};
    const struct {
        const char* Name;
        std::optional<TMemo> Before; // what the calendar read
        std::optional<TMemo> Synced; // what the sync left at the day
        Kind What;
        TMemo Wanted;
        TMemoOperationResult Result;
        std::optional<TMemo> After;
    } cases[] = {
        {"add onto a free day", {}, {}, Kind::Add, typed, TMemoOperationResult::Applied, typed},
        {"add onto a day the sync filled",
         {},
         phone,
         Kind::Add,
         typed,
         TMemoOperationResult::DateTaken,
         phone},
        {"change as seen", old, old, Kind::Change, typed, TMemoOperationResult::Applied, typed},
        {"change of a text the sync changed", old, phone, Kind::Change, typed, TMemoOperationResult::Joined,
         TMemo{kDay, "typed;phone", mtSingle}},
        {"type change of a text the sync changed", old, phone, Kind::Change, TMemo{kDay, "old", mtMonthly},
         TMemoOperationResult::Applied, TMemo{kDay, "phone", mtMonthly}},
        {"change of a memo the sync removed",
         old,
         {},
         Kind::Change,
         typed,
         TMemoOperationResult::Applied,
         typed},
        {"remove as seen", old, old, Kind::Remove, {}, TMemoOperationResult::Applied, {}},
        {"remove of a memo the sync changed",
         old,
         phone,
         Kind::Remove,
         {},
         TMemoOperationResult::Kept,
         phone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder folder("kestrivel-operations");
        const std::string path = folder.path().string();
        TConfigData calendar(path);
        if (c.Before) {
            ASSERT_TRUE(calendar.Memos.Add(c.Before->Text, c.Before->MemoType, kDay));
        }
        ASSERT_TRUE(calendar.Memos.Add("other", mtSingle, kDay + 1));
        ASSERT_TRUE(calendar.SaveMemos());
        TConfigData sync(path);
        sync.LoadMemos();
        const int index = sync.Memos.IndexOfDate(kDay);
        if (index >= 0) {
            sync.Memos.Delete(index);
        }
        if (c.Synced) {
            ASSERT_TRUE(sync.Memos.Add(c.Synced->Text, c.Synced->MemoType, kDay));
        }
        ASSERT_TRUE(sync.SaveMemos());

        const TMemoOperation operation{c.What, c.Before.value_or(TMemo{}), c.Wanted};
        EXPECT_EQ(ApplyMemoOperation(calendar, operation), c.Result);
        const std::optional<TMemo> after = memoAt(path);
        ASSERT_EQ(after.has_value(), c.After.has_value());
        if (after) {
            EXPECT_EQ(after->Text, c.After->Text);
            EXPECT_EQ(after->MemoType, c.After->MemoType);
        }
    }
}

// The dialog's Apply: its changes since it opened, applied together onto what a sync wrote meanwhile.
TEST(MemoOperations, TheDialogsChangesMeetTheSyncsAsOperations) {
    TempFolder folder("kestrivel-operations");
    const std::string path = folder.path().string();
    const std::vector<TMemo> base = {
        {kDay, "a", mtSingle}, {kDay + 1, "b", mtSingle}, {kDay + 2, "c", mtSingle}};
    TConfigData calendar(path);
    calendar.Memos.assignItems(base);
    ASSERT_TRUE(calendar.SaveMemos());
    TConfigData sync(path);
    sync.LoadMemos();
    sync.Memos.Modify(1, "b by phone", mtSingle);
    ASSERT_TRUE(sync.Memos.Add("d by phone", mtSingle, kDay + 3));
    ASSERT_TRUE(sync.SaveMemos());

    // a changed, b removed, c as it was, d added.
    const std::vector<TMemo> edited = {
        {kDay, "a2", mtSingle}, {kDay + 2, "c", mtSingle}, {kDay + 3, "d", mtSingle}};
    const std::vector<TMemoOperation> operations = MemoOperationsBetween(base, edited);
    ASSERT_EQ(operations.size(), 3u);
    EXPECT_EQ(ApplyMemoOperations(calendar, operations), TMemoOperationResult::Joined);
    TConfigData after(path);
    after.LoadMemos();
    std::vector<std::string> texts;
    for (const TMemo& memo : after.Memos.Items()) {
        texts.push_back(memo.Text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"a2", "b by phone", "c", "d;d by phone"}));
}

// Another writer holds the lock throughout: nothing is written and the caller is told.
TEST(MemoOperations, WithoutTheLockNothingIsWritten) {
    TempFolder folder("kestrivel-operations");
    const std::string path = folder.path().string();
    FolderLock other(path);
    ASSERT_EQ(other.acquire(), FolderLock::Result::Taken);
    TConfigData calendar(path);
    calendar.LockWait = std::chrono::milliseconds(10);
    EXPECT_EQ(ApplyMemoOperation(calendar, {Kind::Add, {}, TMemo{kDay, "typed", mtSingle}}),
              TMemoOperationResult::NotSaved);
    EXPECT_FALSE(memoAt(path).has_value());
}

} // namespace
