#pragma once

// Builds language-file bytes item by item for the language tests, so each test states the exact
// layout it feeds to the reader.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrivel {

namespace langbytes {

inline std::string I32(int32_t v) {
    std::string out;
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
    }
    return out;
}

inline std::string U16(uint16_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

inline std::string Str(std::string_view s) {
    return I32(static_cast<int32_t>(s.size())) + std::string(s);
}

inline std::string Header(uint16_t version = 200) {
    return Str("LanguageFile") + U16(version);
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

inline std::string Section(std::string_view name, const Pairs& pairs) {
    std::string out = Str(name) + U16(static_cast<uint16_t>(pairs.size()));
    for (const auto& [key, text] : pairs) {
        out += Str(key) + Str(text);
    }
    return out;
}

// Language name, header value and section count, as they follow the header.
inline std::string Lead(std::string_view name, uint16_t value, uint16_t sections) {
    return Str(name) + U16(value) + U16(sections);
}

} // namespace langbytes

} // namespace kestrivel
