#include "config/ConfigData.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <filesystem>

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
    }
}
