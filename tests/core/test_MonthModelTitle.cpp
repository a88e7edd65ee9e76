#include "calendar/MonthModel.h"

#include "common/DateFormat.h"
#include "memos/UnitMemo.h"
#include "schemes/UnitSchemes.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

using namespace kestrivel;

namespace {

// Every character is 0.7 x the point size wide and each line 1.6 x the point size high: "88" in 10
// points is 14 by 16, so a day box is 18 by 20 and the grid 126 wide.
class FakeMeasurer : public ITextMeasurer {
public:
    TTextExtent TextExtent(std::string_view text, const std::string&, int pointSize, uint8_t) const override {
        return {static_cast<int>(text.size()) * pointSize * 7 / 10, pointSize * 16 / 10};
    }
};

// Widths worked out by hand from the fake's rule. The long date of 15 February 2021 reads
// "Monday 15 February 2021", 23 characters: 193 pixels in 12 points, 128 in 8 points; the short
// date "2021-02-15" is 70 pixels in 10 points.
struct TitleCase {
    const char* name;
    const char* dateFormat;
    uint16_t titleSize;
    uint16_t pad0, pad1, sp2;
    bool weekNumbers;
    int desktopWidth;
    int titleWidth, calendarWidth, gridLeft, memoWidth, bodyLeft;
};

const TitleCase kTitleCases[] = {
    // 70 + 4 fits in the grid's 126: nothing grows.
    {"short date", "ddddd", 10, 0, 0, 0, false, 0, 126, 126, 0, 126, 0},
    // 193 + 4: the calendar takes the title's width, the grid and the memo keep theirs and stand in
    // the middle, (197 - 126) / 2 = 35 in.
    {"long date", "dddddd", 12, 0, 0, 0, false, 0, 197, 197, 35, 126, 35},
    // 193 + 4 + 2 x 2 inside 2 x 4 of outer margin; the week column (5 + 18) goes with the grid:
    // 4 + (201 - 149) / 2 = 30, the grid 23 further.
    {"long date with margins and weeks", "dddddd", 12, 4, 2, 5, true, 0, 201, 209, 53, 149, 30},
    // 128 + 4 is narrower than the grid with its week column (126 + 5 + 18).
    {"long date narrower than the weeks", "dddddd", 8, 0, 0, 5, true, 0, 149, 149, 23, 149, 0},
    // The desktop holds the calendar; the title box keeps its width and runs on past the image.
    {"long date on a narrow desktop", "dddddd", 12, 0, 0, 0, false, 150, 197, 150, 35, 126, 35},
};

class MonthModelTitle : public ::testing::TestWithParam<TitleCase> {};

TEST_P(MonthModelTitle, CalendarHoldsTheWholeTitleWithTheGridInTheMiddle) {
    const TitleCase& c = GetParam();
    TOptions options;
    options.ShowWeekdays = false;
    options.ShowWeekNumbers = c.weekNumbers;
    options.ShowTodaysMemo = true;
    options.DateFormat = c.dateFormat;
    TScheme scheme = DefaultScheme();
    scheme.Settings[zoneTitle].FontSize = c.titleSize;
    scheme.Settings[zoneCalendar].Padding = c.pad0;
    scheme.Settings[zoneTitle].Padding = c.pad1;
    scheme.Settings[zoneWeek].Spacing = c.sp2;
    TMemoList memos;
    TDateValue today = 0;
    ASSERT_TRUE(TryEncodeDate(2021, 2, 15, today));
    ASSERT_TRUE(memos.Add("memo", mtSingle, today));
    const TLocaleFormats formats;
    const FakeMeasurer measurer;
    TMonthInputs in;
    in.TodayYear = 2021;
    in.TodayMonth = 2;
    in.TodayDay = 15;
    in.Options = &options;
    in.Scheme = &scheme;
    in.Memos = &memos;
    in.Formats = &formats;
    in.Measurer = &measurer;
    in.DesktopWidth = c.desktopWidth;
    TMonthModel model;
    ASSERT_TRUE(GenerateData(in, model));

    EXPECT_EQ(model.TitleWidth, c.titleWidth);
    EXPECT_EQ(model.CalendarWidth, c.calendarWidth);
    EXPECT_EQ(model.GridLeft, c.gridLeft);
    EXPECT_EQ(model.GridWidth, 126);
    EXPECT_EQ(model.MemoWidth, c.memoWidth);
    for (const TCalendarBox& box : model.Boxes) {
        switch (box.Kind) {
        case TBoxKind::Calendar:
            EXPECT_EQ(box.Right, c.calendarWidth);
            break;
        case TBoxKind::Title:
            EXPECT_EQ(box.Left, c.pad0);
            EXPECT_EQ(box.Right, c.pad0 + c.titleWidth);
            EXPECT_EQ(box.TextX, c.pad0 + c.titleWidth / 2);
            break;
        case TBoxKind::Memo:
            EXPECT_EQ(box.Left, c.bodyLeft);
            EXPECT_EQ(box.Right, c.bodyLeft + c.memoWidth);
            break;
        case TBoxKind::WeekNumber:
            EXPECT_EQ(box.Left, c.bodyLeft);
            break;
        case TBoxKind::Day:
            if (box.Day == 1) { // 1 February 2021 is a Monday: the grid's first column
                EXPECT_EQ(box.Left, c.gridLeft);
            }
            break;
        default:
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Titles, MonthModelTitle, ::testing::ValuesIn(kTitleCases),
                         [](const ::testing::TestParamInfo<TitleCase>& row) {
                             std::string name = row.param.name;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) {
                                     ch = '_';
                                 }
                             }
                             return name;
                         });

} // namespace
