#include "sync/SyncState.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>

using namespace kestrivel;

namespace {

TSyncState sample() {
    TSyncState s{
        "https://dav.example.org/", "https://dav.example.org/u/cal/", "http://radicale.org/ns/sync/7f", {}};
    // 2024-01-05 (day 45296), a weekly memo whose text holds a tab and a backslash.
    s.Entries.push_back({"https://dav.example.org/u/cal/a.ics",
                         "uid-a",
                         "\"e1\"",
                         TEntryMode::Shown,
                         false,
                         {45296, "Gym\t6 pm;bring C:\\towel", mtWeekly}});
    s.Entries.push_back({"https://dav.example.org/u/cal/b.ics",
                         "b b",
                         "W/\"7\"",
                         TEntryMode::Hidden,
                         true,
                         {-0.0, "", mtSingle}});
    s.Entries.push_back({"https://dav.example.org/u/cal/c.ics",
                         "c",
                         "",
                         TEntryMode::Dropped,
                         false,
                         {SyncNoDate(), "x\ny", 3}});
    return s;
}

// The bits of each date written out by hand (IEEE 754 binary64, big-endian hex).
const std::string kSampleText =
    "KestrivelSync\t1\n"
    "Server\thttps://dav.example.org/\n"
    "Collection\thttps://dav.example.org/u/cal/\n"
    "Token\thttp://radicale.org/ns/sync/7f\n"
    "Event\tS\t0\t40e61e0000000000\t1\thttps://dav.example.org/u/cal/a.ics\tuid-a\t\"e1\"\t"
    "Gym\\t6 pm;bring C:\\\\towel\n"
    "Event\tH\t1\t8000000000000000\t0\thttps://dav.example.org/u/cal/b.ics\tb b\tW/\"7\"\t\n"
    "Event\tD\t0\t7ff8000000000000\t3\thttps://dav.example.org/u/cal/c.ics\tc\t\tx\\ny\n";

TEST(SyncState, WritesEveryFieldByteForByte) {
    EXPECT_EQ(FormatSyncState(sample()), kSampleText);
}

TEST(SyncState, ReadsBackWhatItWrote) {
    TempFolder folder;
    const std::string path = SyncStatePath(folder.path().string());
    EXPECT_EQ(path, folder.file("Sync.dat"));
    ASSERT_TRUE(SaveSyncState(path, sample()));
    EXPECT_EQ(ReadBytes(path), kSampleText);
    TSyncState read;
    ASSERT_TRUE(LoadSyncState(path, read));
    EXPECT_EQ(FormatSyncState(read), kSampleText);
    EXPECT_TRUE(std::signbit(read.Entries[1].Base.Date));
    EXPECT_EQ(read.Entries[0].Base.Text, "Gym\t6 pm;bring C:\\towel");
    EXPECT_EQ(read.Entries[2].Mode, TEntryMode::Dropped);
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

// An event drawn beside the memos, or left beside a memo it may be an older copy of, keeps its mode.
TEST(SyncState, AnEventDrawnBesideTheMemosReadsBack) {
    for (const TEntryMode mode : {TEntryMode::Event, TEntryMode::Unpaired}) {
        const std::string line = std::string("Event\t") + static_cast<char>(mode) + "\t1";
        TSyncState read;
        ASSERT_TRUE(ParseSyncState(replaced(kSampleText, "Event\tH\t1", line), read));
        EXPECT_EQ(read.Entries[1].Mode, mode);
    }
}

struct Damage {
    const char* Name;
    std::string Text;
};

// Anything else starts the sync over, with nothing kept from the file.
TEST(SyncState, RefusesDamagedFiles) {
    const Damage cases[] = {
        {"empty", ""},
        {"cut short", kSampleText.substr(0, kSampleText.size() - 1)},
        {"newer version", replaced(kSampleText, "Sync\t1", "Sync\t2")},
        {"other header", replaced(kSampleText, "KestrivelSync", "CalendarMemos")},
        {"no token line", replaced(kSampleText, "Token\thttp://radicale.org/ns/sync/7f\n", "")},
        {"unknown mode", replaced(kSampleText, "Event\tS", "Event\tX")},
        {"flag not 0 or 1", replaced(kSampleText, "S\t0", "S\t2")},
        {"short date key", replaced(kSampleText, "40e61e0000000000", "40e61e000000000")},
        {"date key not hex", replaced(kSampleText, "40e61e0000000000", "40e61e000000000g")},
        {"type out of range", replaced(kSampleText, "\t1\thttps", "\t256\thttps")},
        {"signed type", replaced(kSampleText, "\t1\thttps", "\t+1\thttps")},
        {"empty href", replaced(kSampleText, "https://dav.example.org/u/cal/a.ics", "")},
        {"field missing", replaced(kSampleText, "\tuid-a", "")},
        {"field too many", replaced(kSampleText, "\tuid-a", "\tuid-a\tmore")},
        {"unknown escape", replaced(kSampleText, "\\t6 pm", "\\q6 pm")},
        {"escape at the end", replaced(kSampleText, "x\\ny\n", "x\\\n")},
        {"unknown line", kSampleText + "Note\tx\n"},
    };
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.Name);
        TSyncState read = sample();
        EXPECT_FALSE(ParseSyncState(d.Text, read));
        EXPECT_TRUE(read.Server.empty() && read.Token.empty() && read.Entries.empty());
    }
}

TEST(SyncState, MissingOrUnreadableFileStartsOver) {
    TempFolder folder;
    TSyncState read = sample();
    EXPECT_FALSE(LoadSyncState(folder.file("Sync.dat"), read));
    EXPECT_TRUE(read.Entries.empty());
    // A folder of that name is never read.
    EXPECT_FALSE(LoadSyncState(folder.path().string(), read));
    EXPECT_FALSE(SaveSyncState(folder.file("missing/Sync.dat"), sample()));
}

// A damaged or missing state file falls back to the copy the last save replaced: the state an
// interrupted sync would have left, never a start over that pairs events by guesswork.
TEST(SyncState, ADamagedFileFallsBackToThePreviousCopy) {
    TSyncState older = sample();
    older.Token = "older";
    const struct {
        const char* Name;
        std::function<void(const std::string&)> Harm;
    } cases[] = {
        {"cut short", [](const std::string& path) { WriteBytes(path, ReadBytes(path).substr(0, 40)); }},
        {"gone", [](const std::string& path) { std::filesystem::remove(path); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder folder;
        const std::string path = folder.file("Sync.dat");
        ASSERT_TRUE(SaveSyncState(path, older));
        ASSERT_TRUE(SaveSyncState(path, sample()));
        TSyncState read;
        ASSERT_TRUE(LoadSyncState(path, read));
        EXPECT_EQ(read.Token, sample().Token);
        c.Harm(path);
        ASSERT_TRUE(LoadSyncState(path, read));
        EXPECT_EQ(FormatSyncState(read), FormatSyncState(older));
    }
}

} // namespace
