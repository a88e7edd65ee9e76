#include "memos/ICalendar.h"

#include "TestSupport.h"
#include "common/DateValue.h"
#include "memos/UnitMemo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

using namespace kestrivel;

namespace {

// The memos as sorted "yyyy-mm-dd|type|text" lines, so expectations read as plain text.
std::vector<std::string> describe(const TMemoList& memos) {
    std::vector<std::string> out;
    for (const TMemo& memo : memos.Items()) {
        const TYmd d = DecodeDate(memo.Date);
        char head[32];
        std::snprintf(head, sizeof head, "%04d-%02d-%02d|%d|", d.Year, d.Month, d.Day, memo.MemoType);
        out.push_back(head + memo.Text);
    }
    std::sort(out.begin(), out.end());
    return out;
}

void add(TMemoList& memos, int y, int m, int d, uint8_t type, const std::string& text) {
    TDateValue date = 0;
    ASSERT_TRUE(TryEncodeDate(y, m, d, date) && memos.Add(text, type, date));
}

// Longer than a folded line, with two-byte characters across every possible fold.
std::string longText() {
    std::string out = "Ünïcödé";
    for (int i = 0; i < 80; ++i) {
        out += "é";
    }
    return out;
}

TMemoList sampleMemos() {
    TMemoList memos;
    add(memos, 2026, 12, 24, mtSingle, "Christmas;Eve");
    add(memos, 2026, 1, 5, mtWeekly, "Gym, 6 pm");
    add(memos, 2026, 2, 28, mtMonthly, "Rent\\flat");
    add(memos, 1980, 5, 17, mtYearly, longText());
    return memos;
}

std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> out;
    for (size_t pos = 0, end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
        out.push_back(text.substr(pos, end - pos));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Runs the other implementation (tests/data/ical_interop.py); false when Python's icalendar is missing.
bool runInterop(const std::string& command, const std::string& path, std::string& output) {
    for (const char* python : {"/usr/bin/python3", "python3"}) {
        const std::string line = std::string(python) + " '" + FixturePath("ical_interop.py") + "' " +
                                 command + " '" + path + "' 2>/dev/null";
        FILE* pipe = popen(line.c_str(), "r");
        output.clear();
        char buffer[4096];
        for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            output.append(buffer, n);
        }
        if (pipe && pclose(pipe) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST(ICalendar, ExportThenImportGivesTheSameMemosAndStableUids) {
    TempFolder folder;
    const TMemoList memos = sampleMemos();
    ASSERT_TRUE(ExportMemosToICalendar(memos, 0, 3, folder.file("a.ics"), 1'700'000'000));
    ASSERT_TRUE(ExportMemosToICalendar(memos, 0, 3, folder.file("b.ics"), 1'800'000'000));
    EXPECT_FALSE(ExportMemosToICalendar(memos, 0, 4, folder.file("c.ics"), 0));
    EXPECT_FALSE(std::filesystem::exists(folder.file("c.ics")));
    TMemoList late = sampleMemos();
    add(late, 3001, 1, 1, mtSingle, "libical writes no later date");
    EXPECT_FALSE(ExportMemosToICalendar(late, 0, 4, folder.file("c.ics"), 0));

    // Sorted, the four DTSTAMP lines come before the four UID lines.
    const auto stampsAndUids = [&](const char* name) {
        std::vector<std::string> out;
        for (const std::string& line : sortedLines(ReadBytes(folder.file(name)))) {
            if (line.rfind("UID:", 0) == 0 || line.rfind("DTSTAMP", 0) == 0) {
                out.push_back(line);
            }
        }
        return out;
    };
    const std::vector<std::string> a = stampsAndUids("a.ics");
    const std::vector<std::string> b = stampsAndUids("b.ics");
    ASSERT_EQ(a.size(), 8u);
    EXPECT_EQ(a[0], "DTSTAMP:20231114T221320Z\r");
    EXPECT_EQ(b[0], "DTSTAMP:20270115T080000Z\r");
    EXPECT_EQ(std::vector(a.begin() + 4, a.end()), std::vector(b.begin() + 4, b.end()));

    TMemoList back;
    ICalendarImportCounts counts;
    ASSERT_TRUE(ImportMemosFromICalendar(back, folder.file("a.ics"), counts));
    EXPECT_EQ(describe(back), describe(memos));
    EXPECT_EQ(ICalendarImportSummary(counts), "4 / 0 / 0");
}

TEST(ICalendar, TravelsBothWaysWithAnotherImplementation) {
    TempFolder folder;
    std::string output;
    if (!runInterop("write", folder.file("theirs.ics"), output)) {
        GTEST_SKIP() << "python3-icalendar is not installed";
    }
    TMemoList memos;
    add(memos, 2026, 3, 2, mtSingle, "Mine");
    ICalendarImportCounts counts;
    ASSERT_TRUE(ImportMemosFromICalendar(memos, folder.file("theirs.ics"), counts));
    EXPECT_EQ(ICalendarImportSummary(counts), "4 / 4 / 3");
    EXPECT_EQ(describe(memos),
              (std::vector<std::string>{
                  "1990-07-04|3|Birthday, Ann", "2026-03-02|0|Mine", "2026-03-10|0|Dentist;bring card",
                  "2026-03-15|2|Rent; flat 3", "2026-04-01|0|Meeting", "2026-04-06|0|Every other week",
                  "2026-04-07|0|Daily", "2026-04-08|0|Three months", "2026-04-09|0|Weekdays"}));

    const TMemoList ours = sampleMemos();
    ASSERT_TRUE(ExportMemosToICalendar(ours, 0, 3, folder.file("ours.ics"), 0));
    ASSERT_TRUE(runInterop("read", folder.file("ours.ics"), output));
    EXPECT_EQ(
        sortedLines(output),
        (std::vector<std::string>{"1980-05-17|FREQ=YEARLY|" + longText(), "2026-01-05|FREQ=WEEKLY|Gym, 6 pm",
                                  "2026-02-28|FREQ=MONTHLY|Rent\\flat", "2026-12-24||Christmas\\nEve"}));
}

TEST(ICalendar, HostileFilesFailOrFinishWithinTheCaps) {
    const std::string head = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n", tail = "END:VCALENDAR\r\n";
    const std::string event = "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20260101\r\n";
    const auto million = [&] {
        std::string out = head;
        for (int i = 0; i < 1'000'000; ++i) {
            out += event + "END:VEVENT\r\n";
        }
        return out + tail;
    };
    const struct {
        const char* name;
        std::function<std::string()> content; // none: a folder
        bool ok;
        const char* counts;
    } cases[] = {
        {"empty file", [] { return ""; }, false, "0 / 0 / 0"},
        {"not iCalendar", [] { return "hello\r\n"; }, false, "0 / 0 / 0"},
        {"folder", nullptr, false, "0 / 0 / 0"},
        {"unterminated event", [&] { return head + event; }, false, "0 / 0 / 0"},
        {"unterminated calendar", [&] { return head + event + "END:VEVENT\r\n"; }, false, "0 / 0 / 0"},
        {"huge summary in an event",
         [&] { return head + event + "SUMMARY:" + std::string(40 << 20, 'x') + "\r\nEND:VEVENT\r\n" + tail; },
         false, "0 / 0 / 0"},
        {"huge attachment in an event",
         [&] { return head + event + "ATTACH:" + std::string(40 << 20, 'x') + "\r\nEND:VEVENT\r\n" + tail; },
         true, "1 / 0 / 0"},
        {"huge line outside events",
         [&] { return head + "X-JUNK:" + std::string(60 << 20, 'y') + "\r\n" + tail; }, true, "0 / 0 / 0"},
        {"10^6 events on one date", million, true, "1 / 0 / 999999"},
        {"after the year 3000",
         [&] { return head + "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:30010101\r\nEND:VEVENT\r\n" + tail; }, true,
         "0 / 0 / 1"},
        {"beyond 64 MiB", [&] { return head + std::string((64 << 20) + 1, '\n') + tail; }, false,
         "0 / 0 / 0"},
    };
    TempFolder folder;
    const std::string path = folder.file("hostile.ics");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(path);
        c.content ? WriteBytes(path, c.content()) : (void)std::filesystem::create_directory(path);
        TMemoList memos;
        add(memos, 2026, 3, 2, mtSingle, "Mine");
        ICalendarImportCounts counts;
        EXPECT_EQ(ImportMemosFromICalendar(memos, path, counts), c.ok);
        EXPECT_EQ(ICalendarImportSummary(counts), c.counts);
        EXPECT_EQ(memos.Count(), 1 + counts.Added + counts.Approximated);
        const int mine = memos.IndexOfDate(2026, 3, 2);
        EXPECT_TRUE(mine >= 0 && memos.Items()[static_cast<size_t>(mine)].Text == "Mine");
    }
}

// Events beyond a full list are left out and counted apart from those skipped for their date.
TEST(ICalendarImport, CountsWhatAFullListLeavesOut) {
    TMemoList memos;
    for (int i = 0; i < TMemoList::kMaxCount - 1; ++i) {
        ASSERT_TRUE(memos.Add("x", mtSingle, 2 + i)); // 1 January 1900 on
    }
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//t//EN\r\n";
    for (const char* date : {"19000101", "22000101", "22000102", "22000103"}) {
        text += std::string("BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:") + date + "\r\nSUMMARY:e\r\nEND:VEVENT\r\n";
    }
    TempFolder folder;
    WriteBytes(folder.file("full.ics"), text + "END:VCALENDAR\r\n");
    ICalendarImportCounts counts;
    ASSERT_TRUE(ImportMemosFromICalendar(memos, folder.file("full.ics"), counts));
    EXPECT_EQ(ICalendarImportSummary(counts) + " " + std::to_string(counts.LeftOut), "1 / 0 / 1 2");
}

// A summary longer than the editor's 255 characters is cut to them (escaped line breaks are one
// character each, as ";" in the stored text) and the event counts as approximated.
TEST(ICalendar, LongSummariesAreCutAndCountAsApproximated) {
    const auto times = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) {
            out += s;
        }
        return out;
    };
    const struct {
        const char* name;
        std::string summary, rule, counts, memo;
    } cases[] = {
        {"255 letters", times("a", 255), "", "1 / 0 / 0", "2026-01-05|0|" + times("a", 255)},
        {"256 letters", times("a", 256), "", "0 / 1 / 0", "2026-01-05|0|" + times("a", 255)},
        {"two-byte letters", times("\xC3\xA9", 300), "", "0 / 1 / 0",
         "2026-01-05|0|" + times("\xC3\xA9", 255)},
        {"escaped line breaks", times("a\\n", 200), "", "0 / 1 / 0",
         "2026-01-05|0|" + times("a;", 127) + "a"},
        {"weekly keeps its type", times("b", 400), "RRULE:FREQ=WEEKLY\r\n", "0 / 1 / 0",
         "2026-01-05|1|" + times("b", 255)},
    };
    TempFolder folder;
    const std::string path = folder.file("long.ics");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(path, "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20260105\r\n" +
                             c.rule + "SUMMARY:" + c.summary + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
        TMemoList memos;
        ICalendarImportCounts counts;
        ASSERT_TRUE(ImportMemosFromICalendar(memos, path, counts));
        EXPECT_EQ(ICalendarImportSummary(counts), c.counts);
        EXPECT_EQ(describe(memos), std::vector<std::string>{c.memo});
    }
}

// An export that would pass the 64 MiB read cap is refused and the file that stood there stays.
TEST(ICalendar, ExportThatWouldPassTheReadCapIsRefused) {
    TempFolder folder;
    const std::string path = folder.file("big.ics");
    WriteBytes(path, "previous");
    TMemoList memos;
    add(memos, 2026, 1, 5, mtSingle, std::string(size_t{64} << 20, 'x'));
    EXPECT_FALSE(ExportMemosToICalendar(memos, 0, 0, path, 0));
    EXPECT_TRUE(ReadBytes(path) == "previous");
}

namespace {

const std::string kHead = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
const std::string kTail = "END:VCALENDAR\r\n";
const std::string kEventHead = "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20260105\r\n";
const std::string kSummary = "SUMMARY:s\r\n";
const std::string kEventTail = "END:VEVENT\r\n";

std::string repeated(const std::string& line, size_t count) {
    std::string out;
    out.reserve(line.size() * count);
    for (size_t i = 0; i < count; ++i) {
        out += line;
    }
    return out;
}

// One event with `inside` between its head and its end.
std::string oneEvent(const std::string& inside, const std::string& summary = kSummary) {
    return kHead + kEventHead + summary + inside + kEventTail + kTail;
}

// `depth` components counting VCALENDAR and VEVENT, the innermost ones X-DEEP.
std::string nested(size_t depth) {
    return oneEvent(repeated("BEGIN:X-DEEP\r\n", depth - 2) + repeated("END:X-DEEP\r\n", depth - 2));
}

// A file of exactly `lines` unfolded lines: one event padded with X-PAD lines outside it.
std::string withLines(size_t lines) {
    const std::string event = oneEvent("");
    const auto own = static_cast<size_t>(std::count(event.begin(), event.end(), '\n'));
    return kHead + repeated("X-PAD:\r\n", lines - own) + event.substr(kHead.size());
}

// An unfolded SUMMARY line of `bytes` bytes in all, written folded at 75 bytes as exporters do.
std::string summaryLine(size_t bytes) {
    const std::string line = "SUMMARY:" + std::string(bytes - 8, 'y');
    std::string out;
    for (size_t at = 0; at < line.size(); at += 75) {
        out += (at == 0 ? "" : " ") + line.substr(at, 75) + "\r\n";
    }
    return out;
}

// The address space the test process holds now, in bytes.
size_t addressSpace() {
    long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1) {
            pages = 0;
        }
        std::fclose(statm);
    }
    return static_cast<size_t>(pages) * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}

struct BoundCase {
    const char* name;
    std::function<std::string()> content;
    bool ok;
    const char* counts;
};

// Runs in the child: the import under the limits, then an exit code that says whether it gave
// what the case expects.
[[noreturn]] void importAndExit(const std::string& path, size_t room, const BoundCase& c) {
    const rlimit limit{room, room};
    ::setrlimit(RLIMIT_AS, &limit);
    ::alarm(60);
    TMemoList memos;
    add(memos, 2026, 3, 2, mtSingle, "Mine");
    ICalendarImportCounts counts;
    const bool ok = ImportMemosFromICalendar(memos, path, counts);
    const std::string summary = ICalendarImportSummary(counts);
    const bool kept =
        memos.Count() == 1 + counts.Added + counts.Approximated && memos.IndexOfDate(2026, 3, 2) >= 0;
    std::fprintf(stderr, "import %s, %s\n", ok ? "true" : "false", summary.c_str());
    std::_Exit(ok == c.ok && summary == c.counts && kept ? 0 : 1);
}

} // namespace

// Each import runs in a child process held to 768 MiB more address space and a minute, so a file
// that crashes libical, or makes it take gigabytes or minutes, fails the case instead of the machine.
TEST(ICalendar, FilesBeyondTheBoundsAreRefusedBeforeLibicalSeesThem) {
    const BoundCase cases[] = {
        {"16 components deep", [] { return nested(16); }, true, "1 / 0 / 0"},
        {"17 components deep", [] { return nested(17); }, false, "0 / 0 / 0"},
        {"300,000 deep in an event", [] { return nested(300'000); }, false, "0 / 0 / 0"},
        {"300,000 deep beside the events",
         [] { return kHead + repeated("BEGIN:X\r\n", 300'000) + repeated("END:X\r\n", 300'000) + kTail; },
         false, "0 / 0 / 0"},
        {"an END of another name", [] { return oneEvent("BEGIN:VALARM\r\nEND:VTODO\r\n"); }, false,
         "0 / 0 / 0"},
        {"an alarm left open", [] { return oneEvent("BEGIN:VALARM\r\n"); }, false, "0 / 0 / 0"},
        {"an event in a to-do",
         [] {
             return kHead + "BEGIN:VTODO\r\n" + kEventHead + kSummary + kEventTail + "END:VTODO\r\n" + kTail;
         },
         false, "0 / 0 / 0"},
        {"an alarm with a summary of its own",
         [] { return oneEvent("BEGIN:VALARM\r\nSUMMARY:not the memo\r\nEND:VALARM\r\n"); }, true,
         "1 / 0 / 0"},
        {"4 Mi lines", [] { return withLines(size_t{4} << 20); }, true, "1 / 0 / 0"},
        {"4 Mi lines and one", [] { return withLines((size_t{4} << 20) + 1); }, false, "0 / 0 / 0"},
        {"a summary of 1 MiB", [] { return oneEvent("", summaryLine(size_t{1} << 20)); }, true, "0 / 1 / 0"},
        {"a summary of 1 MiB and one", [] { return oneEvent("", summaryLine((size_t{1} << 20) + 1)); }, false,
         "0 / 0 / 0"},
        {"10^6 rules in one event", [] { return oneEvent(repeated("RRULE:FREQ=WEEKLY\r\n", 1'000'000)); },
         true, "0 / 1 / 0"},
        {"10^6 dates in one event", [] { return oneEvent(repeated("RDATE:20260106\r\n", 1'000'000)); }, true,
         "0 / 1 / 0"},
        {"10^6 exceptions in one event", [] { return oneEvent(repeated("EXDATE:20260112\r\n", 1'000'000)); },
         true, "0 / 1 / 0"},
        {"10^6 summaries in one event", [] { return oneEvent(repeated("SUMMARY:again\r\n", 1'000'000)); },
         true, "1 / 0 / 0"},
        {"10^6 alarms in one event",
         [] { return oneEvent(repeated("BEGIN:VALARM\r\nTRIGGER:-PT5M\r\nEND:VALARM\r\n", 1'000'000)); },
         true, "1 / 0 / 0"},
    };
    TempFolder folder;
    const std::string path = folder.file("bounds.ics");
    for (const BoundCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(path, c.content());
        const size_t room = addressSpace() + (size_t{768} << 20);
        EXPECT_EXIT(importAndExit(path, room, c), ::testing::ExitedWithCode(0), "");
    }
}

// A rule libical rejects leaves an X-LIC-ERROR and no RRULE; it is no plain repetition and counts
// as approximated, like a valid rule that a memo cannot follow. Validity as RFC 5545 gives it
// (names and values in any letter case); 5 January 2026 is a Monday.
TEST(ICalendar, RulesThatAreNotPlainRepetitionsCountAsApproximated) {
    const struct {
        const char* rule;
        int type; // the memo's type when added as it is; -1 approximated as a Single memo
    } cases[] = {
        {"FREQ=WEEKLY", mtWeekly},
        {"FREQ=MONTHLY", mtMonthly},
        {"FREQ=YEARLY", mtYearly},
        {"freq=weekly", mtWeekly},
        {"FREQ=WEEKLY;INTERVAL=1", mtWeekly},
        {"FREQ=DAILY", -1},
        {"FREQ=HOURLY", -1},
        {"FREQ=WEEKLY;INTERVAL=2", -1},
        {"FREQ=WEEKLY;COUNT=3", -1},
        {"FREQ=MONTHLY;UNTIL=20261231", -1},
        {"FREQ=WEEKLY;BYDAY=MO,WE", -1},
        {"FREQ=MONTHLY;BYDAY=-1FR", -1},
        {"FREQ=YEARLY;BYMONTH=1,7", -1},
        {"FREQ=FORTNIGHTLY", -1},
        {"FREQ=WEEKLY;INTERVAL=0", -1},
        {"FREQ=WEEKLY;INTERVAL=-1", -1},
        {"FREQ=WEEKLY;BYDAY=XX", -1},
        {"FREQ=MONTHLY;BYMONTHDAY=40", -1},
        {"FREQ=WEEKLY;COUNT=abc", -1},
        {"FREQ=WEEKLY;COUNT=0", -1},
        {"FREQ=WEEKLY;UNTIL=soon", -1},
        {"FREQ=WEEKLY;UNTIL=20261301", -1},
        {"FREQ=WEEKLY;WKST=XX", -1},
        {"FREQ=WEEKLY;BYSETPOS=500", -1},
        {"FREQ=WEEKLY;FREQ=DAILY", -1},
        {"FREQ=WEEKLY;X-NAME=1", -1},
        {"FREQ=YEARLY;BYYEARDAY=400", -1},
        {"FREQ=YEARLY;BYWEEKNO=60", -1},
        {"FREQ=YEARLY;BYMONTH=13", -1},
        {"FREQ=WEEKLY;BYHOUR=25", -1},
        {"INTERVAL=2", -1},
        {"WEEKLY", -1},
        {"", -1},
    };
    TempFolder folder;
    const std::string path = folder.file("rule.ics");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        WriteBytes(path, oneEvent(std::string("RRULE:") + c.rule + "\r\n"));
        TMemoList memos;
        ICalendarImportCounts counts;
        ASSERT_TRUE(ImportMemosFromICalendar(memos, path, counts));
        EXPECT_EQ(ICalendarImportSummary(counts), c.type >= 0 ? "1 / 0 / 0" : "0 / 1 / 0");
        EXPECT_EQ(describe(memos),
                  std::vector<std::string>{"2026-01-05|" + std::to_string(c.type >= 0 ? c.type : 0) + "|s"});
    }
}
