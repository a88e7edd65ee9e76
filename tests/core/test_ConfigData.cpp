#include "config/ConfigData.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

using namespace kestrivel;

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Copies(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().find(".damaged-") != std::string::npos) {
            names.push_back(entry.path().string());
        }
    }
    return names;
}

struct DamageCase {
    const char* File;    // "Memos.dat" or "Schemes.dat"
    const char* Fixture; // "" for no file; "sparse" for a file one byte over the cap
    bool Damaged;
};

// Fixtures: a wrong version, a text length of 0x7FFFFFFF in the second memo, a scheme list cut in
// its third record. A file over the cap stands for one that cannot be read: tests run as root,
// who reads any file whatever its mode.
const DamageCase kCases[] = {
    {"Memos.dat", "sparse", true},
    {"Memos.dat", "BrokenMemosVersion101.dat", true},
    {"Memos.dat", "BrokenMemosHugeText.dat", true},
    {"Memos.dat", "MemosTwo.dat", false},
    {"Memos.dat", "", false},
    {"Schemes.dat", "sparse", true},
    {"Schemes.dat", "BrokenSchemesVersion111.dat", true},
    {"Schemes.dat", "BrokenSchemesCutThird.dat", true},
    {"Schemes.dat", "SchemesThree.dat", false},
    {"Schemes.dat", "", false},
};

} // namespace

TEST(ConfigData, FileThatDidNotLoadCompletelyIsKeptOnceBeforeASave) {
    for (const DamageCase& c : kCases) {
        SCOPED_TRACE(std::string(c.File) + " " + c.Fixture);
        TempFolder folder("kestrivel-damaged");
        const std::string path = folder.file(c.File);
        if (std::string(c.Fixture) == "sparse") {
            WriteBytes(path, ReadBytes(FixturePath(c.File == std::string("Memos.dat") ? "MemosTwo.dat"
                                                                                      : "SchemesThree.dat")));
            ASSERT_EQ(::truncate(path.c_str(), (64 << 20) + 1), 0);
        } else if (*c.Fixture) {
            WriteBytes(path, ReadBytes(FixturePath(c.Fixture)));
        }
        const std::string original = *c.Fixture ? ReadBytes(path) : "";
        const std::string copy = path + ".damaged-20261207-143000";

        for (const char* stamp : {"20261207-143000", "20261208-090000"}) { // two starts
            TConfigData data(folder.path().string());
            data.Timestamp = [stamp] { return std::string(stamp); };
            data.Load();
            data.LoadMemos(); // the configuration dialog reloads both lists
            data.LoadSchemes();
            const std::vector<TDamagedFile> told = data.TakeDamagedFiles();
            ASSERT_EQ(told.size(), c.Damaged ? 1u : 0u);
            if (c.Damaged) {
                EXPECT_EQ(told[0].Path, path);
                EXPECT_EQ(told[0].CopyPath, copy);
            }
        }
        TConfigData data(folder.path().string());
        data.Load();
        ASSERT_TRUE(c.File == std::string("Memos.dat") ? data.SaveMemos() : data.ApplySchemes(-1));
        EXPECT_EQ(Copies(folder.path()),
                  c.Damaged ? std::vector<std::string>{copy} : std::vector<std::string>{});
        if (c.Damaged) {
            EXPECT_TRUE(ReadBytes(copy) == original);
        }
    }
}
