#include "calendar/MonthModel.h"

#include "common/DateFormat.h"
#include "memos/UnitMemo.h"
#include "schemes/UnitSchemes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace kestrivel;

namespace {

// Every character is 0.7 x the point size wide and each line 1.6 x the point size high, so "88" in
// 10 points measures 14 by 16. Italic text is one pixel higher, to tell the drawing style apart from
// the bold layout style.
class FakeMeasurer : public ITextMeasurer {
public:
    mutable std::vector<uint8_t> styles;
    mutable std::vector<std::string> texts;
    TTextExtent TextExtent(std::string_view text, const std::string&, int pointSize,
                           uint8_t style) const override {
        styles.push_back(style);
        texts.emplace_back(text);
        const int height = pointSize * 16 / 10 + ((style & fsItalic) ? 1 : 0);
        return {static_cast<int>(text.size()) * pointSize * 7 / 10, height};
    }
};

TDateValue Date(int y, int m, int d) {
    TDateValue v = 0;
    EXPECT_TRUE(TryEncodeDate(y, m, d, v));
    return v;
}

class MonthModelTest : public ::testing::Test {
protected:
    TOptions options;
    TScheme scheme = DefaultScheme();
    TMemoList memos;
    TLocaleFormats formats;
    FakeMeasurer measurer;
    TMonthInputs in;
    TMonthModel model;

    void SetUp() override {
        options.ShowWeekdays = false;
        options.ShowWeekNumbers = false;
        options.ShowTodaysMemo = true;
        options.StartOfWeek = 1;
        in.Options = &options;
        in.Scheme = &scheme;
        in.Memos = &memos;
        in.Formats = &formats;
        in.Measurer = &measurer;
        SetToday(2021, 2, 15);
    }
    void SetToday(int y, int m, int d) {
        in.TodayYear = y;
        in.TodayMonth = m;
        in.TodayDay = d;
    }
    void Generate() { ASSERT_TRUE(GenerateData(in, model)); }

    std::vector<const TCalendarBox*> Boxes(TBoxKind kind) const {
        std::vector<const TCalendarBox*> out;
        for (const TCalendarBox& box : model.Boxes) {
            if (box.Kind == kind) {
                out.push_back(&box);
            }
        }
        return out;
    }
    const TCalendarBox& DayBox(int day) const {
        for (const TCalendarBox& box : model.Boxes) {
            if (box.Kind == TBoxKind::Day && box.Day == day) {
                return box;
            }
        }
        ADD_FAILURE() << "no box for day " << day;
        return model.Boxes.front();
    }
};

// --- Grid of the month ---

TEST_F(MonthModelTest, February2021StartingMondayFillsFourRows) {
    Generate();
    EXPECT_EQ(model.FirstWeekday, 1);
    EXPECT_EQ(model.Lead, 0);
    EXPECT_EQ(model.DaysInMonth, 28);
    EXPECT_EQ(model.WeekRows, 4);
}

TEST_F(MonthModelTest, MonthStartingSundayNeedsSixRowsOnlyWhenWeeksStartMonday) {
    SetToday(2021, 8, 10); // 1 August 2021 is a Sunday
    Generate();
    EXPECT_EQ(model.FirstWeekday, 7);
    EXPECT_EQ(model.DaysInMonth, 31);
    EXPECT_EQ(model.Lead, 6);
    EXPECT_EQ(model.WeekRows, 6);
    options.StartOfWeek = 7;
    Generate();
    EXPECT_EQ(model.Lead, 0);
    EXPECT_EQ(model.WeekRows, 5);
}

TEST_F(MonthModelTest, LeapYearsFollowTheGregorianRule) {
    SetToday(2024, 2, 1);
    Generate();
    EXPECT_EQ(model.DaysInMonth, 29);
    SetToday(2100, 2, 1);
    Generate();
    EXPECT_EQ(model.DaysInMonth, 28);
    SetToday(2000, 2, 1);
    Generate();
    EXPECT_EQ(model.DaysInMonth, 29);
}

TEST_F(MonthModelTest, DayBoxesFollowLeadAndSpacing) {
    scheme.Settings[zoneDays].Spacing = 2;
    SetToday(2021, 8, 10);
    Generate();
    ASSERT_EQ(Boxes(TBoxKind::Day).size(), 31u);
    const int step = model.CellWidth + 2;
    // Day 1 sits in the last column of row 0, day 2 opens row 1.
    EXPECT_EQ(DayBox(1).Left, model.GridLeft + 6 * step);
    EXPECT_EQ(DayBox(1).Top, model.GridTop);
    EXPECT_EQ(DayBox(2).Left, model.GridLeft);
    EXPECT_EQ(DayBox(2).Top, model.GridTop + model.CellHeight + 2);
    EXPECT_EQ(DayBox(31).Top, model.GridTop + 5 * (model.CellHeight + 2));
    EXPECT_EQ(DayBox(31).Right - DayBox(31).Left, model.CellWidth);
    EXPECT_EQ(DayBox(31).Bottom - DayBox(31).Top, model.CellHeight);
    EXPECT_EQ(model.GridHeight, 6 * model.CellHeight + 5 * 2);
    EXPECT_EQ(model.GridWidth, 7 * model.CellWidth + 6 * 2);
    EXPECT_EQ(DayBox(17).Text, "17");
    EXPECT_TRUE(DayBox(17).Centred);
    EXPECT_EQ(DayBox(17).TextX, DayBox(17).Left + model.CellWidth / 2);
    EXPECT_EQ(DayBox(17).TextY, DayBox(17).Top + 2);
}

// --- Sizes ---

TEST_F(MonthModelTest, SizesOfTheDefaultExample) {
    Generate();
    EXPECT_EQ(model.CellWidth, 18);
    EXPECT_EQ(model.CellHeight, 20);
    EXPECT_EQ(model.GridWidth, 126);
    EXPECT_EQ(model.GridHeight, 4 * 20);
    EXPECT_EQ(model.CalendarWidth, 126);
    EXPECT_EQ(model.GridLeft, 0);
    EXPECT_EQ(model.GridTop, model.TitleHeight);
    EXPECT_EQ(model.TitleHeight, 20);
    EXPECT_EQ(model.TitleWidth, 126); // "2021-02-15" is narrower than the grid
    EXPECT_EQ(model.CalendarHeight, model.TitleHeight + model.GridHeight);
    EXPECT_EQ(model.MemoHeight, 0);
}

TEST_F(MonthModelTest, EveryLayoutMeasurementIsBold) {
    scheme.Settings[zoneDays].TextStyle = fsItalic;
    scheme.Settings[zoneTitle].TextStyle = fsUnderline;
    Generate();
    ASSERT_FALSE(measurer.styles.empty());
    for (uint8_t style : measurer.styles) {
        EXPECT_EQ(style, fsBold);
    }
    EXPECT_EQ(model.CellHeight, 20); // the italic extra pixel is not seen
}

TEST_F(MonthModelTest, CellFitsTheLargestOfTheFourDayStyles) {
    scheme.Settings[zoneMemoDays].FontSize = 20; // "88" 28 by 32
    scheme.Settings[zoneWeekends].FontSize = 12;
    Generate();
    EXPECT_EQ(model.CellWidth, 32);
    EXPECT_EQ(model.CellHeight, 36);
    scheme.Settings[zoneMemoDays].FontSize = 10;
    scheme.Settings[zoneToday].FontSize = 15; // 21 by 24
    Generate();
    EXPECT_EQ(model.CellWidth, 25);
    EXPECT_EQ(model.CellHeight, 28);
}

TEST_F(MonthModelTest, PaddingOfDaysGrowsEveryDayBoxBothWays) {
    Generate();
    const TCalendarBox plain = DayBox(10);
    scheme.Settings[zoneDays].Padding = 3;
    Generate();
    EXPECT_EQ(model.CellWidth, 18 + 6);
    EXPECT_EQ(model.CellHeight, 20 + 6);
    const TCalendarBox& padded = DayBox(10);
    EXPECT_EQ(padded.Right - padded.Left, plain.Right - plain.Left + 6);
    EXPECT_EQ(padded.Bottom - padded.Top, plain.Bottom - plain.Top + 6);
    EXPECT_EQ(padded.TextY, padded.Top + 2);
}

TEST_F(MonthModelTest, WeekNumbersWidenEverythingByTheirColumn) {
    scheme.Settings[zoneWeek].Spacing = 5;
    scheme.Settings[zoneWeek].Padding = 1;
    Generate();
    const TMonthModel without = model;
    options.ShowWeekNumbers = true;
    Generate();
    EXPECT_EQ(model.WeekNumberWidth, 14 + 4 + 2);
    const int grow = 5 + model.WeekNumberWidth;
    EXPECT_EQ(model.GridLeft, without.GridLeft + grow);
    EXPECT_EQ(model.CalendarWidth, without.CalendarWidth + grow);
    EXPECT_EQ(model.TitleWidth, without.TitleWidth + grow);
    EXPECT_EQ(model.CalendarHeight, without.CalendarHeight);

    const auto numbers = Boxes(TBoxKind::WeekNumber);
    ASSERT_EQ(numbers.size(), model.WeekRows);
    EXPECT_EQ(numbers[1]->Left, 0);
    EXPECT_EQ(numbers[1]->Top, model.GridTop + model.CellHeight);
    EXPECT_EQ(numbers[1]->Right, model.WeekNumberWidth);
    EXPECT_EQ(numbers[1]->TextX, model.WeekNumberWidth / 2);
    EXPECT_EQ(numbers[1]->Zone, zoneWeek);
}

TEST_F(MonthModelTest, MemoWidthFollowsTheWeekNumberColumn) {
    ASSERT_TRUE(memos.Add("x", mtSingle, Date(2021, 2, 15)));
    scheme.Settings[zoneWeek].Spacing = 5;
    Generate();
    EXPECT_EQ(model.MemoWidth, model.GridWidth);
    options.ShowWeekNumbers = true;
    Generate();
    EXPECT_EQ(model.MemoWidth, model.GridWidth + 5 + model.WeekNumberWidth);
}

TEST_F(MonthModelTest, WeekdayRowAddsItsHeight) {
    scheme.Settings[zoneWeek].Spacing = 3;
    scheme.Settings[zoneTitle].Spacing = 2;
    Generate();
    const TMonthModel without = model;
    options.ShowWeekdays = true;
    Generate();
    EXPECT_EQ(model.WeekdayRowHeight, 20);
    EXPECT_EQ(model.GridTop, without.GridTop + 3 + 20);
    EXPECT_EQ(model.CalendarHeight, without.CalendarHeight + 3 + 20);
    EXPECT_EQ(model.CalendarWidth, without.CalendarWidth);
    const auto initials = Boxes(TBoxKind::Initial);
    ASSERT_EQ(initials.size(), 7u);
    EXPECT_EQ(initials[2]->Top, model.TitleHeight + 2);
    EXPECT_EQ(initials[2]->Left, model.GridLeft + 2 * model.CellWidth);
    EXPECT_EQ(initials[2]->Bottom - initials[2]->Top, 20);
    EXPECT_EQ(initials[2]->TextY, initials[2]->Top + 2);
}

TEST_F(MonthModelTest, OuterPaddingFramesTheWholeCalendar) {
    scheme.Settings[zoneCalendar].Padding = 4;
    scheme.Settings[zoneTitle].Padding = 2;
    scheme.Settings[zoneTitle].Spacing = 1;
    Generate();
    EXPECT_EQ(model.CalendarWidth, 8 + 126);
    EXPECT_EQ(model.TitleHeight, 16 + 4 + 4);
    EXPECT_EQ(model.CalendarHeight, 8 + model.TitleHeight + 1 + model.GridHeight);
    EXPECT_EQ(model.GridLeft, 4);
    EXPECT_EQ(model.GridTop, 4 + model.TitleHeight + 1);
    const auto title = Boxes(TBoxKind::Title);
    ASSERT_EQ(title.size(), 1u);
    EXPECT_EQ(title[0]->Left, 4);
    EXPECT_EQ(title[0]->Top, 4);
    EXPECT_EQ(title[0]->TextX, 4 + model.TitleWidth / 2);
    EXPECT_EQ(title[0]->TextY, 4 + 2 + 2);
    const TCalendarBox& whole = model.Boxes.front();
    EXPECT_EQ(whole.Kind, TBoxKind::Calendar);
    EXPECT_EQ(whole.Right, model.CalendarWidth);
    EXPECT_EQ(whole.Bottom, model.CalendarHeight);
}

// --- Title date and navigation ---

TEST_F(MonthModelTest, TitleShowsTodaysDayInTheDisplayedMonth) {
    options.DateFormat = "yyyy/mm/dd";
    in.MonthOffset = 2;
    Generate();
    EXPECT_EQ(model.TitleText, "2021-04-15");
    EXPECT_EQ(model.DisplayDate, Date(2021, 4, 15));
}

TEST_F(MonthModelTest, MissingDayNumberTitlesTheLastDayOfTheMonth) {
    SetToday(2021, 1, 31);
    in.MonthOffset = 1;
    Generate();
    EXPECT_EQ(model.DisplayDate, Date(2021, 2, 28));
    EXPECT_EQ(model.DaysInMonth, 28);
    SetToday(2021, 3, 31);
    in.MonthOffset = 1;
    Generate();
    EXPECT_EQ(model.DisplayDate, Date(2021, 4, 30));
}

TEST_F(MonthModelTest, OffsetsOutsideTheYearCarryIntoTheYear) {
    SetToday(2021, 12, 1);
    in.MonthOffset = 1;
    Generate();
    EXPECT_EQ(model.DisplayYear, 2022);
    EXPECT_EQ(model.DisplayMonth, 1);
    in.MonthOffset = -12;
    Generate();
    EXPECT_EQ(model.DisplayYear, 2020);
    EXPECT_EQ(model.DisplayMonth, 12);

    int yearOffset = 0;
    int monthOffset = 1;
    NormalizeOffsets(12, yearOffset, monthOffset);
    EXPECT_EQ(yearOffset, 1);
    EXPECT_EQ(monthOffset, -11);
    yearOffset = 2;
    monthOffset = -25;
    NormalizeOffsets(1, yearOffset, monthOffset);
    EXPECT_EQ(yearOffset, -1);
    EXPECT_EQ(monthOffset, 11);
    yearOffset = 0;
    monthOffset = 3;
    NormalizeOffsets(5, yearOffset, monthOffset);
    EXPECT_EQ(yearOffset, 0);
    EXPECT_EQ(monthOffset, 3);
}

TEST_F(MonthModelTest, DisplayedYearStaysWithinTheDateRange) {
    int year = 0;
    int month = 0;
    DisplayedMonth(2021, 5, -5000, 0, year, month);
    EXPECT_EQ(year, 1);
    EXPECT_EQ(month, 1);
    DisplayedMonth(2021, 5, 2147483647, 2147483647, year, month);
    EXPECT_EQ(year, 9999);
    EXPECT_EQ(month, 12);
    in.YearOffset = 100000;
    Generate();
    EXPECT_EQ(model.DisplayYear, 9999);
    EXPECT_EQ(model.DaysInMonth, 31);
}

// --- Zones of the days ---

TEST_F(MonthModelTest, OnlyTodayInTheCurrentMonthTakesTheTodayZone) {
    Generate();
    EXPECT_EQ(DayBox(15).Zone, zoneToday);
    EXPECT_EQ(DayBox(16).Zone, zoneDays);
    EXPECT_EQ(DayBox(14).Zone, zoneWeekends); // a Sunday
    EXPECT_EQ(DayBox(13).Zone, zoneWeekends);
    in.MonthOffset = 1;
    Generate();
    EXPECT_EQ(DayBox(15).Zone, zoneDays); // 15 March 2021 is a Monday
    in.MonthOffset = 0;
    in.YearOffset = -1;
    Generate();
    EXPECT_EQ(DayBox(15).Zone, zoneWeekends); // 15 February 2020 is a Saturday
}

TEST_F(MonthModelTest, MemoZoneWinsOverWeekendButNotOverToday) {
    ASSERT_TRUE(memos.Add("weekend", mtSingle, Date(2021, 2, 13)));
    ASSERT_TRUE(memos.Add("today", mtSingle, Date(2021, 2, 15)));
    Generate();
    EXPECT_EQ(DayBox(13).Zone, zoneMemoDays);
    EXPECT_EQ(DayBox(15).Zone, zoneToday);
}

TEST_F(MonthModelTest, RecurringMemosMarkTheirDays) {
    ASSERT_TRUE(memos.Add("weekly", mtWeekly, Date(2021, 1, 6)));    // Wednesdays from 6 January
    ASSERT_TRUE(memos.Add("monthly", mtMonthly, Date(2020, 11, 9))); // the 9th of each month
    ASSERT_TRUE(memos.Add("yearly", mtYearly, Date(2019, 2, 26)));   // every 26 February
    Generate();
    for (int d : {3, 9, 10, 17, 24, 26}) {
        EXPECT_EQ(DayBox(d).Zone, zoneMemoDays) << d;
    }
    EXPECT_EQ(DayBox(2).Zone, zoneDays);
    EXPECT_EQ(DayBox(25).Zone, zoneDays);
    EXPECT_EQ(DayBox(27).Zone, zoneWeekends);
}

// --- Today's memo ---

TEST_F(MonthModelTest, EveryKindOfLineBreakSplitsTodaysMemo) {
    EXPECT_EQ(SplitMemoLines(""), std::vector<std::string>{});
    EXPECT_EQ(SplitMemoLines("one"), std::vector<std::string>{"one"});
    EXPECT_EQ(SplitMemoLines("a;b"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitMemoLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitMemoLines("a;;b"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(SplitMemoLines("a;"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(SplitMemoLines("\n\r"), (std::vector<std::string>{"", "", ""}));
    for (std::string_view text : {"", "one", "a;b", "a\r\nb\rc\nd", "a;;b", "a;", "\n\r", "\r"}) {
        EXPECT_EQ(CountMemoLines(text), SplitMemoLines(text).size()) << text;
        EXPECT_EQ(SplitMemoLines(text, 1).size(), std::min<size_t>(1, CountMemoLines(text))) << text;
    }
}

// A calendar that would not fit the largest image (the desktop, else 4096 a side) is clipped to it, and only
// what lies within the image is laid out: absurd schemes and memos of thousands of lines cost no more than a
// few boxes.
TEST_F(MonthModelTest, AbsurdSchemesAndMemosGiveAClippedCalendar) {
    struct Case {
        const char* name;
        uint16_t padding, spacing, fontSize; // every zone; 0 keeps the built-in look
        int dayPadding, desktopWidth, desktopHeight;
        int width, height;
        size_t days, memoLines;
    } const cases[] = {
        // A 65,535-line memo: lines from y = 102 every 17 pixels while they start above 4096.
        {"long memo", 0, 0, 0, 0, 0, 0, 126, 4096, 28, 235},
        // Padding 1500 in zone 3: cells of 3018 x 3020 from (0, 20); two columns and two rows show.
        {"day padding", 0, 0, 0, 1500, 0, 0, 4096, 4096, 4, 0},
        // Everything at 65535: the outer margin alone fills the image.
        {"all 65535", 65535, 65535, 65535, 65535, 0, 0, 4096, 4096, 0, 0},
        {"larger desktop", 65535, 65535, 65535, 65535, 5000, 6000, 5000, 6000, 0, 0},
        // The desktop holds the calendar where it is known, also below the usual bound.
        {"smaller desktop", 0, 0, 0, 1500, 1920, 1080, 1920, 1080, 1, 0},
        {"memo on a small screen", 0, 0, 0, 0, 1024, 600, 126, 600, 28, 30},
    };
    ASSERT_TRUE(memos.Add(std::string(65534, ';'), mtSingle, Date(2021, 2, 15)));
    const TScheme builtIn = scheme;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        scheme = builtIn;
        for (TSettings& zone : scheme.Settings) {
            if (c.fontSize != 0) {
                zone = TSettings{zone.FontName, c.fontSize};
                zone.Padding = c.padding;
                zone.Spacing = c.spacing;
            }
        }
        scheme.Settings[zoneDays].Padding = static_cast<uint16_t>(c.dayPadding);
        in.DesktopWidth = c.desktopWidth;
        in.DesktopHeight = c.desktopHeight;
        measurer.texts.clear();
        Generate();
        EXPECT_EQ(model.CalendarWidth, c.width);
        EXPECT_EQ(model.CalendarHeight, c.height);
        EXPECT_EQ(Boxes(TBoxKind::Day).size(), c.days);
        EXPECT_EQ(Boxes(TBoxKind::MemoLine).size(), c.memoLines);
        EXPECT_EQ(model.MemoLines.size(), c.memoLines);
        EXPECT_LE(measurer.texts.size(), 8u); // never one per memo line
        for (const TCalendarBox& box : model.Boxes) {
            EXPECT_TRUE(box.Left < model.CalendarWidth && box.Top < model.CalendarHeight);
        }
    }
}

TEST_F(MonthModelTest, TwoWordMemoGivesTwoLinesAndItsHeight) {
    ASSERT_TRUE(memos.Add("Buy;milk", mtSingle, Date(2021, 2, 15)));
    scheme.Settings[zoneTodaysMemo].Padding = 3;
    scheme.Settings[zoneTodaysMemo].Spacing = 6;
    Generate();
    ASSERT_EQ(model.MemoLines, (std::vector<std::string>{"Buy", "milk"}));
    EXPECT_EQ(model.MemoHeight, 2 * (16 + 1) + 4 + 2 * 3);
    EXPECT_EQ(model.CalendarHeight, model.TitleHeight + model.GridHeight + 6 + model.MemoHeight);

    const auto memo = Boxes(TBoxKind::Memo);
    ASSERT_EQ(memo.size(), 1u);
    EXPECT_EQ(memo[0]->Top, model.GridTop + model.GridHeight + 6);
    EXPECT_EQ(memo[0]->Bottom, model.CalendarHeight);
    EXPECT_EQ(memo[0]->Right, model.MemoWidth);
    const auto lines = Boxes(TBoxKind::MemoLine);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]->Text, "Buy");
    EXPECT_FALSE(lines[0]->Centred);
    EXPECT_EQ(lines[0]->TextX, 4);
    EXPECT_EQ(lines[0]->TextY, memo[0]->Top + 3 + 2);
    EXPECT_EQ(lines[1]->TextY, lines[0]->TextY + 17);
    EXPECT_EQ(&model.Boxes.back(), lines[1]); // painted last
}

TEST_F(MonthModelTest, MemoLinesStepByTheDrawingStyle) {
    ASSERT_TRUE(memos.Add("a;b", mtSingle, Date(2021, 2, 15)));
    scheme.Settings[zoneTodaysMemo].TextStyle = fsItalic;
    Generate();
    EXPECT_EQ(model.MemoHeight, 2 * 17 + 4); // laid out bold
    const auto lines = Boxes(TBoxKind::MemoLine);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1]->TextY - lines[0]->TextY, 18); // drawn italic, one pixel higher in the fake
}

TEST_F(MonthModelTest, EmptyMemoTextStillGivesItsBox) {
    ASSERT_TRUE(memos.Add("", mtSingle, Date(2021, 2, 15)));
    scheme.Settings[zoneTodaysMemo].Padding = 2;
    Generate();
    EXPECT_TRUE(model.MemoLines.empty());
    EXPECT_EQ(model.MemoHeight, 4 + 4);
    EXPECT_EQ(Boxes(TBoxKind::Memo).size(), 1u);
    EXPECT_TRUE(Boxes(TBoxKind::MemoLine).empty());
}

TEST_F(MonthModelTest, RecurringMemoFromLastWeekIsNotTodaysMemo) {
    ASSERT_TRUE(memos.Add("weekly", mtWeekly, Date(2021, 2, 8)));
    scheme.Settings[zoneTodaysMemo].Spacing = 9;
    Generate();
    EXPECT_EQ(model.MemoHeight, 0);
    EXPECT_TRUE(Boxes(TBoxKind::Memo).empty());
    EXPECT_EQ(model.CalendarHeight, model.TitleHeight + model.GridHeight);
    EXPECT_EQ(DayBox(15).Zone, zoneToday);
}

TEST_F(MonthModelTest, TodaysMemoStaysWhileAnotherMonthIsShownAndGoesWhenSwitchedOff) {
    ASSERT_TRUE(memos.Add("today", mtSingle, Date(2021, 2, 15)));
    in.MonthOffset = 3;
    Generate();
    EXPECT_EQ(model.MemoLines, std::vector<std::string>{"today"});
    EXPECT_GT(model.MemoHeight, 0);
    options.ShowTodaysMemo = false;
    Generate();
    EXPECT_EQ(model.MemoHeight, 0);
    EXPECT_TRUE(Boxes(TBoxKind::Memo).empty());
}

// --- Initials and week numbers ---

TEST_F(MonthModelTest, InitialsFollowTheFirstDayOfTheWeek) {
    options.ShowWeekdays = true;
    auto row = [this] {
        std::string s;
        for (const TCalendarBox* box : Boxes(TBoxKind::Initial)) {
            s += box->Text.empty() ? "_" : box->Text;
        }
        return s;
    };
    Generate();
    EXPECT_EQ(row(), "MTWTFSS");
    options.StartOfWeek = 7;
    Generate();
    EXPECT_EQ(row(), "SMTWTFS");
    in.Weekdays = "LMMJV";
    options.StartOfWeek = 4;
    Generate();
    EXPECT_EQ(row(), "JV__LMM");
    in.Weekdays = "ПВСЧПСВ";
    options.StartOfWeek = 2;
    Generate();
    EXPECT_EQ(row(), "ВСЧПСВП");
    in.Weekdays = "";
    Generate();
    EXPECT_EQ(row(), "_______");
}

TEST_F(MonthModelTest, BrokenUtf8InitialsNeverReadPastTheValue) {
    EXPECT_EQ(WeekdayInitial("\xD0", 1, 0), "\xD0");
    EXPECT_EQ(WeekdayInitial("\xD0", 1, 1), "");
    EXPECT_EQ(WeekdayInitial("A\x80"
                             "B",
                             1, 1),
              "\x80");
    EXPECT_EQ(WeekdayInitial("A\x80"
                             "B",
                             1, 2),
              "B");
}

TEST_F(MonthModelTest, WeekNumbersOfJanuary2021) {
    options.ShowWeekNumbers = true;
    SetToday(2021, 1, 5);
    Generate();
    std::vector<std::string> texts;
    for (const TCalendarBox* box : Boxes(TBoxKind::WeekNumber)) {
        texts.push_back(box->Text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"53", "1", "2", "3", "4"}));
}

TEST_F(MonthModelTest, StartOfWeekOutOfRangeIsHeldWithinTheWeek) {
    options.StartOfWeek = 0;
    options.ShowWeekNumbers = true;
    SetToday(2021, 8, 10);
    Generate();
    EXPECT_EQ(model.Lead, 6);
    EXPECT_EQ(Boxes(TBoxKind::WeekNumber).front()->Text, "30");
    options.StartOfWeek = 9; // taken as Sunday
    Generate();
    EXPECT_EQ(model.Lead, 0);
    EXPECT_EQ(model.WeekRows, 5);
}

// --- Painting order and failure ---

TEST_F(MonthModelTest, BoxesComeInPaintingOrder) {
    options.ShowWeekdays = true;
    options.ShowWeekNumbers = true;
    ASSERT_TRUE(memos.Add("m", mtSingle, Date(2021, 2, 15)));
    Generate();
    std::vector<TBoxKind> kinds;
    for (const TCalendarBox& box : model.Boxes) {
        if (kinds.empty() || kinds.back() != box.Kind) {
            kinds.push_back(box.Kind);
        }
    }
    EXPECT_EQ(kinds, (std::vector<TBoxKind>{TBoxKind::Calendar, TBoxKind::Title, TBoxKind::Initial,
                                            TBoxKind::WeekNumber, TBoxKind::Day, TBoxKind::Memo,
                                            TBoxKind::MemoLine}));
    int day = 0;
    for (const TCalendarBox* box : Boxes(TBoxKind::Day)) {
        EXPECT_EQ(box->Day, ++day);
    }
}

TEST_F(MonthModelTest, NoWorkingSchemeChangesNothing) {
    Generate();
    const TMonthModel before = model;
    in.Scheme = nullptr;
    SetToday(2030, 7, 1);
    EXPECT_FALSE(GenerateData(in, model));
    EXPECT_EQ(model.TitleText, before.TitleText);
    EXPECT_EQ(model.Boxes.size(), before.Boxes.size());
    EXPECT_EQ(model.CalendarHeight, before.CalendarHeight);
}

// --- Against the real calendar, January 1900 to December 2100 ---

TEST(MonthModelTable, EveryMonthAndFirstDayMatchesTheReference) {
    std::ifstream file(KESTRIVEL_TEST_DATA "/month_table.txt");
    ASSERT_TRUE(file) << "month_table.txt missing";
    TOptions options;
    options.ShowWeekNumbers = true;
    options.ShowWeekdays = false;
    const TScheme scheme = DefaultScheme();
    const TLocaleFormats formats;
    FakeMeasurer measurer;
    TMonthInputs in;
    in.Options = &options;
    in.Scheme = &scheme;
    in.Formats = &formats;
    in.Measurer = &measurer;
    in.TodayDay = 15;

    int months = 0;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        int year = 0, month = 0, days = 0;
        fields >> year >> month >> days;
        in.TodayYear = year;
        in.TodayMonth = month;
        for (int start = 1; start <= 7; ++start) {
            std::string group;
            fields >> group;
            ASSERT_GE(group.size(), 3u) << line;
            const int lead = group[0] - '0';
            const int rows = group[1] - '0';
            options.StartOfWeek = static_cast<uint8_t>(start);
            measurer.styles.clear();
            measurer.texts.clear();
            TMonthModel model;
            ASSERT_TRUE(GenerateData(in, model));
            const std::string where = line.substr(0, 7) + " start " + std::to_string(start);
            ASSERT_EQ(model.DaysInMonth, days) << where;
            ASSERT_EQ(model.Lead, lead) << where;
            ASSERT_EQ(model.WeekRows, rows) << where;
            std::string weeks;
            for (const TCalendarBox& box : model.Boxes) {
                if (box.Kind == TBoxKind::WeekNumber) {
                    weeks += (box.Day < 10 ? "0" : "") + std::to_string(box.Day);
                }
            }
            ASSERT_EQ(weeks, group.substr(3)) << where;
        }
        ++months;
    }
    EXPECT_EQ(months, 201 * 12);
}

} // namespace

// At twice the resolution, with fonts twice as large, every box is twice as large and lies twice as
// far in (places found by halving a width may round the other way): paddings, spacings and the room
// around texts grow with the fonts.
TEST_F(MonthModelTest, TwiceTheResolutionGivesTwiceTheCalendar) {
    class Twice : public ITextMeasurer {
        TTextExtent TextExtent(std::string_view text, const std::string& font, int size,
                               uint8_t style) const override {
            const TTextExtent once = FakeMeasurer().TextExtent(text, font, size, style);
            return {2 * once.Width, 2 * once.Height};
        }
    } twice;
    options.ShowWeekdays = options.ShowWeekNumbers = true;
    options.DateFormat = "dddddd";
    ASSERT_TRUE(memos.Add("a;two-line memo", mtSingle, Date(2021, 2, 15)));
    for (TSettings& zone : scheme.Settings) {
        zone.Padding = 3;
        zone.Spacing = 1;
    }
    ASSERT_TRUE(GenerateData(in, model));
    const TMonthModel once = model;
    in.Dpi = 2 * kDesignDpi;
    in.Measurer = &twice;
    ASSERT_TRUE(GenerateData(in, model));
    EXPECT_EQ(model.CalendarWidth, 2 * once.CalendarWidth);
    EXPECT_EQ(model.CalendarHeight, 2 * once.CalendarHeight);
    ASSERT_EQ(model.Boxes.size(), once.Boxes.size());
    for (size_t i = 0; i < once.Boxes.size(); ++i) {
        const TCalendarBox& a = once.Boxes[i];
        const TCalendarBox& b = model.Boxes[i];
        EXPECT_NEAR(b.Left, 2 * a.Left, 1) << i;
        EXPECT_NEAR(b.Top, 2 * a.Top, 1) << i;
        EXPECT_EQ(b.Right - b.Left, 2 * (a.Right - a.Left)) << i;
        EXPECT_EQ(b.Bottom - b.Top, 2 * (a.Bottom - a.Top)) << i;
    }
}
