#pragma once

#include <string>
#include <vector>

namespace kestrivel {

// Why `path` cannot be read, in the system's words ("Permission denied", "No such file or
// directory"), or "it is a folder" / "it is not a regular file"; empty when it opens as a regular
// file.
std::string ReadFailureReason(const std::string& path);

// Why a save of `path` failed, in the system's words: what stands in its way (a missing or
// read-only folder, a file the user may not write, a full disk) when that can be seen afterwards,
// else the text of `error`, the errno the save left; a plain statement when neither says more.
std::string WriteFailureReason(const std::string& path, int error);

// True when `path` exists but the user may not open it for reading: the file is there, not damaged,
// and only its rights keep it from the program.
bool LacksReadPermission(const std::string& path);

// True when `target` is one of `files`: the same file reached by another name or link, or, for a
// file not there yet, the same name in the same folder.
bool IsOneOfFiles(const std::string& target, const std::vector<std::string>& files);

} // namespace kestrivel
