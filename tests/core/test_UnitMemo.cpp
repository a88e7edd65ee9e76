#include "memos/UnitMemo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/BinaryStream.h"
#include "common/DateFormat.h"
#include "common/SafeFile.h"

using namespace kestrivel;

namespace {

TDateValue D(int y, int m, int d) {
    TDateValue v = 0;
    EXPECT_TRUE(TryEncodeDate(y, m, d, v)) << y << "-" << m << "-" << d;
    return v;
}

std::string TempPath(const std::string& name) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("kestrivel_unitmemo_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

// Puts exactly `memos` into `list`, in that order, the way a loaded file does (unsorted lists and
// dates taken twice included).
void LoadExactly(TMemoList& list, const std::vector<TMemo>& memos) {
    BinaryWriter w;
    w.writeString("CalendarMemos");
    w.writeU16(100);
    w.writeU16(static_cast<uint16_t>(memos.size()));
    for (const TMemo& m : memos) {
        w.writeDouble(m.Date);
        w.writeU8(m.MemoType);
        w.writeString(m.Text);
    }
    const std::string path = TempPath("exact.dat");
    ASSERT_TRUE(WriteFileAtomic(path, w.data()));
    ASSERT_TRUE(list.LoadFromFile(path));
    ASSERT_EQ(list.Count(), memos.size());
}

std::vector<TDateValue> Dates(const TMemoList& list) {
    std::vector<TDateValue> out;
    for (const TMemo& m : list.Items()) {
        out.push_back(m.Date);
    }
    return out;
}

// The plain rules, scanned linearly, against which the indexed list is checked.
class TReferenceList {
public:
    std::vector<TMemo> Items;

    int IndexOfDate(TDateValue date) const {
        int found = -1;
        for (size_t i = 0; i < Items.size(); ++i) {
            if (Items[i].Date == date) {
                found = static_cast<int>(i);
            }
        }
        return found;
    }

    int FindMemo(uint8_t type, TDateValue date) const {
        int found = -1;
        for (size_t i = 0; i < Items.size(); ++i) {
            if (Items[i].MemoType == type && Falls(Items[i], date)) {
                found = static_cast<int>(i);
            }
        }
        return found;
    }

    bool Add(const std::string& text, uint8_t type, TDateValue date) {
        if (Items.size() >= 65535 || std::isnan(date) || IndexOfDate(date) >= 0) {
            return false;
        }
        Items.push_back({});
        size_t k = Items.size() - 1;
        while (k > 0 && Items[k - 1].Date > date) {
            Items[k] = Items[k - 1];
            --k;
        }
        Items[k] = TMemo{date, text, type};
        return true;
    }

    void Modify(int index, const std::string& text, uint8_t type) {
        if (index >= 0 && index < static_cast<int>(Items.size())) {
            Items[static_cast<size_t>(index)].Text = text;
            Items[static_cast<size_t>(index)].MemoType = type;
        }
    }

    void Delete(int index) {
        if (index >= 0 && index < static_cast<int>(Items.size())) {
            Items.erase(Items.begin() + index);
        }
    }

private:
    static bool InRange(TDateValue v) {
        TDateValue lo = 0, hi = 0;
        TryEncodeDate(1, 1, 1, lo);
        TryEncodeDate(9999, 12, 31, hi);
        return std::isfinite(v) && std::floor(v) >= lo && std::floor(v) <= hi;
    }

    static bool Falls(const TMemo& memo, TDateValue date) {
        switch (memo.MemoType) {
        case 0:
            return memo.Date == date;
        case 1:
        case 2:
        case 3: {
            if (!InRange(memo.Date) || !InRange(date)) {
                return false;
            }
            const TYmd a = DecodeDate(memo.Date);
            const TYmd b = DecodeDate(date);
            if (memo.MemoType == 1) {
                return DayOfWeek(memo.Date) == DayOfWeek(date);
            }
            if (memo.MemoType == 2) {
                return a.Day == b.Day;
            }
            return a.Day == b.Day && a.Month == b.Month;
        }
        default:
            return false;
        }
    }
};

} // namespace

TEST(MemoList, StartsEmptyWithTheFileSignature) {
    TMemoList list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.Items().empty());
    EXPECT_EQ(list.Header, "CalendarMemos");
    EXPECT_EQ(list.Version, 100);
    EXPECT_EQ(list.MinVersion, 100);
    EXPECT_EQ(list.IndexOfDate(D(2006, 7, 5)), -1);
    for (uint8_t t = 0; t < 5; ++t) {
        EXPECT_EQ(list.FindMemo(t, D(2006, 7, 5)), -1);
    }
}

TEST(MemoList, AddKeepsDateOrderAndRefusesTakenDates) {
    TMemoList list;
    EXPECT_TRUE(list.Add("ten", mtSingle, D(2006, 3, 10)));
    EXPECT_TRUE(list.Add("two", mtWeekly, D(2006, 3, 2)));
    EXPECT_TRUE(list.Add("twenty", mtMonthly, D(2006, 3, 20)));
    EXPECT_EQ(Dates(list), (std::vector<TDateValue>{D(2006, 3, 2), D(2006, 3, 10), D(2006, 3, 20)}));
    EXPECT_EQ(list.Items()[0].Text, "two");
    EXPECT_EQ(list.Items()[0].MemoType, mtWeekly);

    // Any type on a taken date fails and changes nothing.
    EXPECT_FALSE(list.Add("yearly", mtYearly, D(2006, 3, 10)));
    EXPECT_FALSE(list.Add("again", mtSingle, D(2006, 3, 10)));
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Items()[1].Text, "ten");
    EXPECT_EQ(list.Items()[1].MemoType, mtSingle);
    EXPECT_EQ(list.IndexOfDate(2006, 3, 10), 1);
    EXPECT_EQ(list.IndexOfDate(2006, 3, 20), 2);
}

TEST(MemoList, AddRefusesADateThatIsNotANumber) {
    TMemoList list;
    EXPECT_FALSE(list.Add("x", mtSingle, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(list.Count(), 0);
}

TEST(MemoList, AddIntoAnUnsortedListStopsAtTheFirstDateNotLater) {
    TMemoList list;
    LoadExactly(list, {{D(2006, 1, 10), "a", 0}, {D(2006, 1, 30), "b", 0}, {D(2006, 1, 20), "c", 0}});
    ASSERT_TRUE(list.Add("d", mtSingle, D(2006, 1, 25)));
    ASSERT_TRUE(list.Add("e", mtSingle, D(2006, 1, 15)));
    EXPECT_EQ(Dates(list), (std::vector<TDateValue>{D(2006, 1, 10), D(2006, 1, 15), D(2006, 1, 30),
                                                    D(2006, 1, 20), D(2006, 1, 25)}));
    EXPECT_EQ(list.IndexOfDate(D(2006, 1, 25)), 4);
    EXPECT_EQ(list.IndexOfDate(D(2006, 1, 30)), 2);
    EXPECT_FALSE(list.Add("f", mtWeekly, D(2006, 1, 20)));
}

TEST(MemoList, AddRefusesWhenFull) {
    TMemoList list;
    const TDateValue first = D(2000, 1, 1);
    for (int i = 0; i < TMemoList::kMaxCount; ++i) {
        ASSERT_TRUE(list.Add("m", static_cast<uint8_t>(i % 4), first + i));
    }
    EXPECT_EQ(list.Count(), 65535);
    EXPECT_FALSE(list.Add("one more", mtSingle, first + 70000));
    EXPECT_FALSE(list.Add("one less", mtSingle, first - 1));
    EXPECT_EQ(list.Count(), 65535);
    EXPECT_EQ(list.IndexOfDate(first + 70000), -1);
    EXPECT_EQ(list.IndexOfDate(first + 65534), 65534);
    list.Delete(0);
    EXPECT_TRUE(list.Add("fits again", mtSingle, first - 1));
    EXPECT_EQ(list.IndexOfDate(first - 1), 0);
}

TEST(MemoList, WeeklyFallsOnTheSameWeekdayBeforeAndAfter) {
    TMemoList list;
    ASSERT_TRUE(list.Add("w", mtWeekly, D(2006, 7, 5))); // a Wednesday
    EXPECT_EQ(list.FindMemo(2006, 6, 28, mtWeekly), 0);
    EXPECT_EQ(list.FindMemo(2006, 7, 5, mtWeekly), 0);
    EXPECT_EQ(list.FindMemo(1901, 1, 2, mtWeekly), 0);
    EXPECT_EQ(list.FindMemo(2031, 12, 31, mtWeekly), 0);
    EXPECT_EQ(list.FindMemo(2006, 7, 6, mtWeekly), -1);
    EXPECT_EQ(list.FindMemo(2006, 7, 5, mtSingle), -1);
    EXPECT_EQ(list.FindMemo(2006, 7, 5, mtMonthly), -1);
    EXPECT_EQ(list.FindMemo(2006, 7, 5, mtYearly), -1);
}

TEST(MemoList, TheLaterOfTwoWeeklyMemosWinsEveryMonday) {
    TMemoList list;
    ASSERT_TRUE(list.Add("first", mtWeekly, D(2006, 4, 3)));
    ASSERT_TRUE(list.Add("second", mtWeekly, D(2006, 4, 10)));
    for (int week = -60; week < 60; ++week) {
        EXPECT_EQ(list.FindMemo(mtWeekly, D(2006, 4, 3) + 7 * week), 1);
    }
    EXPECT_EQ(list.FindMemo(mtWeekly, D(2006, 4, 4)), -1);
}

TEST(MemoList, MonthlyAndYearlyNeverFallOnMissingDays) {
    TMemoList list;
    ASSERT_TRUE(list.Add("end of month", mtMonthly, D(2006, 1, 31)));
    ASSERT_TRUE(list.Add("leap", mtYearly, D(2008, 2, 29)));
    ASSERT_TRUE(list.Add("29th", mtMonthly, D(2008, 3, 29)));
    EXPECT_EQ(list.FindMemo(2006, 4, 30, mtMonthly), -1);
    EXPECT_EQ(list.FindMemo(2006, 3, 31, mtMonthly), 0);
    EXPECT_EQ(list.FindMemo(1999, 12, 31, mtMonthly), 0);
    EXPECT_EQ(list.FindMemo(2012, 2, 29, mtYearly), 1);
    EXPECT_EQ(list.FindMemo(2000, 2, 29, mtYearly), 1);
    for (TDateValue d = D(2011, 1, 1); d <= D(2011, 12, 31); d += 1) {
        EXPECT_EQ(list.FindMemo(mtYearly, d), -1) << d;
    }
    EXPECT_EQ(list.FindMemo(2012, 2, 29, mtMonthly), 2);
    EXPECT_EQ(list.FindMemo(2011, 2, 28, mtMonthly), -1);
    EXPECT_EQ(list.FindMemo(2011, 3, 29, mtYearly), -1);
}

TEST(MemoList, ImpossibleDatesFindNothing) {
    TMemoList list;
    ASSERT_TRUE(list.Add("m", mtMonthly, D(2006, 1, 28)));
    ASSERT_TRUE(list.Add("w", mtWeekly, D(2006, 1, 29)));
    EXPECT_EQ(list.FindMemo(2006, 2, 31, mtMonthly), -1);
    EXPECT_EQ(list.IndexOfDate(2006, 2, 31), -1);
    EXPECT_EQ(list.FindMemo(2006, 13, 1, mtWeekly), -1);
    EXPECT_EQ(list.FindMemo(2006, 0, 1, mtWeekly), -1);
    EXPECT_EQ(list.FindMemo(0, 1, 1, mtWeekly), -1);
    EXPECT_EQ(list.FindMemo(10000, 1, 1, mtWeekly), -1);
    EXPECT_EQ(list.IndexOfDate(2006, 1, 0), -1);
    EXPECT_EQ(list.FindMemo(mtWeekly, std::numeric_limits<double>::quiet_NaN()), -1);
    EXPECT_EQ(list.FindMemo(mtWeekly, 1e300), -1);
    EXPECT_EQ(list.FindMemo(mtWeekly, -1e300), -1);
    EXPECT_EQ(list.IndexOfDate(std::numeric_limits<double>::quiet_NaN()), -1);
    // The first and last days of the range still carry recurrences.
    EXPECT_EQ(list.FindMemo(1, 1, 28, mtMonthly), 0);
    EXPECT_EQ(list.FindMemo(9999, 12, 28, mtMonthly), 0);
    ASSERT_EQ(DayOfWeek(1, 1, 7), DayOfWeek(2006, 1, 29));
    EXPECT_EQ(list.FindMemo(1, 1, 7, mtWeekly), 1);
    EXPECT_EQ(list.FindMemo(9999, 12, 26, mtWeekly), DayOfWeek(9999, 12, 26) == 7 ? 1 : -1);
}

TEST(MemoList, TypeCodesAboveThreeAreKeptAndFoundOnlyByDate) {
    TMemoList list;
    ASSERT_TRUE(list.Add("odd", 7, D(2006, 7, 5)));
    EXPECT_EQ(list.IndexOfDate(2006, 7, 5), 0);
    for (uint8_t t = 0; t < 10; ++t) {
        EXPECT_EQ(list.FindMemo(2006, 7, 5, t), -1) << int(t);
    }
    list.Modify(0, "now weekly", mtWeekly);
    EXPECT_EQ(list.FindMemo(2006, 7, 12, mtWeekly), 0);
    list.Modify(0, "odd again", 200);
    EXPECT_EQ(list.FindMemo(2006, 7, 12, mtWeekly), -1);
    EXPECT_EQ(list.FindMemo(2006, 7, 5, 200), -1);
}

TEST(MemoList, TodaysMemoIsOnlyTheOneOnItsOwnDate) {
    TMemoList list;
    const TDateValue today = D(2024, 5, 15);
    ASSERT_TRUE(list.Add("weekly today", mtWeekly, today));
    EXPECT_EQ(list.IndexOfDate(today), 0);
    EXPECT_EQ(list.IndexOfDate(today + 7), -1);
    EXPECT_EQ(list.FindMemo(mtWeekly, today + 7), 0);
}

TEST(MemoList, SingleAndYearlyOnTheSameDayOfDifferentYears) {
    TMemoList list;
    ASSERT_TRUE(list.Add("yearly", mtYearly, D(2000, 6, 1)));
    ASSERT_TRUE(list.Add("single", mtSingle, D(2006, 6, 1)));
    EXPECT_EQ(list.FindMemo(2006, 6, 1, mtSingle), 1);
    EXPECT_EQ(list.FindMemo(2006, 6, 1, mtWeekly), -1);
    EXPECT_EQ(list.FindMemo(2006, 6, 1, mtMonthly), -1);
    EXPECT_EQ(list.FindMemo(2006, 6, 1, mtYearly), 0);
    EXPECT_EQ(list.FindMemo(2007, 6, 1, mtSingle), -1);
    // Only the Single memo is dated that day: the double click opens it.
    EXPECT_EQ(list.IndexOfDate(2006, 6, 1), 1);
    EXPECT_EQ(list.IndexOfDate(2007, 6, 1), -1);
}

TEST(MemoList, ModifyKeepsDateAndPlace) {
    TMemoList list;
    ASSERT_TRUE(list.Add("a", mtSingle, D(2006, 1, 1)));
    ASSERT_TRUE(list.Add("b", mtSingle, D(2006, 1, 2)));
    ASSERT_TRUE(list.Add("c", mtSingle, D(2006, 1, 3)));
    list.Modify(1, "changed;two lines", mtMonthly);
    EXPECT_EQ(list.Items()[1].Date, D(2006, 1, 2));
    EXPECT_EQ(list.Items()[1].Text, "changed;two lines");
    EXPECT_EQ(list.Items()[1].MemoType, mtMonthly);
    EXPECT_EQ(list.FindMemo(2006, 5, 2, mtMonthly), 1);
    EXPECT_EQ(list.FindMemo(2006, 1, 2, mtSingle), -1);
    list.Modify(-1, "x", mtSingle);
    list.Modify(3, "x", mtSingle);
    EXPECT_EQ(list.Items()[0].Text, "a");
    EXPECT_EQ(list.Items()[2].Text, "c");
}

TEST(MemoList, EveryIndexOfThreeHundredMemosWorks) {
    TMemoList list;
    const TDateValue start = D(2006, 1, 1);
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(list.Add("memo " + std::to_string(i), mtSingle, start + 3 * i));
    }
    for (uint16_t i = 0; i < 300; ++i) {
        TMemo m;
        list.GetMemo(i, m);
        EXPECT_EQ(m.Date, start + 3 * i);
        EXPECT_EQ(m.Text, "memo " + std::to_string(i));
        list.Modify(i, "modified " + std::to_string(i), static_cast<uint8_t>(i % 4));
        EXPECT_EQ(list.Items()[i].Text, "modified " + std::to_string(i));
    }
    TMemo untouched{42, "keep", 3};
    list.GetMemo(300, untouched);
    list.GetMemo(65535, untouched);
    EXPECT_EQ(untouched.Date, 42);
    EXPECT_EQ(untouched.Text, "keep");
    EXPECT_EQ(untouched.MemoType, 3);

    list.Delete(299);
    list.Delete(0);
    list.Delete(150);
    list.Delete(-1);
    list.Delete(297);
    ASSERT_EQ(list.Count(), 297);
    EXPECT_EQ(list.Items()[0].Date, start + 3);
    EXPECT_EQ(list.Items()[149].Date, start + 3 * 150);
    EXPECT_EQ(list.Items()[150].Date, start + 3 * 152);
    EXPECT_EQ(list.IndexOfDate(start + 3 * 152), 150);
    EXPECT_EQ(list.IndexOfDate(start + 3 * 151), -1);
    while (list.Count() > 0) {
        list.Delete(list.Count() - 1);
    }
    EXPECT_EQ(list.IndexOfDate(start + 3), -1);
}

TEST(MemoList, ClearEmptiesListAndIndex) {
    TMemoList list;
    ASSERT_TRUE(list.Add("a", mtWeekly, D(2006, 1, 1)));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.IndexOfDate(2006, 1, 1), -1);
    EXPECT_EQ(list.FindMemo(2006, 1, 8, mtWeekly), -1);
    EXPECT_TRUE(list.Add("a", mtSingle, D(2006, 1, 1)));
}

TEST(MemoList, DuplicatesAfterLoadReportTheLaterOne) {
    TMemoList list;
    LoadExactly(list, {{D(2006, 5, 1), "late", 2},
                       {D(2006, 1, 1), "x", 0},
                       {D(2006, 5, 1), "dup", 0},
                       {D(2005, 5, 1), "early monthly", 2},
                       {-0.0, "zero", 0}});
    EXPECT_EQ(list.IndexOfDate(D(2006, 5, 1)), 2);
    EXPECT_EQ(list.FindMemo(mtMonthly, D(2007, 8, 1)), 3);
    EXPECT_EQ(list.FindMemo(mtSingle, D(2006, 5, 1)), 2);
    EXPECT_EQ(list.IndexOfDate(0.0), 4);
    EXPECT_EQ(list.FindMemo(mtSingle, 0.0), 4);
}

// Every query of the indexed list must give what a linear scan gives, whatever the edits did to
// the order; the queries run between edits of every kind, and sometimes only after several.
TEST(MemoList, IndexedQueriesEqualLinearScans) {
    std::mt19937 rng(20240515);
    const TDateValue base = D(2006, 1, 1);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto randomDate = [&]() -> TDateValue {
        switch (pick(20)) {
        case 0:
            return D(2004 + 4 * pick(3), 2, 29);
        case 1:
            return base + pick(3000);
        default:
            return base + pick(800);
        }
    };
    auto randomType = [&]() -> uint8_t { return static_cast<uint8_t>(pick(10) < 8 ? pick(4) : pick(256)); };
    auto oddDate = [&]() -> TDateValue {
        switch (pick(6)) {
        case 0:
            return 1e12;
        case 1:
            return -1e9;
        case 2:
            return base + pick(800) + 0.5;
        case 3:
            return std::numeric_limits<double>::quiet_NaN();
        case 4:
            return -0.0;
        default:
            return std::numeric_limits<double>::infinity();
        }
    };

    for (int round = 0; round < 12; ++round) {
        TMemoList list;
        TReferenceList ref;
        // Start from a loaded, unsorted list with dates taken twice.
        std::vector<TMemo> start;
        const int n = pick(400);
        for (int i = 0; i < n; ++i) {
            start.push_back(
                {pick(30) == 0 ? oddDate() : randomDate(), "s" + std::to_string(i), randomType()});
        }
        LoadExactly(list, start);
        ref.Items = start;

        auto check = [&](const char* after) {
            ASSERT_EQ(list.Count(), ref.Items.size()) << after;
            for (int q = 0; q < 60; ++q) {
                const TDateValue d = pick(40) == 0 ? oddDate() : randomDate();
                const uint8_t t = static_cast<uint8_t>(pick(6));
                ASSERT_EQ(list.FindMemo(t, d), ref.FindMemo(t, d))
                    << after << " type " << int(t) << " date " << d;
                ASSERT_EQ(list.IndexOfDate(d), ref.IndexOfDate(d)) << after << " date " << d;
            }
            const TYmd ymd = DecodeDate(randomDate());
            for (uint8_t t = 0; t < 5; ++t) {
                TDateValue d = 0;
                const bool valid = TryEncodeDate(ymd.Year, ymd.Month, ymd.Day, d);
                ASSERT_TRUE(valid);
                ASSERT_EQ(list.FindMemo(static_cast<uint16_t>(ymd.Year), static_cast<uint16_t>(ymd.Month),
                                        static_cast<uint16_t>(ymd.Day), t),
                          ref.FindMemo(t, d));
            }
        };
        check("load");

        for (int step = 0; step < 300; ++step) {
            const char* what = "";
            switch (pick(10)) {
            case 0:
            case 1:
            case 2: {
                const TDateValue d = randomDate();
                const uint8_t t = randomType();
                ASSERT_EQ(list.Add("a", t, d), ref.Add("a", t, d));
                what = "add";
                break;
            }
            case 3: {
                // An addition after the last date takes the fast path.
                TDateValue last = base;
                for (const TMemo& m : ref.Items) {
                    if (std::isfinite(m.Date) && m.Date < 3e6) {
                        last = std::max(last, m.Date);
                    }
                }
                const uint8_t t = randomType();
                const TDateValue d = last + 1 + pick(3);
                ASSERT_EQ(list.Add("z", t, d), ref.Add("z", t, d));
                what = "append";
                break;
            }
            case 4:
            case 5: {
                const int i = pick(static_cast<int>(ref.Items.size()) + 2) - 1;
                const uint8_t t = randomType();
                list.Modify(i, "m", t);
                ref.Modify(i, "m", t);
                what = "modify";
                break;
            }
            case 6:
            case 7: {
                const int i = pick(static_cast<int>(ref.Items.size()) + 2) - 1;
                list.Delete(i);
                ref.Delete(i);
                what = "delete";
                break;
            }
            case 8: {
                // Import appends without sorting or checking dates; it takes the four types alone
                // and skips a memo the list holds already.
                TLocaleFormats f;
                std::string lines;
                const int k = pick(5);
                for (int j = 0; j < k; ++j) {
                    const TDateValue d = randomDate();
                    const uint8_t t = static_cast<uint8_t>(pick(4));
                    lines += FormatDate("ddddd", d, f) + "|" + std::to_string(t) + "|i\r\n";
                    if (std::none_of(ref.Items.begin(), ref.Items.end(), [&](const TMemo& m) {
                            return m.Date == d && m.MemoType == t && m.Text == "i";
                        })) {
                        ref.Items.push_back({d, "i", t});
                    }
                }
                const std::string path = TempPath("random_import.dat");
                ASSERT_TRUE(WriteFileAtomic(path, lines));
                ASSERT_TRUE(list.ImportFromFile(path, f));
                what = "import";
                break;
            }
            default: {
                if (pick(8) == 0) {
                    list.Clear();
                    ref.Items.clear();
                    what = "clear";
                }
                break;
            }
            }
            // Some edits follow each other without a query in between.
            if (pick(3) != 0) {
                check(what);
            }
            for (size_t i = 0; i < ref.Items.size(); ++i) {
                const TMemo& a = list.Items()[i];
                const TMemo& b = ref.Items[i];
                ASSERT_TRUE(a.Date == b.Date || (std::isnan(a.Date) && std::isnan(b.Date))) << what;
                ASSERT_EQ(a.MemoType, b.MemoType) << what;
                ASSERT_EQ(a.Text, b.Text) << what;
            }
        }
        check("end");
    }
}

TEST(MemoList, IndexedQueriesEqualLinearScansAtFullSize) {
    std::mt19937 rng(7);
    const TDateValue base = D(1990, 1, 1);
    std::vector<TMemo> memos;
    for (int i = 0; i < TMemoList::kMaxCount; ++i) {
        memos.push_back({base + static_cast<int>(rng() % 20000), "t", static_cast<uint8_t>(rng() % 5)});
    }
    TMemoList list;
    LoadExactly(list, memos);
    TReferenceList ref;
    ref.Items = memos;
    for (int q = 0; q < 400; ++q) {
        const TDateValue d = base + static_cast<int>(rng() % 21000) - 500;
        const uint8_t t = static_cast<uint8_t>(rng() % 5);
        ASSERT_EQ(list.FindMemo(t, d), ref.FindMemo(t, d));
        ASSERT_EQ(list.IndexOfDate(d), ref.IndexOfDate(d));
    }
    EXPECT_FALSE(list.Add("full", mtSingle, base - 1));
}
