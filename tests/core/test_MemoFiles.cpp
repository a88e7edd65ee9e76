#include "memos/UnitMemo.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "common/BinaryStream.h"
#include "common/BoundedRead.h"
#include "common/DateFormat.h"
#include "common/SafeFile.h"

using namespace kestrivel;

namespace fs = std::filesystem;

namespace {

TDateValue D(int y, int m, int d) {
    TDateValue v = 0;
    EXPECT_TRUE(TryEncodeDate(y, m, d, v));
    return v;
}

std::string Le32(int32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) {
        s[static_cast<size_t>(i)] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
    }
    return s;
}

std::string Le16(uint16_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

std::string Le64(double d) {
    uint64_t bits = 0;
    std::memcpy(&bits, &d, 8);
    std::string s(8, '\0');
    for (int i = 0; i < 8; ++i) {
        s[static_cast<size_t>(i)] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    }
    return s;
}

std::string Record(double date, uint8_t type, const std::string& text) {
    return Le64(date) + std::string(1, static_cast<char>(type)) + Le32(static_cast<int32_t>(text.size())) +
           text;
}

const std::string kHead = std::string("\x0D\x00\x00\x00", 4) + "CalendarMemos" + std::string("\x64\x00", 2);

TLocaleFormats Pattern(const std::string& shortDate, char separator = '/') {
    TLocaleFormats f;
    f.ShortDateFormat = shortDate;
    f.DateSeparator = separator;
    return f;
}

class MemoFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("kestrivel_memofiles_" + std::to_string(::getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    std::string Write(const std::string& name, const std::string& data) const {
        const std::string p = Path(name);
        EXPECT_TRUE(WriteFileAtomic(p, data));
        return p;
    }
    size_t FilesInDir() const {
        size_t n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(m_dir)) {
            ++n;
        }
        return n;
    }

    fs::path m_dir;
};

void ExpectMemo(const TMemo& m, TDateValue date, uint8_t type, const std::string& text) {
    EXPECT_EQ(m.Date, date);
    EXPECT_EQ(m.MemoType, type);
    EXPECT_EQ(m.Text, text);
}

} // namespace

// ---- Memos.dat: layout ----------------------------------------------------------------------

TEST_F(MemoFiles, TwoMemosSaveByteForByte) {
    TMemoList list;
    ASSERT_TRUE(list.Add("Leap day", mtYearly, D(2008, 2, 29)));
    ASSERT_TRUE(list.Add("A;B", mtWeekly, D(2006, 7, 5)));
    const std::string path = Path("Memos.dat");
    ASSERT_TRUE(list.SaveToFile(path));
    const std::string data = ReadBytes(path);
    EXPECT_EQ(data.size(), 21u + (13 + 3) + (13 + 8));
    EXPECT_EQ(data, kHead + Le16(2) + Record(38903.0, 1, "A;B") + Record(39507.0, 3, "Leap day"));
    EXPECT_EQ(data.substr(0, 4), std::string("\x0D\x00\x00\x00", 4));
    // The fixture was written by hand from the same layout.
    EXPECT_EQ(data, ReadBytes(FixturePath("MemosTwo.dat")));
}

TEST_F(MemoFiles, EmptyListSavesTheHeaderBlockAndLoadsBackEmpty) {
    TMemoList list;
    const std::string path = Path("Memos.dat");
    ASSERT_TRUE(list.SaveToFile(path));
    EXPECT_EQ(ReadBytes(path), kHead + std::string("\0\0", 2));
    EXPECT_EQ(ReadBytes(path).size(), 21u);

    TMemoList other;
    ASSERT_TRUE(other.Add("gone", mtSingle, D(2006, 1, 1)));
    EXPECT_TRUE(other.LoadFromFile(path));
    EXPECT_EQ(other.Count(), 0);
    EXPECT_EQ(other.IndexOfDate(2006, 1, 1), -1);
}

TEST_F(MemoFiles, SaveAndLoadKeepOrderDuplicatesOddTypesAndText) {
    TMemoList list;
    const std::string raw =
        kHead + Le16(4) + Record(D(2006, 5, 1), 2, "later|with bar") + Record(D(2006, 1, 1), 9, "odd type") +
        Record(D(2006, 5, 1), 0, "Caf\xC3\xA9 \xE2\x82\xAC") + Record(D(2007, 1, 1), 0, "");
    ASSERT_TRUE(list.LoadFromFile(Write("in.dat", raw)));
    ASSERT_EQ(list.Count(), 4);
    ExpectMemo(list.Items()[0], D(2006, 5, 1), 2, "later|with bar");
    ExpectMemo(list.Items()[1], D(2006, 1, 1), 9, "odd type");
    ExpectMemo(list.Items()[2], D(2006, 5, 1), 0, "Caf\xC3\xA9 \xE2\x82\xAC");
    ExpectMemo(list.Items()[3], D(2007, 1, 1), 0, "");
    EXPECT_EQ(list.IndexOfDate(2006, 5, 1), 2);
    EXPECT_EQ(list.IndexOfDate(2006, 1, 1), 1);
    EXPECT_EQ(list.FindMemo(2006, 1, 1, 9), -1);

    const std::string out = Path("out.dat");
    ASSERT_TRUE(list.SaveToFile(out));
    EXPECT_EQ(ReadBytes(out), raw);
}

TEST_F(MemoFiles, FixturesLoad) {
    TMemoList list;
    ASSERT_TRUE(list.LoadFromFile(FixturePath("MemosTwo.dat")));
    ASSERT_EQ(list.Count(), 2);
    ExpectMemo(list.Items()[0], D(2006, 7, 5), mtWeekly, "A;B");
    ExpectMemo(list.Items()[1], D(2008, 2, 29), mtYearly, "Leap day");
    EXPECT_EQ(list.FindMemo(2012, 2, 29, mtYearly), 1);

    // Texts that are not UTF-8 are Windows-1252 and become UTF-8.
    ASSERT_TRUE(list.LoadFromFile(FixturePath("MemosCp1252.dat")));
    ASSERT_EQ(list.Count(), 1);
    ExpectMemo(list.Items()[0], D(2010, 1, 2), mtSingle, "Caf\xC3\xA9 \xE2\x82\xAC");
}

TEST_F(MemoFiles, HeaderlessLayoutLoads) {
    TMemoList list;
    ASSERT_TRUE(list.LoadFromFile(FixturePath("MemosHeaderless.dat")));
    ASSERT_EQ(list.Count(), 1);
    ExpectMemo(list.Items()[0], D(2006, 7, 5), mtSingle, "Old");

    // Built here as well: the count, then the record at once.
    ASSERT_TRUE(list.LoadFromFile(
        Write("h.dat", Le16(2) + Record(D(2006, 1, 2), 1, "a") + Record(D(2006, 1, 3), 2, ""))));
    ASSERT_EQ(list.Count(), 2);
    ExpectMemo(list.Items()[1], D(2006, 1, 3), 2, "");
}

// ---- Memos.dat: failures -------------------------------------------------------------------

TEST_F(MemoFiles, FailedLoadsBeforeTheCountLeaveTheListAsItWas) {
    TMemoList list;
    ASSERT_TRUE(list.Add("mine", mtWeekly, D(2020, 1, 1)));
    const auto unchanged = [&](const std::string& why) {
        ASSERT_EQ(list.Count(), 1) << why;
        EXPECT_EQ(list.Items()[0].Text, "mine") << why;
        EXPECT_EQ(list.FindMemo(2020, 1, 8, mtWeekly), 0) << why;
    };
    EXPECT_FALSE(list.LoadFromFile(Path("missing.dat")));
    unchanged("missing file");
    EXPECT_FALSE(list.LoadFromFile(m_dir.string()));
    unchanged("a folder");
    EXPECT_FALSE(list.LoadFromFile(FixturePath("BrokenMemosVersion101.dat")));
    unchanged("version 101");
    EXPECT_FALSE(list.LoadFromFile(
        Write("v99.dat", std::string("\x0D\0\0\0", 4) + "CalendarMemos" + Le16(99) + Le16(0))));
    unchanged("version 99");
    EXPECT_FALSE(list.LoadFromFile(FixturePath("BrokenMemosCountOnly.dat")));
    unchanged("headerless count only");
    EXPECT_FALSE(list.LoadFromFile(FixturePath("BrokenMemosHugeHeader.dat")));
    unchanged("huge header length");
    EXPECT_FALSE(list.LoadFromFile(Write("empty.dat", "")));
    unchanged("empty file");
    EXPECT_FALSE(list.LoadFromFile(Write("noversion.dat", kHead.substr(0, 18))));
    unchanged("version cut");
    EXPECT_FALSE(list.LoadFromFile(Write("nocount.dat", kHead + "\x01")));
    unchanged("count cut");
    // A headerless file shorter than its count plus four bytes.
    EXPECT_FALSE(list.LoadFromFile(Write("short.dat", Le16(5) + std::string("\0\0", 2))));
    unchanged("short headerless");
}

TEST_F(MemoFiles, FailedLoadsAfterTheCountKeepTheCompleteMemos) {
    TMemoList list;
    ASSERT_TRUE(list.Add("mine", mtWeekly, D(2020, 1, 1)));
    EXPECT_FALSE(list.LoadFromFile(FixturePath("BrokenMemosTruncated.dat")));
    ASSERT_EQ(list.Count(), 2);
    ExpectMemo(list.Items()[0], D(2006, 1, 1), 0, "one");
    ExpectMemo(list.Items()[1], D(2006, 1, 2), 2, "two");
    EXPECT_EQ(list.IndexOfDate(2006, 1, 3), -1);
    EXPECT_EQ(list.FindMemo(2020, 1, 8, mtWeekly), -1);

    // A text length of 0x7FFFFFFF fails at once, without reserving the bytes it claims.
    EXPECT_FALSE(list.LoadFromFile(FixturePath("BrokenMemosHugeText.dat")));
    ASSERT_EQ(list.Count(), 1);
    ExpectMemo(list.Items()[0], D(2006, 1, 1), 0, "kept");

    // A count far above what the file holds.
    EXPECT_FALSE(list.LoadFromFile(Write("many.dat", kHead + Le16(65535) + Record(D(2006, 1, 9), 1, "x"))));
    ASSERT_EQ(list.Count(), 1);
    ExpectMemo(list.Items()[0], D(2006, 1, 9), 1, "x");

    // Bytes behind the counted records: a count lowered below them, a file of zeros (read as the
    // headerless layout without a memo), one stray byte. Each would look like memos removed.
    const std::string two = Record(D(2006, 1, 9), 1, "x") + Record(D(2006, 1, 10), 0, "y");
    struct Behind {
        const char* Why;
        std::string Bytes;
        int Kept;
    };
    const Behind behind[] = {
        {"count lowered", kHead + Le16(1) + two, 1},
        {"zeros", std::string(900, '\0'), 0},
        {"one byte more", kHead + Le16(2) + two + '\0', 2},
    };
    for (const Behind& b : behind) {
        EXPECT_FALSE(list.LoadFromFile(Write("behind.dat", b.Bytes))) << b.Why;
        EXPECT_EQ(list.Count(), b.Kept) << b.Why;
    }

    // Cut inside the date, the type and the length of the first record.
    for (size_t cut : {3u, 8u, 10u, 12u}) {
        const std::string rec = Record(D(2006, 1, 9), 1, "x").substr(0, cut);
        EXPECT_FALSE(list.LoadFromFile(Write("cut.dat", kHead + Le16(1) + rec))) << cut;
        EXPECT_EQ(list.Count(), 0) << cut;
    }
}

TEST_F(MemoFiles, NegativeTextLengthIsTheEmptyText) {
    TMemoList list;
    const std::string rec = Le64(D(2006, 1, 1)) + "\x02" + Le32(-5);
    ASSERT_TRUE(
        list.LoadFromFile(Write("neg.dat", kHead + Le16(2) + rec + Record(D(2006, 1, 2), 0, "next"))));
    ASSERT_EQ(list.Count(), 2);
    ExpectMemo(list.Items()[0], D(2006, 1, 1), 2, "");
    ExpectMemo(list.Items()[1], D(2006, 1, 2), 0, "next");
}

TEST_F(MemoFiles, FailedSaveLeavesThePreviousFileWhole) {
    TMemoList list;
    ASSERT_TRUE(list.Add("first", mtSingle, D(2006, 1, 1)));
    const std::string path = Path("Memos.dat");
    ASSERT_TRUE(list.SaveToFile(path));
    const std::string before = ReadBytes(path);

    // Folders that do not exist, a file standing where a folder should be, a folder as the target.
    EXPECT_FALSE(list.SaveToFile(Path("no/such/folder/Memos.dat")));
    EXPECT_FALSE(list.SaveToFile(path + "/Memos.dat"));
    EXPECT_FALSE(list.SaveToFile(m_dir.string()));

    // A write that fails halfway (the file size limit stops it even for root).
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(list.Add(std::string(100, 'x'), mtSingle, D(2007, 1, 1) + i));
    }
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = list.SaveToFile(path);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(FilesInDir(), 1u); // no temporary file left behind

    ASSERT_TRUE(list.SaveToFile(path));
    TMemoList back;
    ASSERT_TRUE(back.LoadFromFile(path));
    EXPECT_EQ(back.Count(), 201);
}

// ---- Exchange file: export ------------------------------------------------------------------

TEST_F(MemoFiles, ExportWritesOneLinePerMemoInTheShortDatePattern) {
    TMemoList list;
    ASSERT_TRUE(list.Add("A;B", mtWeekly, D(2006, 7, 5)));
    const std::string path = Path("x.dat");
    ASSERT_TRUE(list.ExportToFile(0, 0, path, Pattern("dd/mm/yyyy")));
    EXPECT_EQ(ReadBytes(path), "05/07/2006|1|A;B\r\n");
    ASSERT_TRUE(list.ExportToFile(0, 0, path, Pattern("yyyy-mm-dd", '-')));
    EXPECT_EQ(ReadBytes(path), "2006-07-05|1|A;B\r\n");
    ASSERT_TRUE(list.ExportToFile(0, 0, path, Pattern("d/m/yyyy", '.')));
    EXPECT_EQ(ReadBytes(path), "5.7.2006|1|A;B\r\n");
}

TEST_F(MemoFiles, ExportWritesTheChosenRangeInListOrder) {
    TMemoList list;
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(list.Add("m" + std::to_string(i), static_cast<uint8_t>(i), D(2006, 1, 10 + i)));
    }
    const std::string path = Path("x.dat");
    // Rows 2..4 of the Memos tab are the indexes 1..3.
    ASSERT_TRUE(list.ExportToFile(1, 3, path, Pattern("dd/mm/yyyy")));
    EXPECT_EQ(ReadBytes(path), "11/01/2006|1|m1\r\n12/01/2006|2|m2\r\n13/01/2006|3|m3\r\n");
    ASSERT_TRUE(list.ExportToFile(0, 5, path, Pattern("dd/mm/yyyy")));
    EXPECT_TRUE(ReadBytes(path).starts_with("10/01/2006|0|m0\r\n11/01/2006|1|m1\r\n"));
    EXPECT_TRUE(ReadBytes(path).ends_with("14/01/2006|4|m4\r\n15/01/2006|5|m5\r\n"));

    // last < first: an empty file.
    ASSERT_TRUE(list.ExportToFile(3, 2, path, Pattern("dd/mm/yyyy")));
    EXPECT_EQ(ReadBytes(path), "");
    TMemoList empty;
    ASSERT_TRUE(empty.ExportToFile(0, -1, Path("e.dat"), Pattern("dd/mm/yyyy")));
    EXPECT_EQ(ReadBytes(Path("e.dat")), "");

    // Memos that do not exist: nothing is written.
    EXPECT_FALSE(list.ExportToFile(4, 6, Path("bad1.dat"), Pattern("dd/mm/yyyy")));
    EXPECT_FALSE(list.ExportToFile(-1, 2, Path("bad2.dat"), Pattern("dd/mm/yyyy")));
    EXPECT_FALSE(FileExists(Path("bad1.dat")));
    EXPECT_FALSE(FileExists(Path("bad2.dat")));
    EXPECT_FALSE(list.ExportToFile(0, 1, Path("no/folder/x.dat"), Pattern("dd/mm/yyyy")));
}

TEST_F(MemoFiles, ExportKeepsEveryLineOnOneLine) {
    TMemoList list;
    ASSERT_TRUE(list.Add("one\r\ntwo\nthree\rfour", mtSingle, D(2006, 1, 1)));
    ASSERT_TRUE(list.ExportToFile(0, 0, Path("x.dat"), Pattern("dd/mm/yyyy")));
    EXPECT_EQ(ReadBytes(Path("x.dat")), "01/01/2006|0|one;two;three;four\r\n");
}

TEST_F(MemoFiles, ExportLeavesOutDatesNoPatternCanShow) {
    TMemoList list;
    ASSERT_TRUE(
        list.LoadFromFile(Write("odd.dat", kHead + Le16(3) + Record(D(2006, 1, 1), 0, "a") +
                                               Record(1e12, 0, "far") + Record(D(2006, 1, 3), 0, "c"))));
    EXPECT_FALSE(list.ExportToFile(0, 2, Path("x.dat"), Pattern("dd/mm/yyyy")));
    EXPECT_EQ(ReadBytes(Path("x.dat")), "01/01/2006|0|a\r\n03/01/2006|0|c\r\n");
}

// ---- Exchange file: import ------------------------------------------------------------------

TEST_F(MemoFiles, ImportAppendsTheMemosOfTheFile) {
    TMemoList list;
    ASSERT_TRUE(list.Add("later", mtSingle, D(2030, 1, 1)));
    ASSERT_TRUE(list.ImportFromFile(FixturePath("MemosExchange.dat"), Pattern("dd/mm/yyyy")));
    ASSERT_EQ(list.Count(), 4);
    ExpectMemo(list.Items()[1], D(2006, 7, 5), mtWeekly, "A;B");
    ExpectMemo(list.Items()[2], D(2008, 2, 29), mtYearly, "Leap|day");
    ExpectMemo(list.Items()[3], D(2007, 1, 1), mtSingle, "");
    EXPECT_EQ(list.FindMemo(2006, 7, 12, mtWeekly), 1);
    EXPECT_EQ(list.FindMemo(2016, 2, 29, mtYearly), 2);
}

TEST_F(MemoFiles, ImportingTwiceSkipsWhatTheListHolds) {
    TMemoList list;
    ASSERT_TRUE(list.ImportFromFile(FixturePath("MemosExchange.dat"), Pattern("dd/mm/yyyy")));
    const TExchangeImport again =
        list.ImportExchangeFile(FixturePath("MemosExchange.dat"), Pattern("dd/mm/yyyy"));
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.Added, 0);
    EXPECT_EQ(again.Skipped, 3);
    EXPECT_EQ(list.Count(), 3);
    // Only date, type and text together make a memo the list holds: another text on a taken date
    // is added, and the date is then taken twice as the file says.
    const TExchangeImport other = list.ImportExchange("05/07/2006|1|A;B\r\n05/07/2006|1|other\r\n"
                                                      "05/07/2006|1|other\r\n",
                                                      Pattern("dd/mm/yyyy"));
    EXPECT_EQ(other.Added, 1);
    EXPECT_EQ(other.Skipped, 2);
    EXPECT_EQ(list.IndexOfDate(2006, 7, 5), 3);
}

TEST_F(MemoFiles, ImportWithAnEmptyLineAddsNothing) {
    TMemoList list;
    EXPECT_FALSE(list.ImportFromFile(FixturePath("BrokenMemosExchangeEmptyLine.dat"), Pattern("dd/mm/yyyy")));
    ASSERT_EQ(list.Count(), 0);

    // A line end after the last line is no empty line, with CR LF or LF alone; nor is a missing one.
    for (const std::string& text :
         {std::string("05/07/2006|1|A\r\n"), std::string("05/07/2006|1|A\n"), std::string("05/07/2006|1|A"),
          std::string("05/07/2006|1|A\n06/07/2006|0|B")}) {
        TMemoList l;
        EXPECT_TRUE(l.ImportFromFile(Write("ok.dat", text), Pattern("dd/mm/yyyy"))) << text;
        EXPECT_EQ(l.Items()[0].Text, "A");
    }
    TMemoList l;
    EXPECT_FALSE(l.ImportFromFile(Write("lf.dat", "05/07/2006|1|A\n\n"), Pattern("dd/mm/yyyy")));
    EXPECT_FALSE(l.ImportFromFile(Write("first.dat", "\r\n05/07/2006|1|A\r\n"), Pattern("dd/mm/yyyy")));
    EXPECT_EQ(l.Count(), 0);
    // An empty file holds no line at all.
    EXPECT_TRUE(l.ImportFromFile(Write("empty.dat", ""), Pattern("dd/mm/yyyy")));
    EXPECT_EQ(l.Count(), 0);
}

TEST_F(MemoFiles, ImportWithABadLineAddsNothing) {
    for (const char* bad :
         {"31/02/2006|0|no such day", "05/07/2006", "05/07/2006|", "05/07/2006||text", "05/07/2006|x|text",
          "05/07/2006|-1|text", "05/07/2006| 1|text", "05/07/2006|256|t", "05/07/2006|$1|text",
          "05/07/2006|1x|t", "|1|text", "hello|1|text", "2006|1|text"}) {
        TMemoList list;
        const std::string file = std::string("01/01/2006|0|good\r\n") + bad + "\r\n02/01/2006|0|never\r\n";
        const TExchangeImport report = list.ImportExchangeFile(Write("bad.dat", file), Pattern("dd/mm/yyyy"));
        EXPECT_EQ(report.Stop, TExchangeStop::NotAMemo) << bad;
        EXPECT_EQ(report.Line, 2) << bad;
        EXPECT_EQ(list.Count(), 0) << bad;
    }
    TMemoList list;
    EXPECT_FALSE(list.ImportFromFile(Path("missing.dat"), Pattern("dd/mm/yyyy")));
    EXPECT_FALSE(list.ImportFromFile(m_dir.string(), Pattern("dd/mm/yyyy")));
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(MemoFiles, ImportReadsTypeCodesAndTextsAsWritten) {
    TMemoList list;
    const std::string file = "06/07/2006|2|twelve|and more\r\n"
                             "08/07/2006|0\r\n"
                             "09/07/2006|003|x\r\n"
                             "10/07/2006|1|Caf\xE9\r\n"
                             "11/07/2006|1|Caf\xC3\xA9\r\n";
    ASSERT_TRUE(list.ImportFromFile(Write("t.dat", file), Pattern("dd/mm/yyyy")));
    ASSERT_EQ(list.Count(), 5);
    ExpectMemo(list.Items()[0], D(2006, 7, 6), 2, "twelve|and more");
    ExpectMemo(list.Items()[1], D(2006, 7, 8), 0, "");
    ExpectMemo(list.Items()[2], D(2006, 7, 9), 3, "x");
    ExpectMemo(list.Items()[3], D(2006, 7, 10), 1, "Caf\xC3\xA9");
    ExpectMemo(list.Items()[4], D(2006, 7, 11), 1, "Caf\xC3\xA9");
}

TEST_F(MemoFiles, ImportSkipsAByteOrderMark) {
    TMemoList list;
    ASSERT_TRUE(list.ImportFromFile(Write("bom.dat", "\xEF\xBB\xBF"
                                                     "05/07/2006|1|A\r\n"),
                                    Pattern("dd/mm/yyyy")));
    ASSERT_EQ(list.Count(), 1);
    ExpectMemo(list.Items()[0], D(2006, 7, 5), 1, "A");
}

TEST_F(MemoFiles, ImportOfABinaryMemoFileFailsAtItsFirstLine) {
    TMemoList list;
    EXPECT_FALSE(list.ImportFromFile(FixturePath("MemosTwo.dat"), Pattern("dd/mm/yyyy")));
    EXPECT_EQ(list.Count(), 0);
    // And the other way round: an exchange file is no Memos.dat.
    ASSERT_TRUE(list.Add("mine", mtSingle, D(2006, 1, 1)));
    EXPECT_FALSE(list.LoadFromFile(FixturePath("MemosExchange.dat")));
}

TEST_F(MemoFiles, ShortDatePatternsOfAnyLengthReadBack) {
    TMemoList list;
    ASSERT_TRUE(list.ImportFromFile(FixturePath("MemosExchangeShortDates.dat"), Pattern("d/m/yyyy")));
    ASSERT_EQ(list.Count(), 2);
    ExpectMemo(list.Items()[0], D(2006, 7, 5), mtWeekly, "A;B");
    ExpectMemo(list.Items()[1], D(2006, 12, 1), mtMonthly, "x");

    TMemoList source;
    ASSERT_TRUE(source.Add("a|b", mtWeekly, D(2006, 7, 5)));
    ASSERT_TRUE(source.Add("", mtYearly, D(2008, 2, 29)));
    ASSERT_TRUE(source.Add("z;y", mtMonthly, D(2012, 12, 31)));
    for (const TLocaleFormats& f :
         {Pattern("d/m/yyyy"), Pattern("dd/mm/yyyy"), Pattern("mm/dd/yyyy"), Pattern("yyyy-mm-dd", '-'),
          Pattern("d.m.yyyy"), Pattern("yyyy/m/d", '.')}) {
        const std::string path = Path("round.dat");
        ASSERT_TRUE(source.ExportToFile(0, 2, path, f));
        TMemoList back;
        ASSERT_TRUE(back.ImportFromFile(path, f)) << f.ShortDateFormat;
        ASSERT_EQ(back.Count(), 3);
        for (size_t i = 0; i < 3; ++i) {
            ExpectMemo(back.Items()[i], source.Items()[i].Date, source.Items()[i].MemoType,
                       source.Items()[i].Text);
        }
    }
}

TEST_F(MemoFiles, ImportStopsWhenTheListIsFull) {
    std::string raw = kHead + Le16(65533);
    for (int i = 0; i < 65533; ++i) {
        raw += Record(D(1900, 1, 1) + i, 0, "");
    }
    const std::string full = Write("full.dat", raw);
    const std::string three = Write("three.dat", "01/01/2200|0|a\r\n02/01/2200|0|b\r\n03/01/2200|0|c\r\n");
    const std::string two = Write("two.dat", "01/01/2200|0|a\r\n02/01/2200|0|b\r\n");

    TMemoList list;
    ASSERT_TRUE(list.LoadFromFile(full));
    const TExchangeImport report = list.ImportExchangeFile(three, Pattern("dd/mm/yyyy"));
    EXPECT_EQ(report.Stop, TExchangeStop::ListFull);
    EXPECT_EQ(report.Line, 3);
    EXPECT_EQ(list.Count(), 65533);

    ASSERT_TRUE(list.LoadFromFile(full));
    EXPECT_TRUE(list.ImportFromFile(two, Pattern("dd/mm/yyyy")));
    EXPECT_EQ(list.Count(), 65535);
    // What the list holds already needs no room.
    EXPECT_TRUE(list.ImportFromFile(two, Pattern("dd/mm/yyyy")));
    EXPECT_FALSE(list.ImportFromFile(three, Pattern("dd/mm/yyyy")));
    EXPECT_EQ(list.Count(), 65535);
    // A full list still saves every memo and loads back whole.
    ASSERT_TRUE(list.SaveToFile(Path("back.dat")));
    TMemoList back;
    ASSERT_TRUE(back.LoadFromFile(Path("back.dat")));
    EXPECT_EQ(back.Count(), 65535);
}

// ---- What is saved can be read ---------------------------------------------------------------

// One memo of text length L: Memos.dat takes 21 + 13 + L bytes, its exchange line on 5 July 2006
// with dd/mm/yyyy takes 13 + L + 2. A file over the 64 MiB read cap is refused and the previous
// file stays as it was.
TEST_F(MemoFiles, SavesAndExportsThatWouldPassTheReadCapAreRefused) {
    constexpr size_t kCap = size_t{64} << 20;
    const struct {
        const char* name;
        bool exchange;
        size_t textLength;
        bool saved;
    } cases[] = {
        {"Memos.dat at the cap", false, kCap - 34, true},
        {"Memos.dat one byte over", false, kCap - 33, false},
        {"exchange file at the cap", true, kCap - 15, true},
        {"exchange file one byte over", true, kCap - 14, false},
    };
    const TLocaleFormats formats = Pattern("dd/mm/yyyy");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Write("out.dat", "previous");
        TMemoList list;
        ASSERT_TRUE(list.Add(std::string(c.textLength, 'x'), mtSingle, D(2006, 7, 5)));
        const bool saved = c.exchange ? list.ExportToFile(0, 0, path, formats) : list.SaveToFile(path);
        EXPECT_EQ(saved, c.saved);
        EXPECT_EQ(FilesInDir(), 1u);
        if (!c.saved) {
            EXPECT_TRUE(ReadBytes(path) == "previous"); // no 64 MiB in the failure message
            continue;
        }
        EXPECT_EQ(fs::file_size(path), kCap);
        TMemoList back;
        EXPECT_TRUE(c.exchange ? back.ImportFromFile(path, formats) : back.LoadFromFile(path));
        EXPECT_EQ(back.Count(), 1);
    }
}

// Imported texts keep to the editor's 255 characters: code points, ";" one of them, never cut
// inside a character; Windows-1252 bytes count once converted.
TEST_F(MemoFiles, ImportCutsTextsToTheEditorsLength) {
    const std::string e = "\xC3\xA9";            // é, two bytes
    const std::string clef = "\xF0\x9D\x84\x9E"; // 𝄞, four bytes
    const auto times = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) {
            out += s;
        }
        return out;
    };
    const struct {
        const char* name;
        std::string text, stored;
        size_t cut;
    } cases[] = {
        {"255 letters stay", times("a", 255), times("a", 255), 0},
        {"256 letters lose the last", times("a", 256), times("a", 255), 1},
        {"two-byte letters", times(e, 300), times(e, 255), 1},
        {"four-byte letter across the limit", times("a", 254) + clef + clef, times("a", 254) + clef, 1},
        {"line breaks count once", times("a;", 200), times("a;", 127) + "a", 1},
        {"Windows-1252", times("\xE9", 256), times(e, 255), 1},
        {"Windows-1252 within the limit", times("\xE9", 255), times(e, 255), 0},
        {"empty", "", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TMemoList list;
        const TExchangeImport report = list.ImportExchangeFile(
            Write("cut.dat", "05/07/2006|0|" + c.text + "\r\n"), Pattern("dd/mm/yyyy"));
        ASSERT_TRUE(report.ok());
        ASSERT_EQ(list.Count(), 1);
        EXPECT_EQ(list.Items()[0].Text, c.stored);
        EXPECT_EQ(report.CutLines.size(), c.cut);
    }
}

// ---- Exchange files between locales -------------------------------------------------------

// The short date patterns of en_US, en_GB, de_DE, fr_FR and the C locale. A file written under any
// of them reads back under any other with every date right: each file holds a day above 12, so
// only one order reads all of it.
TEST_F(MemoFiles, ExchangeFilesReadBackUnderEveryLocale) {
    const struct {
        const char* locale;
        TLocaleFormats formats;
    } locales[] = {{"en_US", Pattern("m/d/yyyy")},
                   {"en_GB", Pattern("dd/mm/yyyy")},
                   {"de_DE", Pattern("dd.mm.yyyy", '.')},
                   {"fr_FR", Pattern("dd/mm/yyyy")},
                   {"C", Pattern("yyyy-mm-dd", '-')}};
    TMemoList source;
    ASSERT_TRUE(source.Add("a", mtSingle, D(2026, 11, 1)));
    ASSERT_TRUE(source.Add("b", mtWeekly, D(2026, 11, 12)));
    ASSERT_TRUE(source.Add("c", mtYearly, D(2026, 11, 13)));
    ASSERT_TRUE(source.Add("d", mtMonthly, D(2008, 2, 29)));
    for (const auto& writer : locales) {
        const std::string path = Path(std::string(writer.locale) + ".dat");
        ASSERT_TRUE(source.ExportToFile(0, 3, path, writer.formats));
        for (const auto& reader : locales) {
            SCOPED_TRACE(std::string(writer.locale) + " read under " + reader.locale);
            TMemoList back;
            ASSERT_TRUE(back.Add("kept", mtSingle, D(2000, 1, 1)));
            const TExchangeImport report = back.ImportExchangeFile(path, reader.formats);
            ASSERT_TRUE(report.ok());
            ASSERT_EQ(back.Count(), 5);
            for (size_t i = 0; i < 4; ++i) {
                ExpectMemo(back.Items()[i + 1], source.Items()[i].Date, source.Items()[i].MemoType,
                           source.Items()[i].Text);
            }
        }
    }
}

// What an import says it did is what it did; a stop adds nothing and names the line.
TEST_F(MemoFiles, ImportReportsWhatItDid) {
    const std::string cutText(400, 'x');
    const struct {
        const char* name;
        std::string file;
        std::string localePattern;
        TExchangeStop stop;
        int line, added;
        std::string order, detail;
    } cases[] = {
        {"ISO under a day-first locale", "2026-11-01|0|a\r\n2026-11-13|0|b\r\n", "dd.mm.yyyy",
         TExchangeStop::None, 0, 2, "yyyy-mm-dd", ""},
        {"month first under a day-first locale", "11/1/2026|0|a\r\n11/13/2026|0|b\r\n", "dd.mm.yyyy",
         TExchangeStop::None, 0, 2, "mm-dd-yyyy", ""},
        {"day first under the C locale", "13/11/2026|0|a\r\n", "yyyy-mm-dd", TExchangeStop::None, 0, 1,
         "dd-mm-yyyy", ""},
        {"orders mixed in one file", "01/11/2026|0|a\r\n2026-11-02|0|b\r\n11/13/2026|0|c\r\n", "dd/mm/yyyy",
         TExchangeStop::NotAMemo, 2, 0, "dd/mm/yyyy", ""},
        {"unknown type", "01/11/2026|0|a\r\n02/11/2026|9|b\r\n", "dd/mm/yyyy", TExchangeStop::UnknownType, 2,
         0, "dd/mm/yyyy", "9"},
        {"a date the locale does not read comes before a bad type", "11/13/2026|0|a\r\n02/11/2026|4|b\r\n",
         "dd/mm/yyyy", TExchangeStop::NotAMemo, 1, 0, "dd/mm/yyyy", ""},
        {"no columns", "01/11/2026|0|a\r\nnot a memo\r\n", "dd/mm/yyyy", TExchangeStop::NotAMemo, 2, 0,
         "dd/mm/yyyy", ""},
        {"a long text is cut and kept", "01/11/2026|0|" + cutText + "\r\n", "dd/mm/yyyy", TExchangeStop::None,
         0, 1, "dd/mm/yyyy", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TMemoList list;
        const TExchangeImport report = list.ImportExchange(c.file, Pattern(c.localePattern));
        EXPECT_EQ(report.Stop, c.stop);
        EXPECT_EQ(report.Line, c.line);
        EXPECT_EQ(report.Added, c.added);
        EXPECT_EQ(list.Count(), c.added);
        EXPECT_EQ(report.DateOrder, c.order);
        EXPECT_EQ(report.Detail, c.detail);
    }
    TMemoList list;
    EXPECT_EQ(list.ImportExchangeFile(Path("missing.dat"), Pattern("dd/mm/yyyy")).Stop,
              TExchangeStop::Unreadable);
    std::string huge(kDataFileCap + 1, 'x');
    EXPECT_EQ(list.ImportExchangeFile(Write("huge.dat", huge), Pattern("dd/mm/yyyy")).Stop,
              TExchangeStop::TooLarge);
}
