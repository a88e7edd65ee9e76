#pragma once

#include <string>
#include <string_view>

namespace kestrivel {

// Replaces `path` with `data` so that a reader never sees a half-written file: the bytes go to a
// temporary file in the same folder, which is flushed, synced and renamed over the target, then
// the folder is synced. On any failure the temporary file is removed, the previous file stays
// whole, and the result is false.
bool WriteFileAtomic(const std::string& path, std::string_view data);

} // namespace kestrivel
