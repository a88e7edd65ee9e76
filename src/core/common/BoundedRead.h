#pragma once

#include <cstddef>
#include <string>

namespace kestrivel {

// Size caps far above anything the program writes: a larger file is taken as damaged.
inline constexpr size_t kDataFileCap = size_t{64} << 20;     // Memos.dat, exchange and scheme files
inline constexpr size_t kLanguageFileCap = size_t{16} << 20; // *.lang
inline constexpr size_t kSettingsFileCap = size_t{1} << 20;  // Settings.ini

enum class TReadResult {
    Ok,
    Missing,    // nothing of that name
    NotRegular, // a folder, pipe, device or socket: never read, never waited on
    TooLarge,   // more than the cap
    Failed,     // cannot be opened or read, or no memory for it
};

// The one way the program reads a file: only a regular file is read, the open never waits on a
// pipe or device, and at most `cap` bytes are ever held. `out` receives the whole file on Ok and
// is left empty otherwise. Never throws.
TReadResult ReadFileBounded(const std::string& path, size_t cap, std::string& out);

// At most the first `count` bytes of a regular file, for readers that need only its head; a
// shorter file gives what it has. Same rules and results as ReadFileBounded, without TooLarge.
TReadResult ReadFileHead(const std::string& path, size_t count, std::string& out);

} // namespace kestrivel
