#include "common/SafeFile.h"

#include "common/BinaryStream.h"
#include "config/IniFile.h"
#include "memos/UnitMemo.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrivel;

namespace fs = std::filesystem;

namespace {

class SafeFileTest : public ::testing::Test {
protected:
    TempFolder m_temp{"kestrivel-safe"};

    void SetUp() override {
        m_folder = m_temp.path();
        m_path = (m_folder / "Memos.dat").string();
    }
    std::string read(const std::string& path) const {
        std::string data;
        EXPECT_TRUE(ReadWholeFile(path, data));
        return data;
    }
    size_t entries() const {
        size_t n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(m_folder)) {
            ++n;
        }
        return n;
    }
    static unsigned mode(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0);
        return st.st_mode & 07777;
    }

    fs::path m_folder;
    std::string m_path;
};

TEST_F(SafeFileTest, CreatesANewFileWithTheBytes) {
    const std::string data("a\0b\r\nc", 6);
    ASSERT_TRUE(WriteFileAtomic(m_path, data));
    EXPECT_EQ(read(m_path), data);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(SafeFileTest, ReplacesAnExistingFileWhole) {
    ASSERT_TRUE(WriteFileAtomic(m_path, std::string(100000, 'x')));
    ASSERT_TRUE(WriteFileAtomic(m_path, "short"));
    EXPECT_EQ(read(m_path), "short");
    ASSERT_TRUE(WriteFileAtomic(m_path, ""));
    EXPECT_EQ(read(m_path), "");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(SafeFileTest, NewFileIsPrivateUnlessItIsADocument) {
    using Case = std::tuple<TNewFileAccess, mode_t, unsigned>;
    for (const auto& [access, mask, wanted] :
         {Case{TNewFileAccess::Private, 022, 0600}, Case{TNewFileAccess::UserDefault, 022, 0644},
          Case{TNewFileAccess::UserDefault, 027, 0640}}) {
        fs::remove(m_path);
        const mode_t old = ::umask(mask);
        const bool saved = WriteFileAtomic(m_path, "x", access);
        ::umask(old);
        ASSERT_TRUE(saved);
        EXPECT_EQ(mode(m_path), wanted);
    }
}

TEST_F(SafeFileTest, SpecialFilesAreNeverReplaced) {
    const std::string fifo = (m_folder / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(fifo, m_folder / "link-to-fifo");
    std::vector<std::pair<std::string, fs::file_type>> cases = {
        {fifo, fs::file_type::fifo}, {(m_folder / "link-to-fifo").string(), fs::file_type::fifo}};
    // A device, where this process may make one (root outside a container).
    const std::string device = (m_folder / "null").string();
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        cases.emplace_back(device, fs::file_type::character);
    }
    for (const auto& [path, type] : cases) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(WriteFileAtomic(path, "data"));
        EXPECT_EQ(fs::status(path).type(), type);
    }
    EXPECT_EQ(entries(), cases.size());
}

TEST_F(SafeFileTest, PrivateFolderIsMadeWithEveryMissingParent) {
    const mode_t old = ::umask(022);
    fs::create_directory(m_folder / "open");
    const fs::path deep = m_folder / "open" / "config" / "Kestrivel";
    EXPECT_TRUE(CreatePrivateFolder(deep.string()));
    WriteBytes((m_folder / "file").string(), "x");
    EXPECT_FALSE(CreatePrivateFolder((m_folder / "file" / "below").string()));
    ::umask(old);
    EXPECT_EQ(mode((m_folder / "open").string()), 0755u);
    EXPECT_EQ(mode((m_folder / "open" / "config").string()), 0700u);
    EXPECT_EQ(mode(deep.string()), 0700u);
}

TEST_F(SafeFileTest, ReplacedFileKeepsItsMode) {
    { std::ofstream(m_path) << "old"; }
    ASSERT_EQ(::chmod(m_path.c_str(), 0640), 0);
    ASSERT_TRUE(WriteFileAtomic(m_path, "new"));
    EXPECT_EQ(mode(m_path), 0640u);
    ASSERT_EQ(::chmod(m_path.c_str(), 0604), 0);
    ASSERT_TRUE(WriteFileAtomic(m_path, "newer"));
    EXPECT_EQ(mode(m_path), 0604u);
    EXPECT_EQ(read(m_path), "newer");
}

TEST_F(SafeFileTest, MissingFolderFails) {
    const std::string path = (m_folder / "missing" / "Memos.dat").string();
    EXPECT_FALSE(WriteFileAtomic(path, "data"));
    EXPECT_FALSE(fs::exists(m_folder / "missing"));
}

TEST_F(SafeFileTest, FolderThatIsARegularFileFailsAndTheFileStaysWhole) {
    ASSERT_TRUE(WriteFileAtomic(m_path, "precious"));
    EXPECT_FALSE(WriteFileAtomic((fs::path(m_path) / "inner").string(), "data"));
    EXPECT_EQ(read(m_path), "precious");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(SafeFileTest, TargetThatIsAFolderFailsAndStays) {
    fs::create_directory(m_path);
    { std::ofstream(fs::path(m_path) / "inside") << "kept"; }
    EXPECT_FALSE(WriteFileAtomic(m_path, "data"));
    EXPECT_TRUE(fs::is_directory(m_path));
    EXPECT_EQ(read((fs::path(m_path) / "inside").string()), "kept");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(SafeFileTest, PathWithoutAFileNameFails) {
    EXPECT_FALSE(WriteFileAtomic(m_folder.string() + "/", "data"));
    EXPECT_FALSE(WriteFileAtomic("", "data"));
    EXPECT_EQ(entries(), 0u);
}

TEST_F(SafeFileTest, RelativePathWritesIntoTheCurrentFolder) {
    const fs::path before = fs::current_path();
    fs::current_path(m_folder);
    const bool ok = WriteFileAtomic("Relative.dat", "rel");
    fs::current_path(before);
    ASSERT_TRUE(ok);
    EXPECT_EQ(read((m_folder / "Relative.dat").string()), "rel");
}

TEST_F(SafeFileTest, OtherFilesInTheFolderAreLeftAlone) {
    { std::ofstream(m_folder / "Schemes.dat") << "schemes"; }
    ASSERT_TRUE(WriteFileAtomic(m_path, "memos"));
    EXPECT_EQ(read((m_folder / "Schemes.dat").string()), "schemes");
    EXPECT_EQ(entries(), 2u);
}

TEST_F(SafeFileTest, LinkedFileIsWrittenWhereTheLinkPoints) {
    fs::create_directory(m_folder / "real");
    const fs::path real = m_folder / "real" / "Settings.ini";
    { std::ofstream(real) << "old"; }
    fs::create_symlink(real, m_path);
    ASSERT_TRUE(WriteFileAtomic(m_path, "new"));
    EXPECT_TRUE(fs::is_symlink(m_path));
    EXPECT_EQ(read(real.string()), "new");
    EXPECT_EQ(read(m_path), "new");
}

// The exit code of `action` run in a child; -1 when the child was killed.
int InChild(const std::function<int()>& action) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        try {
            ::_exit(action());
        } catch (...) {
            ::_exit(2);
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SafeFileTest, ExistingFileTheUserMayNotWriteIsNotReplaced) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "acting as another user needs root";
    }
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(::chmod(m_folder.c_str(), 0777), 0);
    const struct {
        bool Exists;
        mode_t Mode;
        bool OwnedByUser;
        bool Saves;
    } cases[] = {{true, 0444, true, false},
                 {true, 0644, false, false},
                 {true, 0666, false, true},
                 {false, 0, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Mode);
        fs::remove(m_path);
        if (c.Exists) {
            WriteBytes(m_path, "old");
            ASSERT_EQ(::chown(m_path.c_str(), c.OwnedByUser ? kNobody : 0, 0), 0);
            ASSERT_EQ(::chmod(m_path.c_str(), c.Mode), 0);
        }
        EXPECT_EQ(InChild([&] {
                      return ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 &&
                             WriteFileAtomic(m_path, "new");
                  }),
                  c.Saves ? 1 : 0);
        EXPECT_EQ(read(m_path), c.Saves ? "new" : "old");
        EXPECT_EQ(entries(), 1u);
    }
}

TEST_F(SafeFileTest, LongestNameSavesAndLeftoversOfACrashedSaveGoAtTheNextSaveOrLoad) {
    ASSERT_TRUE(WriteFileAtomic((m_folder / std::string(255, 'n')).string(), "x"));
    fs::remove(m_folder / std::string(255, 'n'));
    const std::string other = (m_folder / "Other.dat").string();
    const struct {
        const char* Name;
        std::function<void(const std::string& leftover)> Next;
        bool Removed;
    } cases[] = {
        {"save", [&](auto&) { EXPECT_TRUE(WriteFileAtomic(m_path, "old")); }, true},
        {"memo load", [&](auto&) { TMemoList().LoadFromFile(m_path); }, true},
        {"settings load", [&](auto&) { TIniFile ini(m_path); }, true},
        {"another file's save", [&](auto&) { EXPECT_TRUE(WriteFileAtomic(other, "x")); }, false},
        {"a save still writing it",
         [&](const std::string& leftover) {
             const int fd = ::open(leftover.c_str(), O_RDONLY);
             ::flock(fd, LOCK_EX);
             EXPECT_TRUE(WriteFileAtomic(m_path, "old"));
             ::close(fd);
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove(other);
        ASSERT_TRUE(WriteFileAtomic(m_path, "old"));
        // Killed mid-write by the file-size limit, as a crash would.
        EXPECT_EQ(InChild([&] {
                      const rlimit size{4096, 4096}, core{0, 0};
                      ::setrlimit(RLIMIT_CORE, &core);
                      ::setrlimit(RLIMIT_FSIZE, &size);
                      return WriteFileAtomic(m_path, std::string(1 << 20, 'z')) ? 1 : 0;
                  }),
                  -1);
        std::string leftover;
        for (const auto& e : fs::directory_iterator(m_folder)) {
            leftover = e.path() == m_path ? leftover : e.path().string();
        }
        ASSERT_FALSE(leftover.empty());
        c.Next(leftover);
        EXPECT_EQ(fs::exists(leftover), !c.Removed);
        EXPECT_EQ(read(m_path), "old");
        fs::remove(leftover);
    }
}

// Another program's load cleans up between this save's making of its temporary and its lock.
TEST_F(SafeFileTest, ALoadRunningAsTheTemporaryAppearsDoesNotFailTheSave) {
    int cleanups = 0;
    SetTemporaryCreatedHook([&](const std::string&) {
        if (cleanups++ == 0) {
            TMemoList().LoadFromFile(m_path);
        }
    });
    const bool saved = WriteFileAtomic(m_path, "new");
    SetTemporaryCreatedHook(nullptr);
    EXPECT_TRUE(saved);
    EXPECT_EQ(read(m_path), "new");
    EXPECT_EQ(entries(), 1u);
}

} // namespace
