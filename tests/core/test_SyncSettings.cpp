#include "config/ConfigCopy.h"
#include "config/ConfigData.h"
#include "config/SyncSettings.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <string>

using namespace kestrivel;

namespace {

struct LoadCase {
    const char* name;
    const char* file; // null: no Settings.ini
    const char* server;
    const char* user;
    int interval;
};

const LoadCase kLoads[] = {
    {"no file", nullptr, "", "", 15},
    {"other sections only", "[Options]\nServer=http://a/\nInterval=5\n", "", "", 15},
    {"all keys", "[Sync]\nServer=http://host:5232/\nUser=anna\nInterval=30\n", "http://host:5232/", "anna",
     30},
    {"names in any case, blanks and quotes", "[sync]\n SERVER = \"https://c/dav/\" \nuser=b\n",
     "https://c/dav/", "b", 15},
    {"interval 0", "[Sync]\nInterval=0\n", "", "", 1},
    {"negative interval", "[Sync]\nInterval=-20\n", "", "", 1},
    {"one day", "[Sync]\nInterval=1440\n", "", "", 1440},
    {"more than a day", "[Sync]\nInterval=99999\n", "", "", 1440},
    {"interval not a number", "[Sync]\nInterval=often\n", "", "", 15},
    {"empty interval", "[Sync]\nInterval=\n", "", "", 15},
    {"a password in the file is not read", "[Sync]\nPassword=leaked\n", "", "", 15},
};

class SyncLoadTable : public ::testing::TestWithParam<LoadCase> {};

TEST_P(SyncLoadTable, ReadsSectionSync) {
    const LoadCase& c = GetParam();
    const TempFolder temp("kestrivel-sync");
    const std::string path = temp.file("Settings.ini");
    if (c.file != nullptr) {
        WriteBytes(path, c.file);
    }
    // Start from values unlike the defaults so a key left alone shows.
    TSyncSettings sync{"junk", "junk", "kept", 7};
    LoadSyncSettings(path, sync);
    EXPECT_EQ(sync.Server, c.server);
    EXPECT_EQ(sync.User, c.user);
    EXPECT_EQ(sync.IntervalMinutes, c.interval);
    EXPECT_EQ(sync.Password, "kept");
}

INSTANTIATE_TEST_SUITE_P(Files, SyncLoadTable, ::testing::ValuesIn(kLoads));

struct SaveCase {
    const char* name;
    const char* before; // null: no Settings.ini
    TSyncSettings sync;
    const char* after;
};

const SaveCase kSaves[] = {
    {"a new file",
     nullptr,
     {"http://h:5232/", "u", "secret", 15},
     "[Sync]\nServer=http://h:5232/\nUser=u\nInterval=15\n"},
    {"after the other sections",
     "[Options]\nAutorun=0\n",
     {"https://c/remote.php/dav/", "", "", 60},
     "[Options]\nAutorun=0\n\n[Sync]\nServer=https://c/remote.php/dav/\nUser=\nInterval=60\n"},
    {"keys replaced in place, the rest kept",
     "; mine\n[Sync]\nInterval=5\nExtra=1\n[Settings]\nLeft=3\n",
     {"", "", "", 5},
     "; mine\n[Sync]\nInterval=5\nExtra=1\nServer=\nUser=\n[Settings]\nLeft=3\n"},
    {"interval brought into range", nullptr, {"s", "u", "", 0}, "[Sync]\nServer=s\nUser=u\nInterval=1\n"},
    {"a line break cannot start a section",
     nullptr,
     {"s\n[Evil]", "u", "", 1440},
     "[Sync]\nServer=s\nUser=u\nInterval=1440\n"},
};

class SyncSaveTable : public ::testing::TestWithParam<SaveCase> {};

// The password never reaches the file: "secret" above must not be found.
TEST_P(SyncSaveTable, WritesSectionSyncOnly) {
    const SaveCase& c = GetParam();
    const TempFolder temp("kestrivel-sync");
    if (c.before != nullptr) {
        WriteBytes(temp.file("Settings.ini"), c.before);
    }
    // Saved from the owner the dialog's draft was copied into, as Ok does.
    TConfigData data(temp.path().string());
    TConfigData draft(temp.path().string());
    draft.Sync = c.sync;
    CopyEditedData(draft, data);
    std::string error;
    ASSERT_TRUE(data.SaveSync(error)) << error;
    EXPECT_EQ(ReadBytes(data.SettingsPath()), c.after);
    // What was written reads back as saved, but for the password.
    data.LoadOptions();
    EXPECT_EQ(data.Sync.Server, c.sync.Server.substr(0, c.sync.Server.find('\n')));
    EXPECT_EQ(data.Sync.User, c.sync.User);
}

INSTANTIATE_TEST_SUITE_P(Files, SyncSaveTable, ::testing::ValuesIn(kSaves));

TEST(SyncSave, AFolderThatIsNoFolderFails) {
    const TempFolder temp("kestrivel-sync");
    WriteBytes(temp.file("file"), "x");
    const std::string path = temp.file("file") + "/Settings.ini";
    std::string error;
    EXPECT_FALSE(SaveSyncSettings(path, TSyncSettings{"s", "u", "", 15}, error));
    EXPECT_EQ(error, "Unable to write to " + path);
}

} // namespace
