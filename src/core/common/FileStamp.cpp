#include "common/FileStamp.h"

#include <sys/stat.h>

namespace kestrivel {

namespace {

FileStamp stampOf(const struct stat& st) {
    FileStamp stamp;
    stamp.Exists = true;
    stamp.Device = static_cast<uint64_t>(st.st_dev);
    stamp.Inode = static_cast<uint64_t>(st.st_ino);
    stamp.Size = static_cast<uint64_t>(st.st_size);
    stamp.MtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    return stamp;
}

} // namespace

FileStamp fileStampOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? stampOf(st) : FileStamp{};
}

FileStamp fileStampOfDescriptor(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? stampOf(st) : FileStamp{};
}

} // namespace kestrivel
