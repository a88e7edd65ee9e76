#pragma once

#include <string>
#include <string_view>

namespace kestrivel {

// Texts in our files are bytes without a code-page mark. We write UTF-8; on reading, bytes that
// are valid UTF-8 are kept as they are and anything else is taken as Windows-1252 (the code page
// older files were written in) and converted to UTF-8.
bool IsValidUtf8(std::string_view bytes);
std::string Windows1252ToUtf8(std::string_view bytes);
// Valid UTF-8 unchanged; otherwise Windows1252ToUtf8.
std::string BytesToUtf8(std::string_view bytes);
// `text` with backslash, tab, line feed and carriage return written as \\, \t, \n and \r, the
// escapes of desktop entries and of our own line-based files, appended to `out`.
void AppendBackslashEscaped(std::string& out, std::string_view text);

} // namespace kestrivel
