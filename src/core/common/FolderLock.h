#pragma once

#include <chrono>
#include <string>

namespace kestrivel {

// The advisory lock every writer of the program's files (Memos.dat, Schemes.dat, Sync.dat,
// Settings.ini) holds across read, merge and rename, so no writer renames over a file another one
// has just checked. It is a lock file of its own in the folder: a lock on a file that is renamed
// over would protect nothing. Each lock opens the file anew, so two locks of one program (the
// calendar and its sync thread) exclude each other as two programs do. Released on destruction and
// by the system when the holder dies.
class FolderLock {
public:
    static constexpr const char* kFileName = ".Kestrivel.lock";
    // How long a writer waits for another before its save fails.
    static constexpr std::chrono::milliseconds kWait{10'000};

    enum class Result {
        Taken,
        Busy,        // another writer held it for the whole wait
        Unavailable, // the lock file cannot be made or opened (a read-only or missing folder)
    };

    // A lock file of another name in the same folder makes a lock of its own (the sync's).
    explicit FolderLock(std::string folder, std::string fileName = kFileName);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Waits at most `wait` for the lock; Taken at once when this object holds it already.
    Result acquire(std::chrono::milliseconds wait = kWait);
    void release();
    bool held() const { return m_fd >= 0; }
    std::string path() const;

private:
    std::string m_folder;
    std::string m_fileName;
    int m_fd = -1;
};

} // namespace kestrivel
