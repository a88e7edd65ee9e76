#pragma once

#include <cstdint>
#include <string>

namespace kestrivel {

// Tells one version of a file from another without reading it. Our saves rename a new file into
// place, so the inode changes even when the size and the modification time come out the same.
struct FileStamp {
    bool Exists = false;
    uint64_t Device = 0;
    uint64_t Inode = 0;
    uint64_t Size = 0;
    int64_t MtimeNs = 0; // nanoseconds since 1970-01-01 UTC

    bool operator==(const FileStamp&) const = default;
};

// The stamp of what `path` names now (following links); Exists false when there is nothing.
FileStamp fileStampOf(const std::string& path);
// The stamp of an open file.
FileStamp fileStampOfDescriptor(int fd);

} // namespace kestrivel
