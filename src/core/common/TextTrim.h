#pragma once

#include <string_view>

namespace kestrivel {

// Blanks are spaces and tabs: the settings file and the language sources trim only these.
bool IsBlank(char c);
std::string_view TrimBlanks(std::string_view text);

} // namespace kestrivel
