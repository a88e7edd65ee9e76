#include "config/ProgramPaths.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kestrivel {
namespace {

struct PathsCase {
    const char* Name;
    ProgramPlace Place;
    std::string ProgramFolder;
    std::vector<std::string> SearchFolders;
};

// Expected folders written out by hand from the layout of a build tree, an installed /usr tree and
// a package unpacked into a scratch root.
const PathsCase kPathsCases[] = {
    {"build tree: writable, no data folder beside it",
     {"/src/build/bin", true, false, "/home/u/.cfg", "/home/u", "/usr/local/share", "../share"},
     "/src/build/bin",
     {"/src/build/bin", "/src/build/share/kestrivel", "/usr/local/share/kestrivel"}},
    {"installed and read-only: the XDG configuration folder",
     {"/usr/bin", false, true, "/home/u/.cfg", "/home/u", "/usr/share", "../share"},
     "/home/u/.cfg/Kestrivel",
     {"/home/u/.cfg/Kestrivel", "/usr/bin", "/usr/share/kestrivel"}},
    {"installed but writable (root): still the configuration folder",
     {"/usr/bin/", true, true, "", "/root", "/usr/share/", "../share"},
     "/root/.config/Kestrivel",
     {"/root/.config/Kestrivel", "/usr/bin", "/usr/share/kestrivel"}},
    {"unpacked into a scratch root: its own share folder before the configured one",
     {"/tmp/r/usr/bin", true, true, "/tmp/h/cfg", "/tmp/h", "/usr/share", "../share"},
     "/tmp/h/cfg/Kestrivel",
     {"/tmp/h/cfg/Kestrivel", "/tmp/r/usr/bin", "/tmp/r/usr/share/kestrivel", "/usr/share/kestrivel"}},
    {"relative XDG_CONFIG_HOME is ignored for HOME",
     {"/opt/k", false, false, "cfg", "/home/u", "", ""},
     "/home/u/.config/Kestrivel",
     {"/home/u/.config/Kestrivel", "/opt/k"}},
    {"no usable configuration folder: the executable's folder",
     {"/opt/k", false, false, "", "", "/usr/share", "/usr/share"},
     "/opt/k",
     {"/opt/k", "/usr/share/kestrivel"}},
};

class ProgramPathsTable : public ::testing::TestWithParam<PathsCase> {};

TEST_P(ProgramPathsTable, ProgramFolderAndSearchOrder) {
    const PathsCase& c = GetParam();
    SCOPED_TRACE(c.Name);
    const ProgramPaths paths = computeProgramPaths(c.Place);
    EXPECT_EQ(paths.ProgramFolder, c.ProgramFolder);
    EXPECT_EQ(paths.SearchFolders, c.SearchFolders);
}

INSTANTIATE_TEST_SUITE_P(Places, ProgramPathsTable, ::testing::ValuesIn(kPathsCases));

TEST(ProgramPaths, EarlierFolderHidesSameNameAndFoldersAreSkippedWhenMissing) {
    TempFolder temp;
    const std::filesystem::path first = temp.path() / "first";
    const std::filesystem::path second = temp.path() / "second";
    std::filesystem::create_directories(first / "Sub.lang");
    std::filesystem::create_directories(second);
    WriteBytes((first / "KestriDe.lang").string(), "a");
    WriteBytes((second / "KestriDe.lang").string(), "b");
    WriteBytes((second / "KestriEn.LANG").string(), "c");
    WriteBytes((second / "notes.txt").string(), "d");
    const std::vector<std::string> folders{(temp.path() / "missing").string(), first.string(),
                                           second.string()};

    const std::vector<FoundFile> found = findFiles(folders, ".lang");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].Name, "KestriDe.lang");
    EXPECT_EQ(found[0].Path, (first / "KestriDe.lang").string());
    EXPECT_EQ(found[1].Path, (second / "KestriEn.LANG").string());

    EXPECT_EQ(findFile(folders, "KestriDe.lang"), (first / "KestriDe.lang").string());
    EXPECT_EQ(findFile(folders, "KestriEn.LANG"), (second / "KestriEn.LANG").string());
    EXPECT_EQ(findFile(folders, "Sub.lang"), "");
    EXPECT_EQ(findFile(folders, "../second/notes.txt"), "");
}

} // namespace
} // namespace kestrivel
