#include "common/TextCodec.h"

#include <gtest/gtest.h>

#include <string>

using namespace kestrivel;

namespace {

TEST(IsValidUtf8, AcceptsWellFormedSequences) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain ASCII ;=[]"));
    EXPECT_TRUE(IsValidUtf8("caf\xC3\xA9"));               // é
    EXPECT_TRUE(IsValidUtf8("\xE2\x82\xAC"));              // €
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x93\x85"));          // 📅
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));          // U+10FFFF
    EXPECT_TRUE(IsValidUtf8("\xED\x9F\xBF"));              // U+D7FF, just below the surrogates
    EXPECT_TRUE(IsValidUtf8(std::string_view("a\0b", 3))); // zero bytes are ASCII
}

TEST(IsValidUtf8, RefusesBrokenSequences) {
    EXPECT_FALSE(IsValidUtf8("caf\xE9"));              // Windows-1252 é
    EXPECT_FALSE(IsValidUtf8("\xC3"));                 // cut short at the end
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));             // cut short at the end
    EXPECT_FALSE(IsValidUtf8("\xE2\x82x"));            // continuation missing
    EXPECT_FALSE(IsValidUtf8("\xA9"));                 // lone continuation byte
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));             // overlong zero
    EXPECT_FALSE(IsValidUtf8("\xC1\xBF"));             // overlong
    EXPECT_FALSE(IsValidUtf8("\xE0\x9F\xBF"));         // overlong three-byte
    EXPECT_FALSE(IsValidUtf8("\xF0\x8F\xBF\xBF"));     // overlong four-byte
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));         // surrogate U+D800
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));     // past U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xF8\x88\x80\x80\x80")); // five-byte form
    EXPECT_FALSE(IsValidUtf8("\xFF"));
}

TEST(Windows1252ToUtf8, MapsEveryByte) {
    EXPECT_EQ(Windows1252ToUtf8("abc"), "abc");
    EXPECT_EQ(Windows1252ToUtf8("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(Windows1252ToUtf8("\x80"), "\xE2\x82\xAC"); // €
    EXPECT_EQ(Windows1252ToUtf8("\x85"), "\xE2\x80\xA6"); // …
    EXPECT_EQ(Windows1252ToUtf8("\x92"), "\xE2\x80\x99"); // ’
    EXPECT_EQ(Windows1252ToUtf8("\x9F"), "\xC5\xB8");     // Ÿ
    EXPECT_EQ(Windows1252ToUtf8("\x81"), "\xC2\x81");     // unassigned: C1 control
    EXPECT_EQ(Windows1252ToUtf8("\xA0"), "\xC2\xA0");
    EXPECT_EQ(Windows1252ToUtf8("\xFF"), "\xC3\xBF"); // ÿ
    EXPECT_EQ(Windows1252ToUtf8(std::string_view("\0", 1)), std::string("\0", 1));
    // Every byte gives valid UTF-8.
    std::string all;
    for (int c = 0; c < 256; ++c) {
        all.push_back(static_cast<char>(c));
    }
    const std::string converted = Windows1252ToUtf8(all);
    EXPECT_TRUE(IsValidUtf8(converted));
    // ASCII one byte each; of 0x80..0x9F seventeen marks take three bytes and fifteen (letters and
    // the unassigned five) two; 0xA0..0xFF two each.
    EXPECT_EQ(converted.size(), 128u + 17 * 3 + 15 * 2 + 96 * 2);
}

TEST(BytesToUtf8, KeepsUtf8AndConvertsTheRest) {
    EXPECT_EQ(BytesToUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(BytesToUtf8("caf\xE9"), "caf\xC3\xA9");
    // One bad byte makes the whole text legacy, even the part that looked like UTF-8.
    EXPECT_EQ(BytesToUtf8("\xC3\xA9 \xE9"), "\xC3\x83\xC2\xA9 \xC3\xA9");
    EXPECT_EQ(BytesToUtf8(""), "");
}

} // namespace
