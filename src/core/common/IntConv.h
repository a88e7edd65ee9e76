#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrivel {

// Integer reading with the rules of the settings file and the colour text: leading blanks, one
// optional sign, then decimal digits, or "$" followed by hexadecimal digits; nothing may follow.
// Out of the 32-bit range, empty, or anything else: no value. Never throws.
std::optional<int32_t> StrToIntOpt(std::string_view text);

// As StrToIntOpt, but a text longer than two characters that begins with "0x" or "0X" is read as
// hexadecimal first (the settings-file rule).
std::optional<int32_t> ProfileStrToIntOpt(std::string_view text);

// The conversion error text the user sees: "'%s' is not a valid integer value".
std::string InvalidIntegerMessage(std::string_view text);

} // namespace kestrivel
