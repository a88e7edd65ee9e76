#include "common/BoundedRead.h"

#include <algorithm>
#include <cerrno>
#include <exception>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrivel {

namespace {

class FileHandle {
public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Reads until `buf` holds `want` bytes or the file ends; -1 on a read error.
ssize_t readUpTo(int fd, char* buf, size_t want) {
    size_t got = 0;
    while (got < want) {
        const ssize_t n = ::read(fd, buf + got, want - got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// `limit` bytes at most; with `wholeFile`, one byte more than `limit` means TooLarge.
TReadResult readRegular(const std::string& path, size_t limit, bool wholeFile, std::string& out) {
    out.clear();
    // O_NONBLOCK: opening a pipe without a writer or a device returns at once, and fstat then
    // turns it away before anything is read from it.
    const FileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) {
        return errno == ENOENT || errno == ENOTDIR ? TReadResult::Missing : TReadResult::Failed;
    }
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) {
        return TReadResult::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        return TReadResult::NotRegular;
    }
    const auto size = static_cast<unsigned long long>(st.st_size);
    if (wholeFile && size > limit) {
        return TReadResult::TooLarge;
    }
    // The size is only a hint: a file that grows while we read is still cut at the limit, and the
    // one byte that tells a cap-sized file from a larger one is read without growing the buffer.
    const size_t want = wholeFile ? limit + 1 : limit;
    std::string data;
    try {
        data.resize(static_cast<size_t>(std::min<unsigned long long>(size, limit)));
        ssize_t n = readUpTo(file.get(), data.data(), data.size());
        if (n < 0) {
            return TReadResult::Failed;
        }
        size_t have = static_cast<size_t>(n);
        bool more = have == data.size(); // a short read means the file ended early
        data.resize(have);
        char chunk[65536];
        while (more && have < want) {
            n = readUpTo(file.get(), chunk, std::min(sizeof chunk, want - have));
            if (n < 0) {
                return TReadResult::Failed;
            }
            data.append(chunk, static_cast<size_t>(n));
            have += static_cast<size_t>(n);
            more = n > 0;
        }
        if (have > limit) {
            return TReadResult::TooLarge;
        }
    } catch (const std::exception&) {
        return TReadResult::Failed;
    }
    out = std::move(data);
    return TReadResult::Ok;
}

} // namespace

TReadResult ReadFileBounded(const std::string& path, size_t cap, std::string& out) {
    return readRegular(path, cap, true, out);
}

TReadResult ReadFileHead(const std::string& path, size_t count, std::string& out) {
    return readRegular(path, count, false, out);
}

} // namespace kestrivel
