#include "schemes/SchemeEditorRules.h"

#include "lang/MessageTable.h"

#include <gtest/gtest.h>

#include <string>

using namespace kestrivel;

namespace {

TEST(SchemeEditorRules, RowsApplyPerZone) {
    // One character per row, 0 to 11, read off the zone table: x applies, - does not.
    const char* const masks[kZoneCount] = {
        "------xxxxx-", "xxxxxxxxxxxx", "xxxxxxxxxxxx", "xxxxxxxxxxxx",
        "xxxxxxxxxx--", "xxxxxxxxxx--", "xxxxxxxxxx--", "xxxxxxxxxxxx",
    };
    for (int zone = 0; zone < kZoneCount; ++zone) {
        for (int row = 0; row < kValueRowCount; ++row) {
            SCOPED_TRACE(std::to_string(zone) + "/" + std::to_string(row));
            EXPECT_EQ(RowApplies(zone, row), masks[zone][row] == 'x');
        }
    }
}

TEST(SchemeEditorRules, ZoneSwitchMovesOffRowsThatDoNotApply) {
    struct Case {
        int Zone, Row, Expected;
    };
    const Case cases[] = {{0, 2, 6},  {0, 0, 6},  {0, 11, 6}, {0, 10, 10}, {0, 7, 7},
                          {5, 11, 9}, {4, 10, 9}, {6, 3, 3},  {3, 11, 11}, {7, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.Zone) + "/" + std::to_string(c.Row));
        EXPECT_EQ(RowAfterZoneSwitch(c.Zone, c.Row), c.Expected);
    }
}

TEST(SchemeEditorRules, ChoiceWordsFollowTheValueNames) {
    TNameValueList names = BuiltInValueNames();
    names.setValue("Frame2", "Coins ronds");
    const ChoiceWords words = ChoiceWordsFrom(names);
    EXPECT_EQ(ChoiceList(words, rowFrame),
              (std::vector<std::string>{"None", "Square corners", "Coins ronds"}));
    EXPECT_EQ(ChoiceList(words, rowText),
              (std::vector<std::string>{"Standard", "Bold", "Italic", "Underline"}));
    EXPECT_TRUE(ChoiceList(words, rowSize).empty());
    EXPECT_EQ(RowKeys(names)[rowFrameColor], "Frame color");
    EXPECT_EQ(BuiltInKeys()[rowFrameColor] + "=" + BuiltInValues()[rowFrameColor], "Frame color=000,000,000");
}

TEST(SchemeEditorRules, ZoneRecordShowsAsRows) {
    const ChoiceWords words = ChoiceWordsFrom(BuiltInValueNames());
    struct Case {
        uint8_t Style;
        bool Outline, Shadow, Frame, Round;
        const char *Text, *Effect, *FrameWord;
    };
    const Case cases[] = {
        {0, false, false, false, false, "Standard", "None", "None"},
        {1, false, true, true, false, "Bold", "Shadow", "Square corners"},
        {3, true, true, true, true, "Italic", "Outline", "Round corners"},
        {7, true, false, false, true, "Underline", "Outline", "None"},
        {8, false, false, false, false, "Standard", "None", "None"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Style);
        TSettings s;
        s.FontName = "Liberation Sans";
        s.FontSize = 12;
        s.TextStyle = c.Style;
        s.Outline = c.Outline;
        s.Shadow = c.Shadow;
        s.Frame = c.Frame;
        s.RoundCorners = c.Round;
        s.BackColor = 0xFF8000; // blue 255, green 128, red 0
        s.Padding = 3;
        const ValueTexts v = RowsFromSettings(s, words);
        EXPECT_EQ(v, (ValueTexts{"Liberation Sans", "12", c.Text, "0,0,0", c.Effect, "0,0,0", "None",
                                 "0,128,255", c.FrameWord, "0,0,0", "3", "0"}));
    }
}

TEST(SchemeEditorRules, RowsStoreFieldByFieldAndStopAtTheFirstBadNumber) {
    const ChoiceWords words = ChoiceWordsFrom(BuiltInValueNames());
    const ValueTexts good = {"Arial", "70000", "Italic",        "1,2,3",    "Shadow", "4,5,6",
                             "Solid", "7,8,9", "Round corners", "10,11,12", "-1",     "5"};
    struct Case {
        int Row;
        std::string Text, Error;
        int StoredRows; // rows whose fields were written
    };
    const Case cases[] = {
        {-1, "", "", kValueRowCount},
        {rowSize, "abc", "'abc' is not a valid integer value", 1},
        {rowBackColor, "7, 8, 9", "'' is not a valid integer value", 7},
        {rowSpacing, "", "'' is not a valid integer value", 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        ValueTexts v = good;
        if (c.Row >= 0) {
            v[c.Row] = c.Text;
        }
        TSettings s;
        s.TextStyle = fsStrikeOut;
        std::string error;
        EXPECT_EQ(RowsToSettings(v, words, s, error), c.Row < 0);
        EXPECT_EQ(error, c.Error);
        EXPECT_EQ(s.FontName, "Arial");
        EXPECT_EQ(s.FontSize, c.StoredRows > 1 ? 4464 : 0);
        EXPECT_EQ(s.Shadow, c.StoredRows > 4);
        EXPECT_EQ(s.BackSolid, c.StoredRows > 6);
        EXPECT_EQ(s.BackColor, c.StoredRows > 7 ? 0x090807u : 0u);
        EXPECT_EQ(s.Frame && s.RoundCorners, c.StoredRows > 8);
        EXPECT_EQ(s.Padding, c.StoredRows > 10 ? 65535 : 0);
    }
}

TEST(SchemeEditorRules, ChoiceTextsMapToFields) {
    const ChoiceWords words = ChoiceWordsFrom(BuiltInValueNames());
    struct Case {
        std::string Text, Effect, Back, Frame;
        uint8_t Style;
        bool Outline, Shadow, Solid, FrameSet, Round;
    };
    const Case cases[] = {
        {"Underline", "Outline", "None", "Square corners", 4, true, false, false, true, false},
        {"Standard", "None", "Solid", "None", 0, false, false, true, false, false},
        {"bold", "shadow", "Opaque", "round corners", 3, false, false, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        ValueTexts v = BuiltInValues();
        v[rowText] = c.Text;
        v[rowEffect] = c.Effect;
        v[rowBack] = c.Back;
        v[rowFrame] = c.Frame;
        TSettings s;
        s.TextStyle = 3; // a style from a file; an unknown word keeps it
        std::string error;
        ASSERT_TRUE(RowsToSettings(v, words, s, error));
        EXPECT_EQ(s.TextStyle, c.Style);
        EXPECT_EQ(s.Outline, c.Outline);
        EXPECT_EQ(s.Shadow, c.Shadow);
        EXPECT_EQ(s.BackSolid, c.Solid);
        EXPECT_EQ(s.Frame, c.FrameSet);
        EXPECT_EQ(s.RoundCorners, c.Round);
    }
}

} // namespace
