#include "memos/MemosTabRows.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/DateFormat.h"
#include "common/DateValue.h"
#include "lang/MessageTable.h"
#include "memos/UnitMemo.h"

using namespace kestrivel;

namespace {

TDateValue Day(int year, int month, int day) {
    TDateValue value = 0;
    EXPECT_TRUE(TryEncodeDate(year, month, day, value));
    return value;
}

// Five memos on the 1st to the 5th of March 2020, texts "m1".."m5".
TMemoList FiveMemos() {
    TMemoList memos;
    for (int i = 1; i <= 5; ++i) {
        memos.Add("m" + std::to_string(i), mtSingle, Day(2020, 3, i));
    }
    return memos;
}

std::vector<std::string> Texts(const TMemoList& memos) {
    std::vector<std::string> texts;
    for (const TMemo& memo : memos.Items()) {
        texts.push_back(memo.Text);
    }
    return texts;
}

// Each memo an export leaves out is counted under its own reason; an exchange file holds any type
// and any year a date can show.
TEST(MemosTabRows, ExportLeftOutByReason) {
    TMemoList memos;
    ASSERT_TRUE(memos.Add("fine", mtSingle, Day(2020, 3, 1)));
    ASSERT_TRUE(memos.Add("no day", mtSingle, 4000000.0)); // about the year 12850
    ASSERT_TRUE(memos.Add("late", mtYearly, Day(3001, 1, 1)));
    ASSERT_TRUE(memos.Add("late and odd", 9, Day(3002, 1, 1)));
    ASSERT_TRUE(memos.Add("odd", 9, Day(2020, 3, 2)));
    const struct {
        bool iCalendar;
        MemoBlock block;
        int noDate, afterYear, unknownType;
    } cases[] = {
        {false, {0, 4}, 1, 0, 0},
        {true, {0, 4}, 1, 2, 1},
        {true, {2, 3}, 0, 2, 0},
        {true, {0, 0}, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.iCalendar) + " " + std::to_string(c.block.First) + ".." +
                     std::to_string(c.block.Last));
        const ExportLeftOut out = MemosLeftOutByReason(memos, c.block, c.iCalendar);
        EXPECT_EQ(out.NoDate, c.noDate);
        EXPECT_EQ(out.AfterYear, c.afterYear);
        EXPECT_EQ(out.UnknownType, c.unknownType);
        EXPECT_EQ(MemosLeftOutOfExport(memos, c.block, c.iCalendar), c.noDate + c.afterYear + c.unknownType);
    }
}

} // namespace

TEST(MemosTabRows, RowShowsShortDateTextAndTypeName) {
    TLocaleFormats formats;
    formats.ShortDateFormat = "dd/mm/yyyy";
    formats.DateSeparator = '/';
    formats.LongDateFormat = "dddd d mmmm yyyy";
    TNameValueList names = BuiltInValueNames();
    names.setValue("Type3", "Annuel");
    TMemoList memos;
    memos.Add("first line;second line", mtYearly, Day(2006, 7, 5));
    memos.Add("odd", 7, Day(2006, 7, 6));

    const MemosTabRow row = MemosTabRowOf(memos, 0, formats, names);
    EXPECT_EQ(row.Date, "05/07/2006");
    EXPECT_EQ(row.Text, "first line;second line");
    EXPECT_EQ(row.Type, "Annuel");
    EXPECT_EQ(MemosTabRowOf(memos, 1, formats, names).Type, ""); // a code above 3 has no name
    const MemosTabRow outside = MemosTabRowOf(memos, 2, formats, names);
    EXPECT_EQ(outside.Date + outside.Text + outside.Type, "");
}

TEST(MemosTabRows, TypeNames) {
    const TNameValueList names = BuiltInValueNames();
    const struct {
        int code;
        const char* name;
    } types[] = {{0, "Single"}, {1, "Weekly"}, {2, "Monthly"}, {3, "Yearly"}, {4, ""}, {-1, ""}};
    for (const auto& c : types) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(MemoTypeName(c.code, names), c.name);
    }
}

// One row per memo and none for an empty list, where only Add... and Import... work.
TEST(MemosTabRows, RowCountsAndCommands) {
    const struct {
        int memos, rows;
        bool commands;
    } cases[] = {{0, 0, false}, {1, 1, true}, {3, 3, true}, {65535, 65535, true}, {-1, 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.memos);
        EXPECT_EQ(MemosTabBodyRows(c.memos), c.rows);
        EXPECT_EQ(MemosTabCommandsEnabled(c.memos), c.commands);
    }
}

TEST(MemosTabRows, SelectedBlockStandsForTheMemosOfItsRows) {
    const struct {
        int top, bottom, count;
        std::optional<std::pair<int, int>> block;
    } cases[] = {
        {2, 4, 10, std::pair{1, 3}}, // rows 2-4 are memos 1-3
        {4, 2, 10, std::pair{1, 3}}, // selected upwards
        {1, 1, 1, std::pair{0, 0}},  //
        {3, 20, 5, std::pair{2, 4}}, // kept within the list
        {0, 2, 5, std::pair{0, 1}},  // the title row stands for nothing
        {0, 0, 5, std::nullopt},     //
        {1, 1, 0, std::nullopt},     // the empty row of an empty list
        {6, 8, 5, std::nullopt},     //
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.top) + ".." + std::to_string(c.bottom) + " of " +
                     std::to_string(c.count));
        const std::optional<MemoBlock> block = SelectedMemos(c.top, c.bottom, c.count);
        ASSERT_EQ(block.has_value(), c.block.has_value());
        if (block) {
            EXPECT_EQ(block->First, c.block->first);
            EXPECT_EQ(block->Last, c.block->second);
        }
    }
}

TEST(MemosTabRows, RemoveDeletesTheBlockAsNumberedBefore) {
    const struct {
        int top, bottom;
        std::vector<std::string> left;
    } cases[] = {
        {2, 4, {"m1", "m5"}},
        {1, 1, {"m2", "m3", "m4", "m5"}},
        {5, 5, {"m1", "m2", "m3", "m4"}},
        {1, 5, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.top) + ".." + std::to_string(c.bottom));
        TMemoList memos = FiveMemos();
        RemoveMemos(memos, *SelectedMemos(c.top, c.bottom, memos.Count()));
        EXPECT_EQ(Texts(memos), c.left);
    }
}
