#include "common/FolderLock.h"

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrivel {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kFirstPause{1};
constexpr std::chrono::milliseconds kLongestPause{20};

// The lock file, made when missing. A user who may not write it (another user's folder) still
// locks through a read-only descriptor; a link or anything but a regular file is refused.
int openLockFile(const std::string& path) {
    constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | kFlags, 0644);
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
        fd = ::open(path.c_str(), O_RDONLY | kFlags);
    }
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool tryLock(int fd) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

} // namespace

FolderLock::FolderLock(std::string folder, std::string fileName)
    : m_folder(std::move(folder)), m_fileName(std::move(fileName)) {}

FolderLock::~FolderLock() {
    release();
}

std::string FolderLock::path() const {
    return (m_folder.empty() ? std::string(".") : m_folder) + "/" + m_fileName;
}

FolderLock::Result FolderLock::acquire(std::chrono::milliseconds wait) {
    if (held()) {
        return Result::Taken;
    }
    const int fd = openLockFile(path());
    if (fd < 0) {
        return Result::Unavailable;
    }
    // flock has no timeout of its own: short naps, growing, until the wait is over.
    const Clock::time_point deadline = Clock::now() + wait;
    std::chrono::milliseconds pause = kFirstPause;
    while (!tryLock(fd)) {
        if (errno != EWOULDBLOCK) {
            ::close(fd);
            return Result::Unavailable;
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            ::close(fd);
            return Result::Busy;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, kLongestPause);
    }
    m_fd = fd;
    return Result::Taken;
}

void FolderLock::release() {
    if (m_fd >= 0) {
        // Closing the only descriptor of this open file releases its lock.
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace kestrivel
