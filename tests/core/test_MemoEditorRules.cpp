#include "memos/MemoEditorRules.h"

#include "lang/MessageTable.h"
#include "memos/UnitMemo.h"

#include <gtest/gtest.h>

#include <string>

using namespace kestrivel;

namespace {

// Date values: days since 1899-12-30, worked out with Python's datetime.
struct OkCase {
    bool Locked;
    int Day, Month, Year;
    std::string Typed;
    int Error;
    TDateValue Date;
    std::string Stored;
};

TEST(MemoEditorRules, OkChecksTheDateAndStoresOneLine) {
    const TDateValue preset = 39202.75; // 30 April 2007, 18:00, set by the caller
    const OkCase cases[] = {
        {false, 31, 4, 2007, "x", 1, 0, ""},       {false, 30, 4, 2007, "two\nlines", 0, 39202, "two;lines"},
        {false, 29, 2, 2023, "", 1, 0, ""},        {false, 29, 2, 2024, "a\r\nb\rc\n", 0, 45351, "a;b;c;"},
        {false, 31, 12, 9999, "", 0, 2958465, ""}, {false, 1, 1, 10000, "", 1, 0, ""},
        {false, 1, 13, 2007, "", 1, 0, ""},        {true, 31, 4, 2007, "kept;", 0, preset, "kept;"},
    };
    for (const OkCase& c : cases) {
        SCOPED_TRACE(c.Typed + " " + std::to_string(c.Day) + "." + std::to_string(c.Month));
        MemoEditorFields fields{c.Day, c.Month, c.Year, c.Typed, mtYearly};
        const MemoEditorResult r = CheckMemoEditor(fields, c.Locked, preset);
        EXPECT_EQ(r.Error, c.Error);
        if (c.Error == 0) {
            EXPECT_EQ(r.Memo.Date, c.Date);
            EXPECT_EQ(r.Memo.Text, c.Stored);
            EXPECT_EQ(r.Memo.MemoType, mtYearly);
        }
    }
}

// A taken date is told before a full list.
TEST(MemoEditorRules, AddIsRefusedForATakenDateOrAFullList) {
    TMemoList memos;
    for (int i = 0; i < TMemoList::kMaxCount - 1; ++i) {
        ASSERT_TRUE(memos.Add("x", 0, 10000 + i));
    }
    EXPECT_EQ(MemoAddRefusal(memos, 5000), 0);
    EXPECT_EQ(MemoAddRefusal(memos, 10000), TErrorMessage::DateTaken);
    ASSERT_TRUE(memos.Add("y", 0, 90000));
    EXPECT_EQ(MemoAddRefusal(memos, 5000), TErrorMessage::MemoListFull);
}

TEST(MemoEditorRules, ShownFieldsRoundTripTheStoredText) {
    const MemoEditorFields f = MemoEditorFieldsFor(39202.75, "a;;b;", mtWeekly);
    EXPECT_EQ(f.Day, 30);
    EXPECT_EQ(f.Month, 4);
    EXPECT_EQ(f.Year, 2007);
    EXPECT_EQ(f.EditorText, "a\n\nb\n");
    EXPECT_EQ(f.MemoType, mtWeekly);
    EXPECT_EQ(CheckMemoEditor(f, false, 0).Memo.Text, "a;;b;");
    EXPECT_EQ(MemoTextToEditor("a;b", "\r\n"), "a\r\nb");
}

TEST(MemoEditorRules, TypingStopsAtTheLimit) {
    const std::string full(255, 'x');
    const std::string e = "\xC3\xA9"; // one character, two bytes
    struct Case {
        std::string Before, After, Expected;
    } const cases[] = {
        {full.substr(1), full, full}, // the 255th character goes in
        {full, full + "y", full},     // the 256th does not
        {"ab", "a" + std::string(300, 'z') + "b", "a" + std::string(253, 'z') + "b"}, // paste is cut
        {std::string(254, 'x'), std::string(254, 'x') + e + e, std::string(254, 'x') + e},
        {std::string(253, 'x'), std::string(253, 'x') + "\r\n\r\n", std::string(253, 'x') + "\r\n\r\n"},
        {std::string(300, 'x'), std::string(299, 'x'), std::string(299, 'x')}, // a long stored text shrinks
        {std::string(300, 'x'), std::string(300, 'x') + "y", std::string(300, 'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.After.size());
        EXPECT_EQ(LimitMemoEditorText(c.Before, c.After), c.Expected);
    }
    EXPECT_EQ(MemoEditorTextLength("a\r\n" + e + "\n"), 4u);
}

} // namespace

// Lengths counted by hand: "é" is two bytes, "𝄞" four; the stored form has ";" for a line break.
TEST(MemoEditorRules, ImportedTextsAreCutToTheEditorsLength) {
    const auto times = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) {
            out += s;
        }
        return out;
    };
    const std::string clef = "\xF0\x9D\x84\x9E";
    const struct {
        const char* name;
        std::string text;
        bool cut;
        size_t bytes;
    } cases[] = {
        {"empty", "", false, 0},
        {"255 letters", times("a", 255), false, 255},
        {"256 letters", times("a", 256), true, 255},
        {"255 two-byte letters", times("\xC3\xA9", 255), false, 510},
        {"256 two-byte letters", times("\xC3\xA9", 256), true, 510},
        {"four-byte letter as the 256th", times("a", 255) + clef, true, 255},
        {"four-byte letter as the 255th", times("a", 254) + clef + "b", true, 258},
        {"line breaks", times(";", 300), true, 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = c.text;
        EXPECT_EQ(cutMemoText(text), c.cut);
        EXPECT_EQ(text.size(), c.bytes);
        EXPECT_EQ(text, c.text.substr(0, c.bytes));
    }
}
