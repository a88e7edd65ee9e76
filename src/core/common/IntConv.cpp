#include "common/IntConv.h"

#include <cstdint>
#include <string>

namespace kestrivel {

namespace {

int digitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') {
        v = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        v = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        v = c - 'A' + 10;
    }
    return v < base ? v : -1;
}

// Decimal digits must fit the signed range; hexadecimal digits are a 32-bit pattern, so $FFFFFFFF
// reads as -1, the way the profile and colour readers always took them.
std::optional<int32_t> parseDigits(std::string_view digits, int base, bool negative) {
    if (digits.empty()) {
        return std::nullopt;
    }
    uint64_t acc = 0;
    for (char c : digits) {
        const int v = digitValue(c, base);
        if (v < 0) {
            return std::nullopt;
        }
        acc = acc * static_cast<uint64_t>(base) + static_cast<uint64_t>(v);
        if (acc > 0xFFFFFFFFull) {
            return std::nullopt;
        }
    }
    if (base == 16) {
        const auto pattern = static_cast<int32_t>(static_cast<uint32_t>(acc));
        return negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(pattern)) : pattern;
    }
    if (negative) {
        if (acc > 2147483648ull) {
            return std::nullopt;
        }
        return static_cast<int32_t>(-static_cast<int64_t>(acc));
    }
    if (acc > 2147483647ull) {
        return std::nullopt;
    }
    return static_cast<int32_t>(acc);
}

} // namespace

std::optional<int32_t> StrToIntOpt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i < text.size() && text[i] == '$') {
        return parseDigits(text.substr(i + 1), 16, negative);
    }
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        return parseDigits(text.substr(i + 2), 16, negative);
    }
    return parseDigits(text.substr(i), 10, negative);
}

std::optional<int32_t> ProfileStrToIntOpt(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return parseDigits(text.substr(2), 16, false);
    }
    return StrToIntOpt(text);
}

std::string InvalidIntegerMessage(std::string_view text) {
    return "'" + std::string(text) + "' is not a valid integer value";
}

} // namespace kestrivel
