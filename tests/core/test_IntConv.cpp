#include "common/IntConv.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace kestrivel;

namespace {

struct Case {
    const char* Text;
    std::optional<int32_t> Expected;
};

void expectAll(const Case* cases, size_t count, std::optional<int32_t> (*fn)(std::string_view)) {
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(fn(cases[i].Text), cases[i].Expected) << "text: \"" << cases[i].Text << "\"";
    }
}

TEST(StrToIntOpt, DecimalWithBlanksAndOneSign) {
    const Case cases[] = {
        {"0", 0},
        {"7", 7},
        {"-1", -1},
        {"+42", 42},
        {"  12", 12},
        {"\t-3", -3},
        {"007", 7},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"2147483648", {}},
        {"-2147483649", {}},
        {"99999999999999999999", {}},
    };
    expectAll(cases, std::size(cases), StrToIntOpt);
}

TEST(StrToIntOpt, HexadecimalWithDollarOrZeroX) {
    const Case cases[] = {
        {"$ff", 255},       {"$FF", 255},
        {"-$10", -16},      {"$7FFFFFFF", INT32_MAX},
        {"$FFFFFFFF", -1},  {"$80000000", INT32_MIN},
        {"$100000000", {}}, {"0x1A", 26},
        {"0X1a", 26},       {" -0x10", -16},
        {"$", {}},          {"0x", {}},
        {"$g", {}},
    };
    expectAll(cases, std::size(cases), StrToIntOpt);
}

TEST(StrToIntOpt, AnythingElseIsNoValue) {
    const Case cases[] = {
        {"", {}},    {" ", {}},   {"-", {}},   {"+-1", {}}, {"--1", {}},   {"1 ", {}},  {"1x", {}},
        {"1.0", {}}, {"1e3", {}}, {"yes", {}}, {"١", {}},   {"12 34", {}}, {"- 1", {}}, {"0b1", {}},
    };
    expectAll(cases, std::size(cases), StrToIntOpt);
}

TEST(StrToIntOpt, EmbeddedZeroByteIsNotIgnored) {
    EXPECT_EQ(StrToIntOpt(std::string_view("12\0"
                                           "3",
                                           4)),
              std::nullopt);
}

TEST(ProfileStrToIntOpt, ZeroXLongerThanTwoCharactersIsHex) {
    const Case cases[] = {
        {"0x3", 3},  {"0X105", 261}, {"0xFFFFFFFF", -1}, {"0x", {}},           {"0x-5", {}},
        {"0xg", {}}, {"256", 256},   {"-1", -1},         {"$10", 16},          {"  0x10", 16},
        {"", {}},    {"abc", {}},    {"0", 0},           {"0x00000000003", 3},
    };
    expectAll(cases, std::size(cases), ProfileStrToIntOpt);
}

TEST(InvalidIntegerMessage, QuotesTheText) {
    EXPECT_EQ(InvalidIntegerMessage("abc"), "'abc' is not a valid integer value");
    EXPECT_EQ(InvalidIntegerMessage(""), "'' is not a valid integer value");
}

} // namespace
