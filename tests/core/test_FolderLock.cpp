#include "common/FolderLock.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

using namespace kestrivel;
using namespace std::chrono_literals;

namespace {

using Result = FolderLock::Result;

// A second program that takes the lock, says so through a pipe and dies without releasing it.
pid_t holdInChild(const std::string& folder, int& readEnd) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        FolderLock lock(folder);
        const char taken = lock.acquire(1s) == Result::Taken ? 'y' : 'n';
        [[maybe_unused]] const ssize_t n = ::write(fds[1], &taken, 1);
        ::pause(); // until the test kills it
        ::_exit(0);
    }
    ::close(fds[1]);
    readEnd = fds[0];
    return pid;
}

} // namespace

// Who gets the lock: one holder at a time, within a program as between programs, and nobody where
// the lock file cannot be.
TEST(FolderLock, OneHolderAtATime) {
    const struct {
        const char* name;
        std::function<void(const std::string& folder)> prepare;
        bool otherHolds;
        Result expected;
    } cases[] = {
        {"free", [](const std::string&) {}, false, Result::Taken},
        {"held by another lock of this program", [](const std::string&) {}, true, Result::Busy},
        {"folder missing", [](const std::string& f) { std::filesystem::remove_all(f); }, false,
         Result::Unavailable},
        {"a folder in the lock file's place",
         [](const std::string& f) { std::filesystem::create_directory(f + "/" + FolderLock::kFileName); },
         false, Result::Unavailable},
        {"a link in the lock file's place",
         [](const std::string& f) {
             WriteBytes(f + "/elsewhere", "");
             std::filesystem::create_symlink(f + "/elsewhere", f + "/" + FolderLock::kFileName);
         },
         false, Result::Unavailable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp("kestrivel-lock");
        const std::string folder = temp.path().string();
        c.prepare(folder);
        FolderLock other(folder);
        if (c.otherHolds) {
            ASSERT_EQ(other.acquire(0ms), Result::Taken);
        }
        FolderLock lock(folder);
        EXPECT_EQ(lock.acquire(30ms), c.expected);
        EXPECT_EQ(lock.held(), c.expected == Result::Taken);
        // Once the other lets go, the lock is free again.
        other.release();
        lock.release();
        EXPECT_EQ(lock.acquire(0ms), c.expected == Result::Unavailable ? Result::Unavailable : Result::Taken);
    }
}

// A writer that dies holding the lock does not keep the others out: the system lets go for it.
TEST(FolderLock, AHolderThatDiesLetsGo) {
    TempFolder temp("kestrivel-lock");
    const std::string folder = temp.path().string();
    int readEnd = -1;
    const pid_t child = holdInChild(folder, readEnd);
    ASSERT_GT(child, 0);
    char taken = 0;
    ASSERT_EQ(::read(readEnd, &taken, 1), 1);
    ::close(readEnd);
    ASSERT_EQ(taken, 'y');
    FolderLock lock(folder);
    EXPECT_EQ(lock.acquire(30ms), Result::Busy);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(lock.acquire(5s), Result::Taken);
}
