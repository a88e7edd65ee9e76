#include "config/Autostart.h"

#include "common/BinaryStream.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <string>

using namespace kestrivel;

namespace fs = std::filesystem;

namespace {

class AutostartTest : public ::testing::Test {
protected:
    TempFolder m_temp{"kestrivel-autostart"};

    void SetUp() override { m_folder = m_temp.path(); }
    std::string entry() const { return (m_folder / "autostart" / "org.example.kestrivel.desktop").string(); }
    std::string oldEntry() const { return (m_folder / "autostart" / "Kestrivel.desktop").string(); }
    std::string readEntry() const {
        std::string data;
        EXPECT_TRUE(ReadWholeFile(entry(), data));
        return data;
    }

    fs::path m_folder;
};

TEST_F(AutostartTest, OnWritesADesktopEntryCreatingTheFolder) {
    TXdgAutostart autostart(m_folder.string());
    EXPECT_EQ(autostart.entryPath(), entry());
    std::string error;
    ASSERT_TRUE(autostart.setAutostart("Kestrivel", "/opt/kestrivel/kestrivel", true, error));
    EXPECT_EQ(error, "");
    EXPECT_EQ(readEntry(), "[Desktop Entry]\n"
                           "Type=Application\n"
                           "Name=Kestrivel\n"
                           "Exec=/opt/kestrivel/kestrivel\n"
                           "Terminal=false\n"
                           "X-GNOME-Autostart-enabled=true\n");
}

TEST_F(AutostartTest, OnTwiceReplacesTheEntry) {
    TXdgAutostart autostart(m_folder.string());
    std::string error;
    ASSERT_TRUE(autostart.setAutostart("Kestrivel", "/a/old", true, error));
    ASSERT_TRUE(autostart.setAutostart("Kestrivel", "/b/new", true, error));
    EXPECT_NE(readEntry().find("Exec=/b/new\n"), std::string::npos);
    EXPECT_EQ(readEntry().find("/a/old"), std::string::npos);
}

TEST_F(AutostartTest, OffRemovesAndAbsentIsNoError) {
    TXdgAutostart autostart(m_folder.string());
    std::string error;
    ASSERT_TRUE(autostart.setAutostart("Kestrivel", "/x", true, error));
    ASSERT_TRUE(fs::exists(entry()));
    EXPECT_TRUE(autostart.setAutostart("Kestrivel", "/x", false, error));
    EXPECT_FALSE(fs::exists(entry()));
    EXPECT_TRUE(autostart.setAutostart("Kestrivel", "/x", false, error));
    EXPECT_EQ(error, "");
}

TEST_F(AutostartTest, FailedDeletionIsIgnored) {
    // A non-empty folder in the entry's place cannot be removed as a file.
    fs::create_directories(fs::path(entry()) / "inside");
    TXdgAutostart autostart(m_folder.string());
    std::string error;
    EXPECT_TRUE(autostart.setAutostart("Kestrivel", "/x", false, error));
    EXPECT_EQ(error, "");
}

TEST_F(AutostartTest, FailedWriteGivesTheMessage) {
    // The autostart folder's place is taken by a regular file.
    { std::ofstream(m_folder / "autostart") << "not a folder"; }
    TXdgAutostart autostart(m_folder.string());
    std::string error;
    EXPECT_FALSE(autostart.setAutostart("Kestrivel", "/x", true, error));
    EXPECT_EQ(error, "Failed to set data for 'Kestrivel'");

    // The configuration folder itself lies under a regular file.
    TXdgAutostart blocked((m_folder / "autostart" / "deeper").string());
    error.clear();
    EXPECT_FALSE(blocked.setAutostart("Kestrivel", "/x", true, error));
    EXPECT_EQ(error, "Failed to set data for 'Kestrivel'");
}

TEST_F(AutostartTest, NoConfigFolderFailsOnAndIgnoresOff) {
    TXdgAutostart autostart{std::string()};
    std::string error;
    EXPECT_FALSE(autostart.setAutostart("Kestrivel", "/x", true, error));
    EXPECT_EQ(error, "Failed to set data for 'Kestrivel'");
    error.clear();
    EXPECT_TRUE(autostart.setAutostart("Kestrivel", "/x", false, error));
}

// An entry of an earlier version is moved over as the user left it, unless a current one stands;
// Exec names the command where the command path finds this very program, else the program's path.
TEST_F(AutostartTest, OldEntriesMoveOverAndExecNamesTheCommand) {
    TXdgAutostart autostart(m_folder.string(), (m_folder / "bin").string());
    fs::create_directories(m_folder / "bin");
    fs::create_directories(m_folder / "autostart");
    { std::ofstream(oldEntry()) << "X-GNOME-Autostart-enabled=false\n"; }
    EXPECT_TRUE(autostart.moveOldEntry("Kestrivel"));
    { std::ofstream(oldEntry()) << "Exec=/elsewhere\n"; }
    EXPECT_TRUE(autostart.moveOldEntry("Kestrivel"));
    EXPECT_FALSE(autostart.moveOldEntry("Kestrivel"));
    EXPECT_EQ(readEntry(), "X-GNOME-Autostart-enabled=false\n");
    { std::ofstream(m_folder / "bin" / "kestrivel") << "program"; }
    { std::ofstream(m_folder / "kestrivel") << "another program"; }
    const std::string program = (m_folder / "bin" / "kestrivel").string();
    EXPECT_EQ(AutostartCommand(program, "kestrivel", "/nowhere:bin:" + m_folder.string() + "/bin"),
              "kestrivel");
    EXPECT_EQ(AutostartCommand(program, "kestrivel", m_folder.string() + ":" + m_folder.string() + "/bin"),
              program);
    EXPECT_EQ(AutostartCommand(program, "kestrivel", ""), program);
    std::string error;
    ASSERT_TRUE(autostart.setAutostart("Kestrivel", program, true, error));
    EXPECT_NE(readEntry().find("\nExec=kestrivel\n"), std::string::npos);
}

TEST(DesktopExecArgument, PlainPathStaysBare) {
    EXPECT_EQ(DesktopExecArgument("/usr/bin/kestrivel"), "/usr/bin/kestrivel");
    EXPECT_EQ(DesktopExecArgument("/opt/k-1.2_x/bin/kestrivel"), "/opt/k-1.2_x/bin/kestrivel");
}

TEST(DesktopExecArgument, BlanksAndReservedCharactersAreQuoted) {
    EXPECT_EQ(DesktopExecArgument("/home/me/My Programs/kestrivel"), "\"/home/me/My Programs/kestrivel\"");
    EXPECT_EQ(DesktopExecArgument("/a/it's"), "\"/a/it's\"");
    EXPECT_EQ(DesktopExecArgument("/a/b&c;d"), "\"/a/b&c;d\"");
    EXPECT_EQ(DesktopExecArgument("/a/(x)"), "\"/a/(x)\"");
    EXPECT_EQ(DesktopExecArgument("~/k"), "\"~/k\"");
}

TEST(DesktopExecArgument, EscapesInsideQuotesThenStringEscapes) {
    // Inside quotes " ` $ and \ take a backslash; then the key's string type doubles every
    // backslash again.
    EXPECT_EQ(DesktopExecArgument("/a/\"q\""), "\"/a/\\\\\"q\\\\\"\"");
    EXPECT_EQ(DesktopExecArgument("/a/$HOME"), "\"/a/\\\\$HOME\"");
    EXPECT_EQ(DesktopExecArgument("/a/`x`"), "\"/a/\\\\`x\\\\`\"");
    EXPECT_EQ(DesktopExecArgument("/a\\b"), "\"/a\\\\\\\\b\"");
    EXPECT_EQ(DesktopExecArgument("/a/tab\there"), "\"/a/tab\\there\"");
    EXPECT_EQ(DesktopExecArgument("/a/new\nline"), "\"/a/new\\nline\"");
}

TEST(DesktopExecArgument, PercentIsDoubled) {
    EXPECT_EQ(DesktopExecArgument("/a/100%"), "/a/100%%");
    EXPECT_EQ(DesktopExecArgument("/a b/%f"), "\"/a b/%%f\"");
}

struct UserConfigCase {
    const char* name;
    XdgEnvironment environment;
    const char* folder;
};

const UserConfigCase kUserConfigCases[] = {
    {"both set", {"/cfg/here", "/home/someone", ""}, "/cfg/here"},
    {"relative XDG_CONFIG_HOME", {"relative/path", "/home/someone", ""}, "/home/someone/.config"},
    {"no XDG_CONFIG_HOME", {"", "/home/someone", ""}, "/home/someone/.config"},
    {"neither", {"", "", ""}, ""},
};

class UserConfigFolderTest : public testing::TestWithParam<UserConfigCase> {};

TEST_P(UserConfigFolderTest, FollowsTheVariables) {
    SCOPED_TRACE(GetParam().name);
    EXPECT_EQ(UserConfigFolder(GetParam().environment), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(Environments, UserConfigFolderTest, testing::ValuesIn(kUserConfigCases));

TEST(XdgAutostart, EntryLiesInTheConfigFolderTheVariablesName) {
    EXPECT_EQ(TXdgAutostart(XdgEnvironment{"/cfg/here", "/home/someone", ""}).entryPath(),
              "/cfg/here/autostart/org.example.kestrivel.desktop");
}

TEST(FailedToSetDataMessage, NamesTheValue) {
    EXPECT_EQ(FailedToSetDataMessage("Kestrivel"), "Failed to set data for 'Kestrivel'");
}

} // namespace
