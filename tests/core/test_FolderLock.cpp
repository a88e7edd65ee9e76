#include "common/FolderLock.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <chrono>

using namespace kestrivel;
using namespace std::chrono_literals;

// One holder at a time, within a program as between programs (each lock opens the file anew), and
// nobody where the lock file cannot be made.
TEST(FolderLock, OneHolderAtATime) {
    TempFolder temp("kestrivel-lock");
    FolderLock first(temp.path().string());
    FolderLock second(temp.path().string());
    ASSERT_EQ(first.acquire(0ms), FolderLock::Result::Taken);
    EXPECT_EQ(second.acquire(30ms), FolderLock::Result::Busy);
    first.release();
    EXPECT_EQ(second.acquire(0ms), FolderLock::Result::Taken);
    EXPECT_EQ(FolderLock(temp.file("missing")).acquire(0ms), FolderLock::Result::Unavailable);
}
