#pragma once

#include <array>
#include <cstdint>
#include <string>

class BinaryReader;
class BinaryWriter;

// Colour 0x00BBGGRR: red in the low byte. A value with the top bit set names a system colour.
using TColor = uint32_t;

enum TZone : int {
    zoneCalendar = 0,
    zoneTitle = 1,
    zoneWeek = 2, // week-day initials and week numbers
    zoneDays = 3,
    zoneWeekends = 4,
    zoneToday = 5,
    zoneMemoDays = 6,
    zoneTodaysMemo = 7,
};
constexpr int kZoneCount = 8;

// TextStyle bits.
constexpr uint8_t fsBold = 1;
constexpr uint8_t fsItalic = 2;
constexpr uint8_t fsUnderline = 4;
constexpr uint8_t fsStrikeOut = 8;

// The style of one zone. Field order is the order of the zone record in the scheme files.
struct TSettings {
    std::string FontName;
    uint16_t FontSize = 0;
    TColor TextColor = 0;
    uint8_t TextStyle = 0;
    bool Outline = false;
    bool Shadow = false;
    TColor EffectColor = 0;
    bool BackSolid = false;
    TColor BackColor = 0;
    bool Frame = false;
    bool RoundCorners = false;
    TColor FrameColor = 0;
    uint16_t Padding = 0;
    uint16_t Spacing = 0;

    bool operator==(const TSettings&) const = default;
};

class TScheme {
public:
    std::string Name;
    std::array<TSettings, kZoneCount> Settings{};

    // Copies the name and the eight zone styles.
    void Assign(const TScheme& source);
    void WriteToFile(BinaryWriter& out) const;
    // False when the record is not wholly there; the scheme may then be partly overwritten.
    bool ReadFromFile(BinaryReader& in);
};

// The look the calendar starts with when Schemes.dat gives none: "Arial" 10 in zones 1 to 7.
TScheme DefaultScheme();
