#include "config/ConfigData.h"
#include "schemes/UnitSchemes.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrivel;

// Wrong versions, a text length of 0x7FFFFFFF in the second memo, a scheme list cut in its third
// record, and files one byte over the size cap: tests run as root, who reads any file whatever its
// mode, so the cap is what makes a file unreadable here.
TEST(ConfigData, FileThatDidNotLoadCompletelyIsKeptOnceBeforeASave) {
    const struct {
        std::string File, Fixture; // no fixture: no file
        bool OverCap, Damaged;
    } cases[] = {
        {"Memos.dat", "MemosTwo.dat", true, true},
        {"Memos.dat", "BrokenMemosVersion101.dat", false, true},
        {"Memos.dat", "BrokenMemosHugeText.dat", false, true},
        {"Memos.dat", "MemosTwo.dat", false, false},
        {"Memos.dat", "", false, false},
        {"Schemes.dat", "SchemesThree.dat", true, true},
        {"Schemes.dat", "BrokenSchemesVersion111.dat", false, true},
        {"Schemes.dat", "BrokenSchemesCutThird.dat", false, true},
        {"Schemes.dat", "SchemesThree.dat", false, false},
        {"Schemes.dat", "", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File + " " + c.Fixture + (c.OverCap ? " over the cap" : ""));
        TempFolder folder("kestrivel-damaged");
        const std::string path = folder.file(c.File), copy = path + ".damaged-20261207-143000";
        if (!c.Fixture.empty()) {
            WriteBytes(path, ReadBytes(FixturePath(c.Fixture)));
        }
        ASSERT_TRUE(!c.OverCap || ::truncate(path.c_str(), (64 << 20) + 1) == 0);
        const std::string original = c.Fixture.empty() ? "" : ReadBytes(path);
        for (const char* stamp : {"20261207-143000", "20261208-090000", ""}) { // three starts
            TConfigData data(folder.path().string());
            data.Timestamp = [stamp] { return std::string(stamp); };
            data.Load();
            data.LoadMemos(); // the configuration dialog reloads both lists
            data.LoadSchemes();
            const auto told = data.TakeDamagedFiles();
            ASSERT_EQ(told.size(), c.Damaged ? 1u : 0u);
            EXPECT_TRUE(!c.Damaged || (told[0].Path == path && told[0].CopyPath == copy));
            if (!*stamp) {
                ASSERT_TRUE(c.File == "Memos.dat" ? data.SaveMemos() : data.ApplySchemes(-1));
            }
        }
        size_t copies = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
            copies += entry.path().string().find(".damaged-") != std::string::npos;
        }
        EXPECT_EQ(copies, c.Damaged ? 1u : 0u);
        EXPECT_TRUE(!c.Damaged || ReadBytes(copy) == original);
        // The copy holds the same memos as the file: only the user may read it, however open that was.
        struct stat st {};
        EXPECT_TRUE(!c.Damaged || (::stat(copy.c_str(), &st) == 0 && (st.st_mode & 0777) == 0600));
    }
}

// ---- Two programs on one file ------------------------------------------------------------------

namespace {

// Date values worked out with Python's datetime: days since 1899-12-30.
constexpr double kJan1 = 46023, kJan2 = 46024, kJan3 = 46025, kJan26 = 46048;

struct Memo {
    double Date;
    uint8_t Type;
    std::string Text;
    bool operator==(const Memo&) const = default;
};

void PrintTo(const Memo& memo, std::ostream* out) {
    *out << memo.Date << "|" << int{memo.Type} << "|" << memo.Text;
}

std::string le(uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return out;
}

// Memos.dat written the way the format is laid down, without the program's writer.
std::string memoFile(const std::vector<Memo>& memos) {
    std::string out = le(13, 4) + "CalendarMemos" + le(100, 2) + le(memos.size(), 2);
    for (const Memo& m : memos) {
        uint64_t bits = 0;
        std::memcpy(&bits, &m.Date, sizeof bits);
        out += le(bits, 8) + le(m.Type, 1) + le(m.Text.size(), 4) + m.Text;
    }
    return out;
}

// How another program replaces a file: a new file renamed over the old one.
void replaceFile(const std::string& path, const std::string& bytes) {
    WriteBytes(path + ".new", bytes);
    ASSERT_EQ(std::rename((path + ".new").c_str(), path.c_str()), 0);
}

std::vector<Memo> memosOf(const TMemoList& list) {
    std::vector<Memo> out;
    for (const TMemo& m : list.Items()) {
        out.push_back({m.Date, m.MemoType, m.Text});
    }
    return out;
}

using Edit = std::function<void(TMemoList&)>;

// A second program on the same folder: loads, edits and saves while the first one runs.
std::function<void(const std::string&)> secondProgram(Edit edit) {
    return [edit](const std::string& folder) {
        TConfigData other(folder);
        other.Load();
        edit(other.Memos);
        ASSERT_TRUE(other.SaveMemos());
    };
}

std::function<void(const std::string&)> rawWriter(std::vector<Memo> memos) {
    return [memos](const std::string& folder) { replaceFile(folder + "/Memos.dat", memoFile(memos)); };
}

Edit add(double date, const char* text) {
    return [=](TMemoList& memos) { ASSERT_TRUE(memos.Add(text, mtSingle, date)); };
}

Edit modify(double date, const char* text) {
    return [=](TMemoList& memos) { memos.Modify(memos.IndexOfDate(date), text, mtWeekly); };
}

Edit remove(double date) {
    return [=](TMemoList& memos) { memos.Delete(memos.IndexOfDate(date)); };
}

struct MemoMergeCase {
    const char* name;
    std::vector<Memo> initial;
    std::function<void(const std::string&)> outside; // none: nobody else
    Edit ours;
    std::vector<Memo> file;
    bool damaged = false;
};

// Each case starts from `initial`, lets someone else change the file, makes our change and saves.
std::vector<MemoMergeCase> memoMergeCases() {
    const std::vector<Memo> ab = {{kJan1, 0, "a"}, {kJan2, 0, "b"}};
    return {
        {"nobody else", ab, nullptr, add(kJan3, "c"), {{kJan1, 0, "a"}, {kJan2, 0, "b"}, {kJan3, 0, "c"}}},
        {"both added",
         {{kJan1, 0, "a"}},
         secondProgram(add(kJan2, "b")),
         add(kJan3, "c"),
         {{kJan1, 0, "a"}, {kJan2, 0, "b"}, {kJan3, 0, "c"}}},
        {"raw writer added after ours",
         {{kJan1, 0, "a"}},
         rawWriter({{kJan1, 0, "a"}, {kJan26, 3, "z;z"}}),
         add(kJan3, "c"),
         {{kJan1, 0, "a"}, {kJan3, 0, "c"}, {kJan26, 3, "z;z"}}},
        {"rewritten in place",
         {{kJan1, 0, "a"}},
         [](const std::string& folder) {
             WriteBytes(folder + "/Memos.dat", memoFile({{kJan1, 0, "A, longer"}}));
         },
         add(kJan3, "c"),
         {{kJan1, 0, "A, longer"}, {kJan3, 0, "c"}}},
        {"they deleted, we changed another",
         ab,
         secondProgram(remove(kJan1)),
         modify(kJan2, "B"),
         {{kJan2, 1, "B"}}},
        {"they changed what we deleted",
         ab,
         secondProgram(modify(kJan1, "A2")),
         remove(kJan1),
         {{kJan1, 1, "A2"}, {kJan2, 0, "b"}}},
        {"they deleted what we changed",
         ab,
         secondProgram(remove(kJan1)),
         modify(kJan1, "x"),
         {{kJan1, 1, "x"}, {kJan2, 0, "b"}}},
        {"both deleted", ab, secondProgram(remove(kJan1)), remove(kJan1), {{kJan2, 0, "b"}}},
        {"they emptied the list", ab, rawWriter({}), add(kJan3, "c"), {{kJan3, 0, "c"}}},
        {"file removed: ours whole",
         ab,
         [](const std::string& folder) { std::filesystem::remove(folder + "/Memos.dat"); },
         add(kJan3, "c"),
         {{kJan1, 0, "a"}, {kJan2, 0, "b"}, {kJan3, 0, "c"}}},
        {"damaged: kept, ours whole",
         ab,
         [](const std::string& folder) {
             const std::string cut = memoFile({{kJan26, 0, "z"}, {kJan3, 0, "yy"}});
             replaceFile(folder + "/Memos.dat", cut.substr(0, cut.size() - 1));
         },
         add(kJan3, "c"),
         {{kJan1, 0, "a"}, {kJan2, 0, "b"}, {kJan3, 0, "c"}},
         true},
    };
}

} // namespace

// The base of the merge is what the file held when it was read, or what this program saved last.
TEST(ConfigData, MemosChangedByAnotherProgramAreMergedBeforeASave) {
    for (const MemoMergeCase& c : memoMergeCases()) {
        for (const bool savedFirst : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (savedFirst ? ", after a save of ours" : ""));
            TempFolder folder("kestrivel-merge");
            const std::string path = folder.file("Memos.dat");
            replaceFile(path, memoFile(c.initial));
            TConfigData data(folder.path().string());
            data.Timestamp = [] { return std::string("20261207-143000"); };
            data.Load();
            ASSERT_TRUE(!savedFirst || data.SaveMemos());
            if (c.outside) {
                c.outside(folder.path().string());
            }
            const std::string outside = std::filesystem::exists(path) ? ReadBytes(path) : "";
            c.ours(data.Memos);
            ASSERT_TRUE(data.SaveMemos());
            EXPECT_EQ(ReadBytes(path), memoFile(c.file));
            EXPECT_EQ(memosOf(data.Memos), c.file);
            const auto told = data.TakeDamagedFiles();
            ASSERT_EQ(told.size(), c.damaged ? 1u : 0u);
            EXPECT_TRUE(!c.damaged || ReadBytes(told[0].CopyPath) == outside);
            // The second program, started now, sees what the first saved.
            TConfigData later(folder.path().string());
            later.Load();
            EXPECT_EQ(memosOf(later.Memos), c.file);
        }
    }
}

// A running calendar takes in what another program saved (a command-line import, a second
// calendar) without losing the changes it has not saved yet, and writes nothing while doing so.
TEST(ConfigData, RefreshTakesInMemosSavedElsewhereAndKeepsUnsavedOnes) {
    const struct {
        const char* name;
        std::function<void(TConfigData&, const std::string&)> outside;
        bool changed;
        std::vector<Memo> memos;
        size_t damaged = 0;
    } cases[] = {
        {"nothing happened",
         [](TConfigData&, const std::string&) {},
         false,
         {{kJan1, 0, "a"}, {kJan2, 0, "b"}, {kJan3, 0, "c"}}},
        {"an import elsewhere",
         [](TConfigData&, const std::string& folder) { secondProgram(add(kJan26, "z"))(folder); },
         true,
         {{kJan1, 0, "a"}, {kJan2, 0, "b"}, {kJan3, 0, "c"}, {kJan26, 0, "z"}}},
        {"a change elsewhere to a memo we left alone",
         [](TConfigData&, const std::string& folder) { secondProgram(modify(kJan1, "A2"))(folder); },
         true,
         {{kJan1, 1, "A2"}, {kJan2, 0, "b"}, {kJan3, 0, "c"}}},
        {"our own save",
         [](TConfigData& data, const std::string&) { ASSERT_TRUE(data.SaveMemos()); },
         false,
         {{kJan1, 0, "a"}, {kJan2, 0, "b"}, {kJan3, 0, "c"}}},
        {"file removed",
         [](TConfigData&, const std::string& folder) { std::filesystem::remove(folder + "/Memos.dat"); },
         false,
         {{kJan1, 0, "a"}, {kJan2, 0, "b"}, {kJan3, 0, "c"}}},
        {"file damaged",
         [](TConfigData&, const std::string& folder) {
             replaceFile(folder + "/Memos.dat", "CalendarMemos?");
         },
         false,
         {{kJan1, 0, "a"}, {kJan2, 0, "b"}, {kJan3, 0, "c"}},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder("kestrivel-refresh");
        const std::string path = folder.file("Memos.dat");
        replaceFile(path, memoFile({{kJan1, 0, "a"}, {kJan2, 0, "b"}}));
        TConfigData data(folder.path().string());
        data.Load();
        ASSERT_TRUE(data.Memos.Add("c", mtSingle, kJan3)); // not saved yet
        c.outside(data, folder.path().string());
        const bool exists = std::filesystem::exists(path);
        const std::string before = exists ? ReadBytes(path) : "";
        EXPECT_EQ(data.RefreshMemos(), c.changed);
        EXPECT_EQ(memosOf(data.Memos), c.memos);
        EXPECT_EQ(std::filesystem::exists(path), exists);
        EXPECT_TRUE(!exists || ReadBytes(path) == before);
        EXPECT_EQ(data.TakeDamagedFiles().size(), c.damaged);
        EXPECT_FALSE(data.RefreshMemos());
        ASSERT_TRUE(data.SaveMemos());
        EXPECT_EQ(ReadBytes(path), memoFile(c.memos));
    }
}

// 65,535 memos is all Memos.dat can count: a merge that would pass it is refused, and both the
// file and the list stay as they were.
TEST(ConfigData, AMergePastTheMemoLimitIsRefused) {
    std::vector<Memo> full;
    for (int i = 0; i < 65'534; ++i) {
        full.push_back({100'000.0 + i, 0, ""});
    }
    TempFolder folder("kestrivel-full");
    const std::string path = folder.file("Memos.dat");
    replaceFile(path, memoFile(full));
    TConfigData data(folder.path().string());
    data.Load();
    secondProgram(add(kJan26, "theirs"))(folder.path().string());
    const std::string theirs = ReadBytes(path);
    ASSERT_TRUE(data.Memos.Add("ours", mtSingle, kJan1));
    EXPECT_FALSE(data.SaveMemos());
    EXPECT_FALSE(data.RefreshMemos());
    EXPECT_TRUE(ReadBytes(path) == theirs);
    EXPECT_EQ(data.Memos.Count(), 65'535);
    EXPECT_GE(data.Memos.IndexOfDate(kJan1), 0);
    // Once there is room again, the save goes through with both.
    data.Memos.Delete(data.Memos.IndexOfDate(100'000.0));
    ASSERT_TRUE(data.SaveMemos());
    TConfigData later(folder.path().string());
    later.Load();
    EXPECT_EQ(later.Memos.Count(), 65'535);
    EXPECT_GE(later.Memos.IndexOfDate(kJan1), 0);
    EXPECT_GE(later.Memos.IndexOfDate(kJan26), 0);
}

namespace {

// A scheme record written the way the format is laid down: the name, zone 0 without a font, zones
// 1 to 7 in "Arial" 10 except zone 1 at `size`; every other field zero.
std::string schemeRecord(const std::string& name, int size) {
    const auto text = [](const std::string& s) { return le(s.size(), 4) + s; };
    std::string out = text(name) + text("") + le(0, 2) + std::string(26, '\0');
    for (int zone = 1; zone < kZoneCount; ++zone) {
        out += text("Arial") + le(zone == 1 ? size : 10, 2) + std::string(26, '\0');
    }
    return out;
}

// "name:size" records, the active record first.
std::string schemeFile(const std::vector<std::pair<std::string, int>>& schemes) {
    std::string out = le(15, 4) + "CalendarSchemes" + le(110, 2) + le(schemes.size(), 2);
    for (const auto& [name, size] : schemes) {
        out += schemeRecord(name, size);
    }
    return out;
}

TScheme sized(const std::string& name, int size) {
    TScheme scheme = DefaultScheme();
    scheme.Name = name;
    scheme.Settings[zoneTitle].FontSize = static_cast<uint16_t>(size);
    return scheme;
}

using SchemeEdit = std::function<void(TConfigData&)>;

SchemeEdit addScheme(const std::string& name, int size) {
    return [=](TConfigData& data) {
        ASSERT_TRUE(AddNamedScheme(data.Schemes, data.CurrentScheme, sized(name, size)));
    };
}

SchemeEdit deleteScheme(const std::string& name) {
    return [=](TConfigData& data) {
        for (uint16_t i = 1; i < data.Schemes.Count(); ++i) {
            if (data.Schemes.Get(i)->Name == name) {
                data.Schemes.Delete(i);
                return;
            }
        }
    };
}

SchemeEdit replaceScheme(const std::string& name, int size) {
    return [=](TConfigData& data) { data.Schemes.Replace(sized(name, size)); };
}

} // namespace

// Our apply keeps the look it applies (the active record, zone 1 at 33 here), takes the other
// program's named schemes, and names the active record after the selected scheme's new place.
TEST(ConfigData, SchemesChangedByAnotherProgramAreMergedBeforeAnApply) {
    const struct {
        const char* name;
        SchemeEdit theirs, ours;
        int selected; // in our list before the apply
        std::vector<std::pair<std::string, int>> file;
    } cases[] = {
        {"nobody else", nullptr, addScheme("Green", 12), 1, {{"1", 33}, {"Green", 12}, {"Red", 11}}},
        {"both added",
         addScheme("Blue", 14),
         addScheme("Green", 12),
         1,
         {{"2", 33}, {"Blue", 14}, {"Green", 12}, {"Red", 11}}},
        {"they deleted the selected one",
         deleteScheme("Red"),
         addScheme("Green", 12),
         1,
         {{"-1", 33}, {"Green", 12}}},
        {"they changed the selected one", replaceScheme("Red", 19), nullptr, 0, {{"0", 33}, {"Red", 19}}},
        {"they changed what we deleted",
         replaceScheme("Red", 19),
         deleteScheme("Red"),
         -1,
         {{"-1", 33}, {"Red", 19}}},
        {"both changed it: ours",
         replaceScheme("Red", 19),
         replaceScheme("Red", 21),
         0,
         {{"0", 33}, {"Red", 21}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder("kestrivel-schemes");
        const std::string path = folder.file("Schemes.dat");
        replaceFile(path, schemeFile({{"-1", 10}, {"Red", 11}}));
        TConfigData data(folder.path().string());
        data.Load();
        if (c.theirs) {
            TConfigData other(folder.path().string());
            other.Load();
            c.theirs(other);
            ASSERT_TRUE(other.ApplySchemes(-1));
        }
        if (c.ours) {
            c.ours(data);
        }
        data.CurrentScheme.Settings[zoneTitle].FontSize = 33;
        ASSERT_TRUE(data.ApplySchemes(c.selected));
        EXPECT_EQ(ReadBytes(path), schemeFile(c.file));
        EXPECT_EQ(data.CurrentScheme.Name, c.file[0].first);
        ASSERT_TRUE(data.ApplySchemes(std::stoi(data.CurrentScheme.Name)));
        EXPECT_EQ(ReadBytes(path), schemeFile(c.file)) << "a second apply changes nothing";
    }
}

// A first start writes the shipped looks and the built-in one into a new Schemes.dat, the working
// scheme being the shipped one asked for; an existing Schemes.dat is never touched.
TEST(ConfigData, AFirstStartWritesTheShippedSchemes) {
    namespace fs = std::filesystem;
    for (const bool existing : {false, true}) {
        SCOPED_TRACE(existing ? "Schemes.dat exists" : "first start");
        TempFolder folder("kestrivel-seed");
        const std::string program = folder.path().string();
        fs::copy(fs::path(KESTRIVEL_SOURCE_DIR) / "schemes", folder.path() / "schemes");
        if (existing) {
            fs::copy_file(FixturePath("SchemesThree.dat"), folder.path() / "Schemes.dat");
        }
        const std::string before = existing ? ReadBytes(program + "/Schemes.dat") : std::string();
        TConfigData config(program, {program});
        config.Load();
        EXPECT_EQ(config.SeedShippedSchemes("Paper"), !existing);
        if (existing) {
            EXPECT_EQ(ReadBytes(program + "/Schemes.dat"), before);
            continue;
        }
        TConfigData reread(program, {program});
        reread.Load();
        std::vector<std::string> names;
        for (uint16_t i = 1; i < reread.Schemes.Count(); ++i) {
            names.push_back(reread.Schemes.Get(i)->Name);
        }
        EXPECT_EQ(names,
                  (std::vector<std::string>{"Default", "Glass", "High contrast", "Midnight", "Paper"}));
        TScheme paper;
        ASSERT_TRUE(ReadSchemeFile(program + "/schemes/Paper.dat", paper));
        EXPECT_EQ(reread.CurrentScheme.Settings, paper.Settings);
        EXPECT_EQ(reread.CurrentScheme.Name, "4"); // the editor's index of "Paper"
        EXPECT_EQ(reread.Schemes.Get(1)->Settings, DefaultScheme().Settings);
        EXPECT_FALSE(config.SeedShippedSchemes("Paper")); // once
    }
}

// ---- One writer at a time ----------------------------------------------------------------------

// Programs saving at the same moment (the calendar, its sync thread, a command-line import) each
// read, merge and replace the files under the folder lock, so none renames its file over a save it
// has not merged: every memo and every writer's last setting is there in the end.
TEST(ConfigData, WritersAtTheSameTimeLoseNothing) {
    constexpr int kWriters = 2, kSaves = 30;
    TempFolder folder("kestrivel-race");
    const std::string program = folder.path().string();
    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        children.push_back(::fork());
        if (children.back() == 0) {
            TConfigData data(program);
            data.Load();
            bool ok = true;
            for (int i = 0; i < kSaves; ++i) {
                std::string error;
                data.Memos.Add("x", mtSingle, 50'000.0 + writer * kSaves + i);
                data.Position.Left = data.Options.StartOfWeek = 1 + i % 7;
                ok = data.SaveMemos() && (writer == 0 ? data.SavePosition(error) : data.SaveOptions(error)) &&
                     ok;
            }
            ::_exit(ok ? 0 : 1);
        }
    }
    for (const pid_t pid : children) {
        int status = -1;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    TConfigData after(program);
    after.Load();
    EXPECT_EQ(after.Memos.Count(), kWriters * kSaves);
    EXPECT_EQ(after.Position.Left, 1 + (kSaves - 1) % 7);
    EXPECT_EQ(after.Options.StartOfWeek, 1 + (kSaves - 1) % 7);
}

// A save that cannot have the lock fails as a failed write and writes nothing; loading still works.
TEST(ConfigData, NoSaveWithoutTheLock) {
    TempFolder folder("kestrivel-locked");
    replaceFile(folder.file("Memos.dat"), memoFile({{kJan1, 0, "a"}}));
    FolderLock other(folder.path().string());
    ASSERT_EQ(other.acquire(), FolderLock::Result::Taken);
    TConfigData data(folder.path().string());
    data.LockWait = std::chrono::milliseconds(20);
    data.Load();
    ASSERT_TRUE(data.Memos.Add("b", mtSingle, kJan2));
    std::string error;
    EXPECT_FALSE(data.SaveMemos() || data.ApplySchemes(-1) || data.SaveOptions(error));
    EXPECT_EQ(error, "Unable to write to " + data.SettingsPath());
    EXPECT_EQ(ReadBytes(folder.file("Memos.dat")), memoFile({{kJan1, 0, "a"}}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2); // and the lock
}

// Whichever writer makes Settings.ini, the next start has the reminder and the language in use.
TEST(ConfigData, EveryWriterOfSettingsKeepsTheReminderAndTheLanguage) {
    const struct {
        const char* Name;
        bool (TConfigData::*Save)(std::string&) const;
    } cases[] = {
        {"position", &TConfigData::SavePosition},
        {"sync", &TConfigData::SaveSync},
        {"apply", &TConfigData::SaveApplied},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder folder("kestrivel-startkeys");
        TConfigData data(folder.path().string());
        data.Options.Remind = true;
        data.Options.LanguageFile = "KestriFr.lang";
        data.Sync.Server = "http://127.0.0.1:9/cal/";
        std::string error;
        ASSERT_TRUE((data.*c.Save)(error));
        TConfigData next(folder.path().string());
        next.LoadOptions();
        EXPECT_TRUE(next.Options.Remind);
        EXPECT_EQ(next.Options.LanguageFile, "KestriFr.lang");
    }
}
