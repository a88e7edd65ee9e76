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
    };
    for (const auto& [text, line] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(OneLine(text), line);
    }
}

} // namespace
