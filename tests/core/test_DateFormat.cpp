#include "common/DateFormat.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace kestrivel;

namespace {

TLocaleFormats withShort(const std::string& shortFormat, char separator = '/') {
    TLocaleFormats f;
    f.ShortDateFormat = shortFormat;
    f.DateSeparator = separator;
    return f;
}

class FormatDateTest : public ::testing::Test {
protected:
    std::string fmt(const std::string& pattern, TDateValue v) const {
        return FormatDate(pattern, v, m_formats);
    }
    TLocaleFormats m_formats;
    const TDateValue m_july5 = DateOf(2006, 7, 5); // a Wednesday
};

TEST_F(FormatDateTest, DayForms) {
    EXPECT_EQ(fmt("d", m_july5), "5");
    EXPECT_EQ(fmt("dd", m_july5), "05");
    EXPECT_EQ(fmt("ddd", m_july5), "Wed");
    EXPECT_EQ(fmt("dddd", m_july5), "Wednesday");
    EXPECT_EQ(fmt("d", DateOf(2006, 7, 25)), "25");
    EXPECT_EQ(fmt("dd", DateOf(2006, 7, 25)), "25");
    EXPECT_EQ(fmt("dddd", DateOf(2006, 7, 9)), "Sunday");
    EXPECT_EQ(fmt("ddd", DateOf(2006, 7, 10)), "Mon");
}

TEST_F(FormatDateTest, ShortAndLongDatePatterns) {
    EXPECT_EQ(fmt("ddddd", m_july5), "2006-07-05");
    EXPECT_EQ(fmt("dddddd", m_july5), "Wednesday 5 July 2006");
    m_formats.ShortDateFormat = "dd/mm/yyyy";
    m_formats.DateSeparator = '.';
    EXPECT_EQ(fmt("ddddd", m_july5), "05.07.2006");
    // Seven d's are the long pattern and then a day.
    EXPECT_EQ(fmt("ddddddd", m_july5), "Wednesday 5 July 20065");
}

TEST_F(FormatDateTest, PatternThatNamesItselfEnds) {
    m_formats.ShortDateFormat = "ddddd";
    m_formats.LongDateFormat = "dddddd x";
    EXPECT_EQ(fmt("ddddd", m_july5), "");
    EXPECT_EQ(fmt("[dddddd]", m_july5), "[ x x]");
}

TEST_F(FormatDateTest, MonthForms) {
    EXPECT_EQ(fmt("m", m_july5), "7");
    EXPECT_EQ(fmt("mm", m_july5), "07");
    EXPECT_EQ(fmt("mmm", m_july5), "Jul");
    EXPECT_EQ(fmt("mmmm", m_july5), "July");
    EXPECT_EQ(fmt("mmmmm", m_july5), "July7");
    EXPECT_EQ(fmt("mm", DateOf(2006, 12, 1)), "12");
    EXPECT_EQ(fmt("mmmm", DateOf(2006, 1, 1)), "January");
}

TEST_F(FormatDateTest, YearForms) {
    EXPECT_EQ(fmt("yy", m_july5), "06");
    EXPECT_EQ(fmt("yyyy", m_july5), "2006");
    EXPECT_EQ(fmt("y", m_july5), "2006");
    EXPECT_EQ(fmt("yyy", m_july5), "2006");
    EXPECT_EQ(fmt("yy", DateOf(2000, 1, 1)), "00");
    EXPECT_EQ(fmt("yyyy", DateOf(5, 3, 1)), "0005");
    EXPECT_EQ(fmt("yy", DateOf(5, 3, 1)), "05");
}

TEST_F(FormatDateTest, LettersAreCaseInsensitive) {
    EXPECT_EQ(fmt("DD/MM/YYYY", m_july5), "05-07-2006");
    EXPECT_EQ(fmt("Dddd MMM", m_july5), "Wednesday Jul");
}

TEST_F(FormatDateTest, SeparatorAndLiterals) {
    EXPECT_EQ(fmt("dd/mm/yyyy", m_july5), "05-07-2006");
    m_formats.DateSeparator = '/';
    EXPECT_EQ(fmt("d/m/yy", m_july5), "5/7/06");
    EXPECT_EQ(fmt("'Day' d", m_july5), "Day 5");
    EXPECT_EQ(fmt("\"dd/mm\" dd", m_july5), "dd/mm 05");
    EXPECT_EQ(fmt("d 'o''clock'", m_july5), "5 oclock");
    EXPECT_EQ(fmt("d 'unterminated", m_july5), "5 unterminated");
    EXPECT_EQ(fmt("dd.mm, yyyy!", m_july5), "05.07, 2006!");
    EXPECT_EQ(fmt("", m_july5), "");
}

TEST_F(FormatDateTest, NamesComeFromTheLocale) {
    m_formats.LongMonthNames[6] = "juillet";
    m_formats.ShortMonthNames[6] = "juil.";
    m_formats.LongDayNames[2] = "mercredi";
    m_formats.ShortDayNames[2] = "mer.";
    m_formats.LongDateFormat = "dddd d mmmm yyyy";
    EXPECT_EQ(fmt("dddddd", m_july5), "mercredi 5 juillet 2006");
    EXPECT_EQ(fmt("ddd d mmm", m_july5), "mer. 5 juil.");
}

TEST_F(FormatDateTest, FractionOfADayIsThatDay) {
    EXPECT_EQ(fmt("ddddd", m_july5 + 0.99), "2006-07-05");
}

struct ParseCase {
    const char* Format;
    const char* Text;
    int Year, Month, Day;
};

TEST(ParseShortDate, ReadsTheFieldsInThePatternsOrder) {
    const ParseCase cases[] = {
        {"dd/mm/yyyy", "05/07/2006", 2006, 7, 5},
        {"dd/mm/yyyy", "5/7/2006", 2006, 7, 5},
        {"d/m/yyyy", "5/7/2006", 2006, 7, 5},
        {"d/m/yyyy", "25/12/1999", 1999, 12, 25},
        {"yyyy-mm-dd", "2006-07-05", 2006, 7, 5},
        {"mm/dd/yyyy", "07/05/2006", 2006, 7, 5},
        {"mm/dd/yyyy", "12/31/2024", 2024, 12, 31},
        {"dd.MM.yyyy", "05.07.2006", 2006, 7, 5},
        {"dd/mm/yyyy", " 05/07/2006 ", 2006, 7, 5},
        {"dd/mm/yyyy", "05 - 07 - 2006", 2006, 7, 5},
        {"dd/mm/yy", "05/07/06", 2006, 7, 5},
        {"dd/mm/yy", "05/07/49", 2049, 7, 5},
        {"dd/mm/yy", "05/07/50", 1950, 7, 5},
        {"dd/mm/yy", "05/07/99", 1999, 7, 5},
        {"dd/mm/yyyy", "29/02/2024", 2024, 2, 29},
        {"dd/mm/yyyy", "1/1/0100", 100, 1, 1},
        {"'le' dd mm yyyy", "05 07 2006", 2006, 7, 5},
        // A pattern missing a field falls back to year, month, day.
        {"mm/yyyy", "2006/07/05", 2006, 7, 5},
    };
    for (const ParseCase& c : cases) {
        TDateValue v = -1;
        ASSERT_TRUE(ParseShortDate(c.Text, withShort(c.Format), v)) << c.Format << " " << c.Text;
        EXPECT_EQ(DecodeDate(v), (TYmd{c.Year, c.Month, c.Day})) << c.Format << " " << c.Text;
    }
}

TEST(ParseShortDate, GarbageAndImpossibleDatesFailAndLeaveTheValue) {
    const char* bad[] = {"",
                         "   ",
                         "abc",
                         "05/07",
                         "05/07/2006/1",
                         "x05/07/2006",
                         "05/07/2006x",
                         "31/02/2006",
                         "29/02/2023",
                         "00/07/2006",
                         "05/13/2006",
                         "05/00/2006",
                         "32/01/2006",
                         "05/07/00000",
                         "000005/07/2006",
                         "05/07/10000",
                         "-5/07/2006",
                         "05/07/0000",
                         "5.5/7/2006",
                         "05/07/2006 12"};
    for (const char* text : bad) {
        TDateValue v = 42;
        EXPECT_FALSE(ParseShortDate(text, withShort("dd/mm/yyyy"), v)) << text;
        EXPECT_EQ(v, 42) << text;
    }
    TDateValue v = 42;
    EXPECT_FALSE(ParseShortDate("2006-07-05", withShort("mm/dd/yyyy"), v));
    EXPECT_FALSE(ParseShortDate("07/05/2006", withShort("yyyy-mm-dd"), v));
    EXPECT_EQ(v, 42);
}

TEST(ParseShortDate, ReadsBackWhatFormatDateWrote) {
    const char* formats[] = {"dd/mm/yyyy", "d/m/yyyy", "yyyy-mm-dd", "mm/dd/yyyy", "d.m.yyyy", "yyyy/m/d"};
    for (const char* f : formats) {
        const TLocaleFormats locale = withShort(f, '/');
        for (TDateValue v = DateOf(1999, 12, 20); v < DateOf(2001, 3, 10); v += 1) {
            const std::string text = FormatDate("ddddd", v, locale);
            TDateValue back = 0;
            ASSERT_TRUE(ParseShortDate(text, locale, back)) << f << " " << text;
            ASSERT_EQ(back, v) << f << " " << text;
        }
    }
}

} // namespace
