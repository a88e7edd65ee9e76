#include "common/SafeFile.h"

#include "common/Log.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrivel {

namespace {

namespace fs = std::filesystem;

// ".kestrivel-<8 hex digits>-XXXXXX": 26 bytes whatever the target's name; the digits name the
// target, so the leftovers of one file are found without touching those of another.
constexpr std::string_view kTempStem = ".kestrivel-";
constexpr size_t kTempRandomLength = 6;
// Cleanups racing one save again and again would be a fault of their own, not a reason to loop.
constexpr int kTempAttempts = 8;

std::function<void(const std::string&)> g_temporaryCreated;

bool writeAll(int fd, std::string_view data) {
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

void syncFolder(const std::string& folder) {
    const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

// A settings file linked from elsewhere is written where the link points, so the link stays.
fs::path saveTarget(const std::string& path) {
    fs::path target(path);
    std::error_code ec;
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::canonical(target, ec);
        if (!ec) {
            target = resolved;
        }
    }
    return target;
}

fs::path folderOf(const fs::path& target) {
    const fs::path folder = target.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// FNV-1a of the file name.
std::string tempPrefix(const fs::path& target) {
    uint32_t hash = 2166136261u;
    for (const char c : target.filename().string()) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", hash);
    return std::string(kTempStem) + hex + "-";
}

void removeLeftovers(const fs::path& target) {
    const fs::path folder = folderOf(target);
    const std::string prefix = tempPrefix(target);
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() != prefix.size() + kTempRandomLength || !name.starts_with(prefix)) {
            continue;
        }
        const std::string full = it->path().string();
        const int fd = ::open(full.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat st {};
        // A save in progress holds its lock until the rename; a crashed one holds none.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(full.c_str());
        }
        ::close(fd);
    }
}

// A new temporary file, locked so that no cleanup takes it away until it is renamed; -1 with errno
// set on failure. Between its creation and its lock another program's cleanup may find it unlocked and
// remove it: the name is then checked to still be this file, and a removed one is made again.
int createLockedTemporary(const fs::path& folder, const fs::path& target, std::string& name) {
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        name = (folder / (tempPrefix(target) + std::string(kTempRandomLength, 'X'))).string();
        const int fd = ::mkstemp(name.data());
        if (fd < 0) {
            return -1;
        }
        if (g_temporaryCreated) {
            g_temporaryCreated(name);
        }
        struct stat mine {};
        struct stat named {};
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &mine) == 0 && ::lstat(name.c_str(), &named) == 0 &&
            mine.st_dev == named.st_dev && mine.st_ino == named.st_ino) {
            return fd;
        }
        ::close(fd);
    }
    errno = EAGAIN;
    return -1;
}

bool refuse(const std::string& path, const char* why) {
    if (LogEnabled(TLogArea::Files)) {
        WriteLog(TLogArea::Files, "not saved: " + path + ": " + why);
    }
    return false;
}

bool writeAtomic(const std::string& path, std::string_view data, FileStamp& written, TNewFileAccess access) {
    const fs::path target = saveTarget(path);
    if (target.filename().empty()) {
        return refuse(path, "no file name");
    }
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    // A rename would put an ordinary file where a folder, pipe or device was, even for root.
    if (exists && !S_ISREG(st.st_mode)) {
        return refuse(path, "not a regular file");
    }
    // Replacing needs only the folder's rights; writing in place needs the file's. A file the
    // user may not write (read-only, or someone else's) is therefore refused here.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        return refuse(path, "the file may not be written");
    }
    removeLeftovers(target);

    const fs::path folder = folderOf(target);
    std::string tmpl;
    const int fd = createLockedTemporary(folder, target, tmpl);
    if (fd < 0) {
        return refuse(path, std::strerror(errno));
    }
    if (exists) {
        // Only the owner or root can keep the owner; for anyone else the call fails harmlessly.
        [[maybe_unused]] const int owned = ::fchown(fd, st.st_uid, st.st_gid);
        // mkstemp creates 0600: a replaced file keeps its mode.
        ::fchmod(fd, st.st_mode & 07777);
    } else if (access == TNewFileAccess::UserDefault) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    } // else mkstemp's 0600 stands
    bool ok = writeAll(fd, data) && ::fsync(fd) == 0;
    // A rename keeps the inode and the modification time: this is the stamp the target will have.
    written = fileStampOfDescriptor(fd);
    if (ok && std::rename(tmpl.c_str(), target.c_str()) != 0) {
        ok = false;
    }
    if (!ok) {
        ::unlink(tmpl.c_str());
    }
    // Closed only now, so the lock lasts until the rename; after a good fsync nothing is lost here.
    const int error = errno;
    ::close(fd);
    if (!ok) {
        return refuse(path, std::strerror(error));
    }
    syncFolder(folder.string());
    if (LogEnabled(TLogArea::Files)) {
        WriteLog(TLogArea::Files, "saved " + path + " (" + std::to_string(data.size()) + " bytes)");
    }
    return true;
}

} // namespace

void SetTemporaryCreatedHook(std::function<void(const std::string&)> hook) {
    g_temporaryCreated = std::move(hook);
}

bool WriteFileAtomic(const std::string& path, std::string_view data, TNewFileAccess access) {
    FileStamp written;
    return WriteFileAtomic(path, data, written, access);
}

bool WriteFileAtomic(const std::string& path, std::string_view data, FileStamp& written,
                     TNewFileAccess access) {
    try {
        return writeAtomic(path, data, written, access);
    } catch (const std::exception&) {
        return false;
    }
}

bool IsForeignLinkInSharedFolder(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode) || link.st_uid == ::geteuid()) {
        return false;
    }
    struct stat folder {};
    if (::stat(folderOf(fs::path(path)).c_str(), &folder) != 0) {
        return true;
    }
    return (folder.st_mode & (S_ISVTX | S_IWOTH)) != 0;
}

bool CreatePrivateFolder(const std::string& folder) {
    try {
        std::error_code ec;
        const fs::path wanted(folder);
        if (fs::is_directory(wanted, ec)) {
            return true;
        }
        if (wanted.empty()) {
            return false;
        }
        // The folders above first, each created the same way; one that exists is left as it is.
        const fs::path parent = wanted.parent_path();
        if (!parent.empty() && parent != wanted && !CreatePrivateFolder(parent.string())) {
            return false;
        }
        return ::mkdir(folder.c_str(), 0700) == 0 || (errno == EEXIST && fs::is_directory(wanted, ec));
    } catch (const std::exception&) {
        return false;
    }
}

void RemoveLeftoverTemporaries(const std::string& path) {
    try {
        removeLeftovers(saveTarget(path));
    } catch (const std::exception&) {
        // Leftovers are removed at the next chance.
    }
}

} // namespace kestrivel
