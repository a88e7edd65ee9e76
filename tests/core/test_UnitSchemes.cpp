#include "schemes/UnitSchemes.h"

#include "common/BinaryStream.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <cstdint>
#include <string>

using namespace kestrivel;

namespace {

TSettings Distinct() {
    TSettings s;
    s.FontName = "Verdana";
    s.FontSize = 0x1234;
    s.TextColor = 0x00A1B2C3;
    s.TextStyle = fsBold | fsStrikeOut;
    s.Outline = true;
    s.Shadow = false;
    s.EffectColor = 0x00D4E5F6;
    s.BackSolid = true;
    s.BackColor = 0x00070809;
    s.Frame = false;
    s.RoundCorners = true;
    s.FrameColor = 0x000A0B0C;
    s.Padding = 0x5678;
    s.Spacing = 0x9ABC;
    return s;
}

} // namespace

TEST(Settings, ZoneRecordLayoutIsByteExact) {
    const TSettings s = Distinct();
    BinaryWriter out;
    WriteSettings(out, s);
    const std::string& d = out.data();
    const size_t L = s.FontName.size();
    ASSERT_EQ(d.size(), 32 + L);
    EXPECT_EQ(U32At(d, 0), L);
    EXPECT_EQ(d.substr(4, L), "Verdana");
    EXPECT_EQ(U16At(d, 4 + L), 0x1234);
    EXPECT_EQ(U32At(d, 6 + L), 0x00A1B2C3u);
    EXPECT_EQ(d[10 + L], 9);
    EXPECT_EQ(d[11 + L], 1);
    EXPECT_EQ(d[12 + L], 0);
    EXPECT_EQ(U32At(d, 13 + L), 0x00D4E5F6u);
    EXPECT_EQ(d[17 + L], 1);
    EXPECT_EQ(U32At(d, 18 + L), 0x00070809u);
    EXPECT_EQ(d[22 + L], 0);
    EXPECT_EQ(d[23 + L], 1);
    EXPECT_EQ(U32At(d, 24 + L), 0x000A0B0Cu);
    EXPECT_EQ(U16At(d, 28 + L), 0x5678);
    EXPECT_EQ(U16At(d, 30 + L), 0x9ABC);
}

TEST(Settings, RoundTripAndAnyNonZeroByteIsTrue) {
    BinaryWriter out;
    WriteSettings(out, Distinct());
    std::string d = out.data();
    d[11 + 7] = 2;      // Outline
    d[12 + 7] = '\xFF'; // Shadow
    BinaryReader in(d);
    TSettings read;
    ASSERT_TRUE(ReadSettings(in, read));
    EXPECT_EQ(in.remaining(), 0u);
    TSettings expected = Distinct();
    expected.Shadow = true;
    EXPECT_EQ(read, expected);
    EXPECT_TRUE(read.Outline);
}

TEST(Settings, NonPositiveFontNameLengthReadsEmptyAndNextFieldFollows) {
    for (int32_t length : {0, -1, -2147483647 - 1}) {
        BinaryWriter out;
        out.writeI32(length);
        TSettings rest = Distinct();
        rest.FontName.clear();
        BinaryWriter tail;
        WriteSettings(tail, rest);
        const std::string d = out.data() + tail.data().substr(4); // the fields behind the name
        BinaryReader in(d);
        TSettings read;
        read.FontName = "stale";
        ASSERT_TRUE(ReadSettings(in, read)) << length;
        EXPECT_EQ(read, rest) << length;
        EXPECT_EQ(in.remaining(), 0u);
    }
}

TEST(Settings, ShortRecordFailsAndLeavesTargetAlone) {
    BinaryWriter out;
    WriteSettings(out, Distinct());
    const std::string full = out.data();
    for (size_t cut = 0; cut < full.size(); ++cut) {
        const std::string d = full.substr(0, cut);
        BinaryReader in(d);
        TSettings target;
        target.FontName = "keep";
        EXPECT_FALSE(ReadSettings(in, target)) << cut;
        EXPECT_EQ(target.FontName, "keep");
        EXPECT_EQ(target.FontSize, 0);
    }
}

TEST(Scheme, NewSchemeIsAllZero) {
    TScheme s;
    EXPECT_TRUE(s.Name.empty());
    for (const TSettings& z : s.Settings) {
        EXPECT_EQ(z, TSettings{});
    }
}

TEST(Scheme, DefaultHasArial10InZonesOneToSeven) {
    const TScheme s = DefaultScheme();
    EXPECT_TRUE(s.Name.empty());
    EXPECT_EQ(s.Settings[zoneCalendar], TSettings{});
    for (int z = zoneTitle; z < kZoneCount; ++z) {
        TSettings expected;
        expected.FontName = "Arial";
        expected.FontSize = 10;
        EXPECT_EQ(s.Settings[z], expected) << z;
    }
}

TEST(Scheme, AssignCopiesNameAndAllZonesIndependently) {
    TScheme source;
    source.Name = "Night";
    for (int z = 0; z < kZoneCount; ++z) {
        source.Settings[z] = Distinct();
        source.Settings[z].Padding = static_cast<uint16_t>(z);
    }
    TScheme copy;
    copy.Assign(source);
    EXPECT_EQ(copy.Name, "Night");
    for (int z = 0; z < kZoneCount; ++z) {
        EXPECT_EQ(copy.Settings[z], source.Settings[z]);
    }
    copy.Settings[3].FontName = "Courier";
    copy.Name = "Day";
    EXPECT_EQ(source.Settings[3].FontName, "Verdana");
    EXPECT_EQ(source.Name, "Night");
    copy.Assign(copy);
    EXPECT_EQ(copy.Name, "Day");
}

TEST(Scheme, RecordIsNameThenEightZonesAndReadsBack) {
    TScheme s = DefaultScheme();
    s.Name = std::string("Gr\xFCn", 4); // written as held, read back as UTF-8
    s.Settings[7] = Distinct();
    BinaryWriter out;
    s.WriteToFile(out);
    const std::string& d = out.data();
    ASSERT_EQ(d.size(), 4 + 4 + 32 + 6 * 37 + (32 + 7));
    EXPECT_EQ(U32At(d, 0), 4u);
    EXPECT_EQ(d.substr(4, 4), s.Name);
    EXPECT_EQ(U32At(d, 8), 0u); // zone 0: empty font name
    EXPECT_EQ(U32At(d, 8 + 32), 5u);
    EXPECT_EQ(d.substr(8 + 32 + 4, 5), "Arial");

    const std::string withTail = d + "trailing";
    BinaryReader in(withTail);
    TScheme read;
    ASSERT_TRUE(read.ReadFromFile(in));
    EXPECT_EQ(read.Name, "Gr\xC3\xBCn");
    EXPECT_EQ(read.Settings, s.Settings);
    EXPECT_EQ(in.remaining(), 8u);
}

TEST(Scheme, CutRecordFailsAndLeavesSchemeAlone) {
    TScheme s = DefaultScheme();
    s.Name = "Cut";
    BinaryWriter out;
    s.WriteToFile(out);
    for (size_t cut : {size_t(0), size_t(3), size_t(7), out.data().size() / 2, out.data().size() - 1}) {
        const std::string d = out.data().substr(0, cut);
        BinaryReader in(d);
        TScheme target;
        target.Name = "keep";
        EXPECT_FALSE(target.ReadFromFile(in)) << cut;
        EXPECT_EQ(target.Name, "keep");
        EXPECT_EQ(target.Settings[1], TSettings{});
    }
}

TEST(ColorText, ColorToText) {
    EXPECT_EQ(ColorToText(0), "0,0,0");
    EXPECT_EQ(ColorToText(0x0000FF), "255,0,0");
    EXPECT_EQ(ColorToText(0xFF0000), "0,0,255");
    EXPECT_EQ(ColorToText(0 + 128 * 256 + 255 * 65536), "0,128,255");
    EXPECT_EQ(ColorToText(0x00010203), "3,2,1");
}

TEST(ColorText, SystemColourCountsAsPlainRgb) {
    EXPECT_EQ(ColorToText(0x80000005), "5,0,0");
    EXPECT_EQ(ColorToText(0xFF0A0B0C), "12,11,10");
}

TEST(ColorText, TextToColorReadsComponents) {
    TColor c = 1;
    ASSERT_TRUE(TextToColor("0,128,255", c));
    EXPECT_EQ(c, 0xFF8000u);
    ASSERT_TRUE(TextToColor("0,0,0", c));
    EXPECT_EQ(c, 0u);
    ASSERT_TRUE(TextToColor("256,0,0", c));
    EXPECT_EQ(c, 0u);
    ASSERT_TRUE(TextToColor("300,1,2", c));
    EXPECT_EQ(c, 44u + 256u + 2u * 65536u);
    ASSERT_TRUE(TextToColor("007,08,0009", c));
    EXPECT_EQ(c, 7u + 8u * 256u + 9u * 65536u);
    TColor a = 0;
    TColor b = 0;
    ASSERT_TRUE(TextToColor("12;34;56", a));
    ASSERT_TRUE(TextToColor("12,34,56", b));
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, 12u + 34u * 256u + 56u * 65536u);
    // Anything after the blue digits is never looked at.
    ASSERT_TRUE(TextToColor("1,2,3xyz", c));
    EXPECT_EQ(c, 0x030201u);
}

TEST(ColorText, TextToColorFailures) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"255,0", "'' is not a valid integer value"},
        {"", "'' is not a valid integer value"},
        {"12, 34, 56", "'' is not a valid integer value"},
        {",1,2", "'' is not a valid integer value"},
        {"1,2,", "'' is not a valid integer value"},
        {"-1,0,0", "'' is not a valid integer value"},
        {"2147483648,0,0", "'2147483648' is not a valid integer value"},
        {"1,99999999999,0", "'99999999999' is not a valid integer value"},
    };
    for (const Case& tc : cases) {
        TColor c = 0x123456;
        std::string error;
        EXPECT_FALSE(TextToColor(tc.text, c, &error)) << tc.text;
        EXPECT_EQ(error, tc.message) << tc.text;
        EXPECT_EQ(c, 0x123456u) << tc.text;
    }
    TColor c = 0;
    EXPECT_FALSE(TextToColor("x", c)); // no error text wanted
    TColor big = 0;
    ASSERT_TRUE(TextToColor("2147483647,0,0", big));
    EXPECT_EQ(big, 0xFFu);
}

TEST(ColorText, RoundTripOfEveryPrimaryLevel) {
    for (unsigned v = 0; v < 256; v += 15) {
        const TColor color = v | ((255 - v) << 8) | ((v / 2) << 16);
        TColor back = 0;
        ASSERT_TRUE(TextToColor(ColorToText(color), back));
        EXPECT_EQ(back, color);
    }
}
