#include "calendar/MonthHitTest.h"

#include "common/DateFormat.h"
#include "memos/UnitMemo.h"
#include "schemes/UnitSchemes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace kestrivel;

namespace {

// "88" in 10 points measures 14 by 16.
class FakeMeasurer : public ITextMeasurer {
public:
    TTextExtent TextExtent(std::string_view text, const std::string&, int pointSize, uint8_t) const override {
        return {static_cast<int>(text.size()) * pointSize * 7 / 10, pointSize * 16 / 10};
    }
};

class MonthHitTestTest : public ::testing::Test {
protected:
    TOptions options;
    TScheme scheme = DefaultScheme();
    TMemoList memos;
    TLocaleFormats formats;
    FakeMeasurer measurer;
    TMonthInputs in;
    TMonthModel model;
    uint16_t spacing = 2;

    // Week numbers and initials on, so the grid lies off the window's corner; 2 pixels between boxes.
    void Generate(int year, int month, int startOfWeek) {
        options.ShowWeekNumbers = true;
        options.StartOfWeek = static_cast<uint8_t>(startOfWeek);
        scheme.Settings[zoneDays].Spacing = spacing;
        in = {year, month, 15, 0, 0, &options, &scheme, &memos, "MTWTFSS", &formats, &measurer};
        ASSERT_TRUE(GenerateData(in, model));
    }
    int BoxLeft(int column) const { return model.GridLeft + column * (model.CellWidth + model.DaySpacing); }
    int BoxTop(int row) const { return model.GridTop + row * (model.CellHeight + model.DaySpacing); }
};

// Every box of months of 4, 5 and 6 rows, weeks from Monday and from Sunday, against Python's calendar:
// its top-left pixel and the last pixel of the gaps right of and below it.
TEST_F(MonthHitTestTest, EveryBoxOfRealMonthsGivesItsDay) {
    std::ifstream file(KESTRIVEL_TEST_DATA "/month_cells.txt");
    ASSERT_TRUE(file) << "month_cells.txt missing";
    int months = 0;
    for (std::string line; std::getline(file, line); ++months) {
        std::istringstream fields(line);
        int year = 0, month = 0, start = 0, rows = 0;
        fields >> year >> month >> start >> rows;
        Generate(year, month, start);
        ASSERT_EQ(model.WeekRows, rows) << line;
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < 7; ++column) {
                int day = -1;
                fields >> day;
                const int right = BoxLeft(column) + model.CellWidth + (column < 6 ? model.DaySpacing - 1 : 0);
                const int bottom =
                    BoxTop(row) + model.CellHeight - 1 + (row < rows - 1 ? model.DaySpacing : 0);
                for (const auto& [x, y] :
                     {std::pair{BoxLeft(column), BoxTop(row)}, std::pair{right, bottom}}) {
                    SCOPED_TRACE(line.substr(0, 9) + " row " + std::to_string(row) + " column " +
                                 std::to_string(column));
                    const int hit = HitTestDay(model, x, y);
                    if (day == 0) {
                        EXPECT_FALSE(IsDayOfMonth(model, hit)) << hit;
                        EXPECT_EQ(HintText(model, hit, memos, formats), "");
                    } else {
                        EXPECT_EQ(hit, day);
                    }
                }
            }
        }
    }
    EXPECT_EQ(months, 12);
}

TEST_F(MonthHitTestTest, PointsOutsideTheGrid) {
    Generate(2021, 9, 1); // the 1st is a Wednesday: lead 2
    const int stripTop = model.GridTop + model.GridHeight;
    struct Case {
        const char* name;
        int x, y, day;
    } const cases[] = {
        {"the 14th: row 2, column 1", BoxLeft(1) + 3, BoxTop(2) + 3, 14},
        {"blank box before day 1", BoxLeft(0), BoxTop(0), -1},
        {"strip below the grid", 0, stripTop, 15},
        {"bottom-right corner", model.CalendarWidth, model.CalendarHeight, 15},
        {"below the window", 0, model.CalendarHeight + 1, 0},
        {"week-number column", model.GridLeft - 1, BoxTop(1), 0},
        {"title", model.GridLeft, 0, 0},
        {"left of the window", -1, stripTop, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HitTestDay(model, c.x, c.y), c.day);
    }
    // Without spacing the grid's right edge stays with the last column.
    spacing = 0;
    Generate(2021, 9, 1);
    EXPECT_EQ(HitTestDay(model, model.GridLeft + model.GridWidth, model.GridTop), 5);
}

TEST_F(MonthHitTestTest, HintListsTheDateAndEachTypeOfMemoInOrder) {
    // Days since 1899-12-30: 14 September 1989, 14 and 7 September 2021 (Tuesdays), 13 August 2021.
    ASSERT_TRUE(memos.Add("yearly", mtYearly, 32765));
    ASSERT_TRUE(memos.Add("single;two", mtSingle, 44453));
    ASSERT_TRUE(memos.Add("weekly", mtWeekly, 44446));
    ASSERT_TRUE(memos.Add("monthly", mtMonthly, 44421));
    Generate(2021, 9, 1);
    struct Case {
        int day;
        std::string_view lineBreak;
        std::string expected;
    } const cases[] = {
        {14, "\n", "[Tuesday 14 September 2021]\nsingle\ntwo\nweekly\nyearly"},
        {14, "\r\n", "[Tuesday 14 September 2021]\r\nsingle\r\ntwo\r\nweekly\r\nyearly"},
        {13, "\n", "[Monday 13 September 2021]\nmonthly"},
        {1, "\n", "[Wednesday 1 September 2021]"},
        {0, "\n", ""},
        {31, "\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.day);
        EXPECT_EQ(HintText(model, c.day, memos, formats, c.lineBreak), c.expected);
    }
}

} // namespace
