#include "common/TextTrim.h"

namespace kestrivel {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

namespace {

// Characters that show nothing or reorder what follows: zero-width ones, the bidi marks, embeddings,
// overrides and isolates, the line and paragraph separators, the soft hyphen and the byte-order mark.
// A server's text with them can read as something other than it is.
bool IsInvisibleOrBidi(char32_t c) {
    return c == 0x00AD || c == 0x061C || c == 0x180E || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF ||
           (c >= 0xFFF9 && c <= 0xFFFB);
}

// The code point of the UTF-8 sequence at `text[i]` and its length; length 1 for a byte that starts
// no well-formed sequence.
char32_t DecodeAt(std::string_view text, size_t i, size_t& length) {
    const auto lead = static_cast<unsigned char>(text[i]);
    length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length == 1 || i + length > text.size()) {
        length = 1;
        return lead;
    }
    char32_t c = lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            length = 1;
            return lead;
        }
        c = (c << 6) | (next & 0x3F);
    }
    return c;
}

} // namespace

std::string OneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        size_t length = 1;
        const char32_t c = DecodeAt(text, i, length);
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F && length == 2) || IsInvisibleOrBidi(c)) {
            out += '?';
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

} // namespace kestrivel
