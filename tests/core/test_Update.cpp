#include "update/Update.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrivel;

namespace {

// The last successful reading every case starts from, so a failure can be seen to keep it.
constexpr int32_t kPreviousVersion = 7;
const char* const kPreviousUrl = "http://previous.example/";

struct VersionFileCase {
    const char* name;
    std::string response;
    bool read;
    int32_t version;
    std::string url;
    bool asks;
};

const std::string kPadding(1500, 'x');

const std::vector<VersionFileCase> kCases = {
    {"newer", "KestriVersion=123\r\nKestriURL=http://dl.example/new\r\n", true, 123, "http://dl.example/new",
     true},
    {"equal", "KestriVersion=122\r\nKestriURL=http://dl.example/\r\n", true, 122, "http://dl.example/",
     false},
    {"older", "KestriURL=http://dl.example/\r\nKestriVersion=121", true, 121, "http://dl.example/", false},
    {"dotted", "KestriVersion=1.2.3\r\nKestriURL=http://dl.example/\r\n", false, kPreviousVersion,
     kPreviousUrl, false},
    {"empty value", "KestriVersion=\r\nKestriURL=http://dl.example/\r\n", false, kPreviousVersion,
     kPreviousUrl, false},
    {"empty answer", "", false, kPreviousVersion, kPreviousUrl, false},
    {"no key (error page)", "<html>Not Found</html>", false, kPreviousVersion, kPreviousUrl, false},
    {"trailing blank", "KestriVersion=123 \r\n", false, kPreviousVersion, kPreviousUrl, false},
    {"lone line feed", "KestriVersion=123\nKestriURL=x\n", false, kPreviousVersion, kPreviousUrl, false},
    {"first of two wins", "OtherKestriVersion=500\r\nKestriVersion=100\r\n", true, 500, "", true},
    {"no final break", "KestriVersion=130\r\nKestriURL=http://dl.example/a b", true, 130,
     "http://dl.example/a b", true},
    {"leading blank and hex", "KestriVersion= $7B\r\nKestriURL=\r\n", true, 123, "", true},
    {"0x and sign", "KestriVersion=-0x10\r\n", true, -16, "", false},
    {"over 1,024 bytes", kPadding + "\r\nKestriURL=http://dl.example/\r\n" + kPadding + "KestriVersion=200",
     true, 200, "http://dl.example/", true},
};

} // namespace

TEST(Update, VersionFileTable) {
    for (const VersionFileCase& c : kCases) {
        SCOPED_TRACE(c.name);
        TUpdate update;
        update.Version = kPreviousVersion;
        update.URL = kPreviousUrl;
        EXPECT_EQ(readVersionInfo(update, "Kestri", c.response), c.read);
        EXPECT_EQ(update.Response, c.response);
        EXPECT_EQ(update.Version, c.version);
        EXPECT_EQ(update.URL, c.url);
        EXPECT_EQ(c.read && isNewerVersion(update), c.asks);
    }
    EXPECT_EQ(versionFileAddress("http://127.0.0.1:8/"), "http://127.0.0.1:8/versions.inf");
    EXPECT_EQ(versionFileAddress(""), "");
}
