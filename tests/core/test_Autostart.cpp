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

// The entry of an earlier version is moved over as the user left it; a current one stands.
TEST_F(AutostartTest, AnOldEntryIsMovedOver) {
    const TXdgAutostart autostart(m_folder.string());
    EXPECT_FALSE(autostart.moveOldEntry("Kestrivel"));
    fs::create_directories(m_folder / "autostart");
    const std::string old = "[Desktop Entry]\nExec=/usr/bin/kestrivel\nX-GNOME-Autostart-enabled=false\n";
    { std::ofstream(oldEntry()) << old; }
    EXPECT_TRUE(autostart.moveOldEntry("Kestrivel"));
    EXPECT_FALSE(fs::exists(oldEntry()));
    EXPECT_EQ(readEntry(), old);
    { std::ofstream(oldEntry()) << "[Desktop Entry]\nExec=/elsewhere\n"; }
    EXPECT_TRUE(autostart.moveOldEntry("Kestrivel"));
    EXPECT_FALSE(fs::exists(oldEntry()));
    EXPECT_EQ(readEntry(), old);
}

TEST_F(AutostartTest, SwitchingRemovesAnOldEntry) {
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on);
        fs::create_directories(m_folder / "autostart");
        { std::ofstream(oldEntry()) << "[Desktop Entry]\n"; }
        TXdgAutostart autostart(m_folder.string());
        std::string error;
        EXPECT_TRUE(autostart.setAutostart("Kestrivel", "/x", on, error));
        EXPECT_FALSE(fs::exists(oldEntry()));
        EXPECT_EQ(fs::exists(entry()), on);
    }
}

// Exec names the command where the command path finds this very program, else the program's path.
TEST_F(AutostartTest, ExecNamesTheCommandWhereThePathFindsTheProgram) {
    const fs::path bin = m_folder / "bin";
    const fs::path other = m_folder / "other";
    fs::create_directories(bin);
    fs::create_directories(other);
    { std::ofstream(bin / "kestrivel") << "program"; }
    { std::ofstream(other / "kestrivel") << "another program"; }
    fs::create_symlink(bin / "kestrivel", m_folder / "link");
    const std::string program = (bin / "kestrivel").string();
    const struct {
        const char* name;
        std::string programPath;
        std::string path;
        std::string exec;
    } cases[] = {
        {"found", program, "/nowhere:" + bin.string(), "kestrivel"},
        {"another found first", program, other.string() + ":" + bin.string(), program},
        {"not on the path", program, other.string(), program},
        {"no path", program, "", program},
        {"relative folders are passed by", program, "bin:" + bin.string(), "kestrivel"},
        {"a link to the program", (m_folder / "link").string(), bin.string(), "kestrivel"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AutostartCommand(c.programPath, "kestrivel", c.path), c.exec);
    }
    TXdgAutostart autostart(m_folder.string(), bin.string());
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
