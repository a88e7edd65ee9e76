#include "common/FileChecks.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace kestrivel {

namespace {

namespace fs = std::filesystem;

std::string folderOf(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

bool sameNode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Same name in the same folder, the folders compared as folders (links and "." resolved).
bool samePlace(const std::string& a, const std::string& b) {
    if (fs::path(a).filename() != fs::path(b).filename()) {
        return false;
    }
    struct stat fa {};
    struct stat fb {};
    return ::stat(folderOf(a).c_str(), &fa) == 0 && ::stat(folderOf(b).c_str(), &fb) == 0 && sameNode(fa, fb);
}

} // namespace

std::string ReadFailureReason(const std::string& path) {
    // Never waits on a pipe's writer: the open is only a question.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::strerror(errno);
    }
    struct stat st {};
    const bool known = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (!known) {
        return std::strerror(errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return "it is a folder";
    }
    return S_ISREG(st.st_mode) ? std::string() : std::string("it is not a regular file");
}

std::string WriteFailureReason(const std::string& path, int error) {
    const std::string folder = folderOf(path);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        return std::strerror(errno);
    }
    if (!S_ISDIR(st.st_mode)) {
        return std::strerror(ENOTDIR);
    }
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return "it is a folder";
        }
        if (!S_ISREG(st.st_mode)) {
            return "it is not a regular file";
        }
        if (::access(path.c_str(), W_OK) != 0) {
            return std::strerror(errno);
        }
    }
    // A new file, and the temporary file beside an old one, need the folder.
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return std::strerror(errno);
    }
    struct statvfs fsInfo {};
    if (::statvfs(folder.c_str(), &fsInfo) == 0 && fsInfo.f_blocks > 0 && fsInfo.f_bavail == 0) {
        return std::strerror(ENOSPC);
    }
    return error != 0 ? std::string(std::strerror(error)) : std::string("the system did not take the data");
}

bool LacksReadPermission(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    return errno == EACCES || errno == EPERM;
}

bool IsOneOfFiles(const std::string& target, const std::vector<std::string>& files) {
    struct stat t {};
    const bool targetThere = ::stat(target.c_str(), &t) == 0;
    for (const std::string& file : files) {
        struct stat f {};
        if (targetThere && ::stat(file.c_str(), &f) == 0 ? sameNode(t, f) : samePlace(target, file)) {
            return true;
        }
    }
    return false;
}

} // namespace kestrivel
