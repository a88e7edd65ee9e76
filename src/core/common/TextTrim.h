#pragma once

#include <string>
#include <string_view>

namespace kestrivel {

// Blanks are spaces and tabs: the settings file and the language sources trim only these.
bool IsBlank(char c);
std::string_view TrimBlanks(std::string_view text);

// `text` as one printable line: every control character (C0, DEL, and C1 written as UTF-8) and every
// zero-width, bidi or separator character becomes '?', so a string a server sent can neither start a
// line of its own, steer a terminal, nor show itself as another text.
std::string OneLine(std::string_view text);

} // namespace kestrivel
