#include "common/TextTrim.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace kestrivel;

namespace {

TEST(TextTrim, OneLineTable) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"http://h/cal/", "http://h/cal/"},
        {"a\nkestrivel: synced with x", "a?kestrivel: synced with x"},
        {std::string("nul\0x", 5), "nul?x"},
        {"esc\x1b[2Jdel\x7f", "esc?[2Jdel?"},
        {"csi \xC2\x9B"
         "31m",
         "csi ?31m"},                                     // U+009B, a terminal's one-byte CSI
        {"caf\xC3\xA9 \xC2\xA0", "caf\xC3\xA9 \xC2\xA0"}, // letters and a no-break space stay
        {"pay\xE2\x80\x8Bpal", "pay?pal"},                // U+200B zero width space
        {"a\xE2\x80\x8D\xE2\x80\x8C"
         "b",
         "a??b"},                                    // U+200D, U+200C joiners
        {"file\xE2\x80\xAEgpj.exe", "file?gpj.exe"}, // U+202E right-to-left override
        {"\xE2\x81\xA6x\xE2\x81\xA9", "?x?"},        // U+2066 .. U+2069 isolate
        {"\xE2\x80\x8Fr\xD8\x9C", "?r?"},            // U+200F mark, U+061C Arabic letter mark
        {"\xEF\xBB\xBF"
         "bom",
         "?bom"}, // U+FEFF
        {"a\xE2\x80\xA8"
         "b",
         "a?b"},                       // U+2028 line separator
        {"soft\xC2\xADhy", "soft?hy"}, // U+00AD soft hyphen
        {"\xE2\x82\xAC \xF0\x9F\x98\x80 \xE2\x80\x90",
         "\xE2\x82\xAC \xF0\x9F\x98\x80 \xE2\x80\x90"}, // euro, emoji, hyphen
        {"cut \xE2\x80", "cut \xE2\x80"},               // a broken sequence is left as bytes
    };
    for (const auto& [text, line] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(OneLine(text), line);
    }
}

} // namespace
