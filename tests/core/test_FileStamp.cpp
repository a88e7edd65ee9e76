#include "common/FileStamp.h"

#include "common/SafeFile.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <filesystem>
#include <functional>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrivel;

namespace {

// Puts the modification time of `path` at a second of our choosing, so that a change which keeps
// the size can be told from one that also keeps the time.
void setMtime(const std::string& path, time_t seconds, long nanoseconds) {
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

} // namespace

// Each case starts from "abcdef" with a fixed time and changes the file the way another program
// could; `differs` is whether the stamp taken before tells the file apart afterwards.
TEST(FileStamp, TellsAChangedFileFromTheOneRead) {
    const struct {
        const char* name;
        std::function<void(const std::string&)> change;
        bool differs;
    } cases[] = {
        {"untouched", [](const std::string&) {}, false},
        {"read again", [](const std::string& p) { (void)ReadBytes(p); }, false},
        {"same bytes, same time",
         [](const std::string& p) {
             WriteBytes(p, "abcdef");
             setMtime(p, 1'700'000'000, 5);
         },
         false},
        {"other bytes of the same size, same time",
         [](const std::string& p) {
             WriteBytes(p, "ABCDEF");
             setMtime(p, 1'700'000'000, 5);
         },
         false}, // what no stamp can see: the reason our saves rename
        {"one nanosecond later", [](const std::string& p) { setMtime(p, 1'700'000'000, 6); }, true},
        {"grown",
         [](const std::string& p) {
             WriteBytes(p, "abcdefg");
             setMtime(p, 1'700'000'000, 5);
         },
         true},
        {"replaced by an atomic save of the same bytes",
         [](const std::string& p) {
             ASSERT_TRUE(WriteFileAtomic(p, "abcdef"));
             setMtime(p, 1'700'000'000, 5);
         },
         true},
        {"removed", [](const std::string& p) { std::filesystem::remove(p); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder("kestrivel-stamp");
        const std::string path = folder.file("Memos.dat");
        WriteBytes(path, "abcdef");
        setMtime(path, 1'700'000'000, 5);
        const FileStamp before = fileStampOf(path);
        ASSERT_TRUE(before.Exists);
        EXPECT_EQ(before.Size, 6u);
        EXPECT_EQ(before.MtimeNs, 1'700'000'000'000'000'005);
        c.change(path);
        EXPECT_EQ(fileStampOf(path) != before, c.differs);
    }
}

TEST(FileStamp, MissingFilesAndDescriptors) {
    TempFolder folder("kestrivel-stamp");
    EXPECT_EQ(fileStampOf(folder.file("none")), FileStamp{});
    EXPECT_EQ(fileStampOf(folder.file("none/deeper")), FileStamp{});
    EXPECT_EQ(fileStampOfDescriptor(-1), FileStamp{});
    const std::string path = folder.file("a");
    WriteBytes(path, "xyz");
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(fileStampOfDescriptor(fd), fileStampOf(path));
    ::close(fd);
}

// The stamp a save reports is the stamp the file has once it stands in place, so the program knows
// its own file when it looks again.
TEST(FileStamp, AtomicSaveReportsTheStampOfTheFileWritten) {
    TempFolder folder("kestrivel-stamp");
    const std::string path = folder.file("Schemes.dat");
    for (const char* data : {"first", "second, longer", ""}) {
        SCOPED_TRACE(data);
        FileStamp written;
        ASSERT_TRUE(WriteFileAtomic(path, data, written));
        EXPECT_TRUE(written.Exists);
        EXPECT_EQ(written, fileStampOf(path));
    }
    FileStamp failed;
    EXPECT_FALSE(WriteFileAtomic(folder.file("no/such/folder/x"), "x", failed));
}
