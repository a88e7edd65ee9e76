#pragma once

#include <string>
#include <string_view>

#include "common/FileStamp.h"

namespace kestrivel {

// Replaces `path` with `data` so that a reader never sees a half-written file: the bytes go to a
// temporary file in the same folder, which is flushed, synced and renamed over the target, then
// the folder is synced. On any failure the temporary file is removed, the previous file stays
// whole, and the result is false.
//
// An existing file the user may not write is not replaced through the folder's rights: the save
// fails as writing into the file would. The replacement keeps the file's mode (and, where the
// system allows it, its owner). Temporary names have a fixed, short length, so any file name the
// system accepts can be saved.
bool WriteFileAtomic(const std::string& path, std::string_view data);
// The same; on success `written` receives the stamp of the new file, taken before it was renamed
// into place, so a file another program puts there a moment later is never mistaken for ours.
bool WriteFileAtomic(const std::string& path, std::string_view data, FileStamp& written);

// Removes the temporary files that interrupted saves of `path` left beside it. A temporary that
// a save is still writing is locked by that save and left alone. WriteFileAtomic does this itself;
// loaders of files we save call it so that a crash mid-save leaves nothing behind for long.
void RemoveLeftoverTemporaries(const std::string& path);

} // namespace kestrivel
