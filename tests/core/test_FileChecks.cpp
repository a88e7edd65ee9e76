#include "common/FileChecks.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "common/SafeFile.h"

using namespace kestrivel;

namespace fs = std::filesystem;

namespace {

class FileChecks : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("kestrivel_filechecks_" + std::to_string(::getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        std::ofstream(Path("file")) << "x";
        fs::create_directory(Path("folder"));
        ::mkfifo(Path("pipe").c_str(), 0600);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    fs::path m_dir;
};

TEST_F(FileChecks, ReasonsAreTheSystemsWords) {
    const struct {
        const char* path;
        std::string read, write;
    } cases[] = {
        {"file", "", std::strerror(EIO)},
        {"new", std::strerror(ENOENT), std::strerror(EIO)},
        {"none/new", std::strerror(ENOENT), std::strerror(ENOENT)},
        {"file/new", std::strerror(ENOTDIR), std::strerror(ENOTDIR)},
        {"folder", "it is a folder", "it is a folder"},
        {"pipe", "it is not a regular file", "it is not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ReadFailureReason(Path(c.path)), c.read);
        // The error the save left stands only where nothing else can be seen.
        EXPECT_EQ(WriteFailureReason(Path(c.path), EIO), c.write);
    }
    EXPECT_EQ(WriteFailureReason(Path("file"), 0), "the system did not take the data");
}

TEST_F(FileChecks, OneOfFilesByPlaceOrIdentity) {
    fs::create_symlink(Path("file"), Path("link"));
    fs::create_hard_link(Path("file"), Path("hard"));
    const std::vector<std::string> own{Path("file"), Path("Memos.dat")};
    const struct {
        std::string target;
        bool own;
    } cases[] = {
        {Path("file"), true},
        {Path("link"), true},
        {Path("hard"), true},
        {Path("folder/../file"), true},
        {Path("Memos.dat"), true}, // not there yet: the same name in the same folder
        {Path("folder/../Memos.dat"), true},
        {Path("folder/Memos.dat"), false},
        {Path("other.dat"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        EXPECT_EQ(IsOneOfFiles(c.target, own), c.own);
    }
}

// Another user's link is needed, so only a root run can make one; lchown refuses everyone else.
TEST_F(FileChecks, ForeignLinksInSharedFoldersAreFound) {
    const uid_t other = ::geteuid() == 0 ? 65534 : ::geteuid();
    fs::create_directory(Path("sticky"));
    fs::create_directory(Path("open"));
    fs::create_directory(Path("closed"));
    ::chmod(Path("sticky").c_str(), 01777);
    ::chmod(Path("open").c_str(), 0777);
    ::chmod(Path("closed").c_str(), 0755);
    const struct {
        const char* link;
        bool foreign, expected;
    } cases[] = {
        {"sticky/theirs", true, true}, {"open/theirs", true, true},    {"closed/theirs", true, false},
        {"sticky/mine", false, false}, {"sticky/plain", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        if (std::string(c.link).ends_with("plain")) {
            std::ofstream(Path(c.link)) << "x";
        } else {
            fs::create_symlink(Path("file"), Path(c.link));
        }
        if (c.foreign && (::geteuid() != 0 || ::lchown(Path(c.link).c_str(), other, other) != 0)) {
            continue; // only root gives a link away
        }
        EXPECT_EQ(IsForeignLinkInSharedFolder(Path(c.link)), c.expected);
    }
    EXPECT_FALSE(IsForeignLinkInSharedFolder(Path("missing")));
}

} // namespace
