#include "config/ConfigCopy.h"
#include "config/ConfigData.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <string>

using namespace kestrivel;

namespace {

// Each row reads `before` (null: no file), then saves `saved` through a dialog's draft, as Ok does.
struct SyncCase {
    const char* name;
    const char* before;
    TSyncSettings read; // the password is never read: "kept" stays
    TSyncSettings saved;
    std::string after;
};

// A file without them gets the reminder and the language in use with the sync settings.
const std::string kStartKeys = "\n[Options]\nRemind=1\nLanguageFile=KestriEn.lang\n";

const SyncCase kCases[] = {
    {"no file",
     nullptr,
     {"", "", "kept", 15},
     {"http://h:5232/", "u", "secret", 15},
     "[Sync]\nServer=http://h:5232/\nUser=u\nInterval=15\n" + kStartKeys},
    {"other sections kept",
     "[Options]\nServer=x\nInterval=5\n",
     {"", "", "kept", 15},
     {"s", "", "", 60},
     "[Options]\nServer=x\nInterval=5\nRemind=1\nLanguageFile=KestriEn.lang\n\n[Sync]\nServer=s\nUser="
     "\nInterval=60\n"},
    {"names in any case, keys replaced in place",
     "[sync]\n SERVER = \"https://c/dav/\" \nX=1\ninterval=30\n",
     {"https://c/dav/", "", "kept", 30},
     {"t", "v", "", 30},
     "[sync]\nSERVER=t\nX=1\ninterval=30\nUser=v\n" + kStartKeys},
    {"interval 0",
     "[Sync]\nInterval=0\nPassword=p\n",
     {"", "", "kept", 1},
     {"s", "u", "", 0},
     "[Sync]\nInterval=1\nPassword=p\nServer=s\nUser=u\n" + kStartKeys},
    {"more than a day",
     "[Sync]\nInterval=99999\n",
     {"", "", "kept", 1440},
     {"s\n[Evil]", "u", "", 1441},
     "[Sync]\nInterval=1440\nServer=s\nUser=u\n" + kStartKeys},
    // Written only once there is one (the rows above have none), then kept in place.
    {"a trusted certificate",
     "[Sync]\nServer=https://h/\nCertificate=https://h:443 AB\n",
     {"https://h/", "", "kept", 15, "https://h:443 AB"},
     {"https://h/", "u", "", 15, "https://h:443 CD"},
     "[Sync]\nServer=https://h/\nCertificate=https://h:443 CD\nUser=u\nInterval=15\n" + kStartKeys},
};

class SyncSettingsTable : public ::testing::TestWithParam<SyncCase> {};

TEST_P(SyncSettingsTable, ReadsAndWritesSectionSync) {
    const SyncCase& c = GetParam();
    const TempFolder temp("kestrivel-sync");
    TConfigData data(temp.path().string());
    if (c.before != nullptr) {
        WriteBytes(data.SettingsPath(), c.before);
    }
    data.Sync = {"junk", "junk", "kept", 7};
    data.LoadOptions();
    EXPECT_EQ(data.Sync.Server, c.read.Server);
    EXPECT_EQ(data.Sync.User, c.read.User);
    EXPECT_EQ(data.Sync.Password, c.read.Password);
    EXPECT_EQ(data.Sync.IntervalMinutes, c.read.IntervalMinutes);
    EXPECT_EQ(data.Sync.Certificate, c.read.Certificate);

    TConfigData draft(temp.path().string());
    draft.Sync = c.saved;
    CopyEditedData(draft, data);
    std::string error;
    ASSERT_TRUE(data.SaveSync(error)) << error;
    EXPECT_EQ(ReadBytes(data.SettingsPath()), c.after);
}

INSTANTIATE_TEST_SUITE_P(Files, SyncSettingsTable, ::testing::ValuesIn(kCases));

} // namespace
