#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "common/FileStamp.h"

namespace kestrivel {

// Who may read a file that a save creates. The program's own files (settings, memos, schemes, sync
// state) are the user's alone, as the XDG base-directory rules ask of a configuration folder; a file
// the user exports somewhere is a document like any other and gets the mode the umask gives. A file
// that is replaced keeps its own mode either way.
enum class TNewFileAccess {
    Private,     // 0600
    UserDefault, // 0666 less the umask
};

// Replaces `path` with `data` so that a reader never sees a half-written file: the bytes go to a
// temporary file in the same folder, which is flushed, synced and renamed over the target, then
// the folder is synced. On any failure the temporary file is removed, the previous file stays
// whole, and the result is false.
//
// An existing file the user may not write is not replaced through the folder's rights: the save
// fails as writing into the file would. The replacement keeps the file's mode (and, where the
// system allows it, its owner). Temporary names have a fixed, short length, so any file name the
// system accepts can be saved.
//
// Only a regular file is replaced: a folder, pipe, device or socket at `path` fails the save, for
// root too, and stays as it is. A symbolic link is followed: the file it points to is replaced and
// the link stays (a settings file linked from elsewhere keeps its place); a link to anything but a
// regular file fails as that would.
bool WriteFileAtomic(const std::string& path, std::string_view data,
                     TNewFileAccess access = TNewFileAccess::Private);
// The same; on success `written` receives the stamp of the new file, taken before it was renamed
// into place, so a file another program puts there a moment later is never mistaken for ours.
bool WriteFileAtomic(const std::string& path, std::string_view data, FileStamp& written,
                     TNewFileAccess access = TNewFileAccess::Private);

// True when `path` is a symbolic link that another user owns in a folder others may write into
// (sticky or world-writable, like /tmp). Saving through it would replace a file of that user's
// choosing with the caller's rights, and saves resolve links themselves, past the system's own
// guard; exports refuse such a target. A folder that cannot be looked at counts as shared.
bool IsForeignLinkInSharedFolder(const std::string& path);

// Creates `folder` and the missing folders above it, each new one 0700 (only the user may enter
// it); folders that exist keep their mode. True when `folder` exists as a folder afterwards.
bool CreatePrivateFolder(const std::string& folder);

// Removes the temporary files that interrupted saves of `path` left beside it. A temporary that
// a save is still writing is locked by that save and left alone. WriteFileAtomic does this itself;
// loaders of files we save call it so that a crash mid-save leaves nothing behind for long.
void RemoveLeftoverTemporaries(const std::string& path);

// Called with a save's temporary file name right after the file is made and before the save locks
// it: the moment another program's cleanup could meet it. Tests put another writer's load there;
// the program sets none. Not thread-safe: set it before any save runs.
void SetTemporaryCreatedHook(std::function<void(const std::string&)> hook);

} // namespace kestrivel
