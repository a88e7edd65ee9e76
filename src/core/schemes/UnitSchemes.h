#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrivel {

class BinaryReader;
class BinaryWriter;

// Colour 0x00BBGGRR: red in the low byte. A value with the top bit set names a system colour.
using TColor = uint32_t;

// The calendar window's see-through colour, fuchsia: the same in either byte order. A zone drawn in
// it is not shown.
inline constexpr TColor kKeyColour = 0xFF00FF;
constexpr bool IsKeyColour(TColor colour) {
    return (colour & 0xFFFFFF) == kKeyColour;
}

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

// One zone record: 32 bytes plus the length of the font name.
void WriteSettings(BinaryWriter& out, const TSettings& settings);
// False when the record is not wholly there; `settings` is then left as it was.
bool ReadSettings(BinaryReader& in, TSettings& settings);

class TScheme {
public:
    // UTF-8: a name read from a file is kept when it is UTF-8 and otherwise taken as Windows-1252
    // and converted, so names compare and show the same whichever encoding wrote them.
    std::string Name;
    std::array<TSettings, kZoneCount> Settings{};

    // Copies the name and the eight zone styles.
    void Assign(const TScheme& source);
    // The scheme record: the name, then the eight zone records, zone 0 first.
    void WriteToFile(BinaryWriter& out) const;
    // False when the record is not wholly there; the scheme is then left as it was.
    bool ReadFromFile(BinaryReader& in);
};

// The look the calendar starts with when Schemes.dat gives none: "Arial" 10 in zones 1 to 7.
TScheme DefaultScheme();

// --- Colour text: "red,green,blue" in decimal ---

// A system colour (top bit set) is written as plain RGB: its top byte is dropped.
std::string ColorToText(TColor color);
// False on malformed text; `error` (when given) then receives the integer-conversion message
// naming the offending component, and `color` is left alone.
bool TextToColor(const std::string& text, TColor& color, std::string* error = nullptr);

// --- The list of schemes and Schemes.dat ---

// Position 0 is the active record (the look at the last apply, named by the index the editor's
// selection showed then); positions 1 and up are the user's named schemes in name order.
class TSchemeList {
public:
    static constexpr std::string_view Header = "CalendarSchemes";
    static constexpr uint16_t Version = 110;
    static constexpr uint16_t MinVersion = 110;

    TSchemeList() = default;
    virtual ~TSchemeList();
    TSchemeList(const TSchemeList&) = delete;
    TSchemeList& operator=(const TSchemeList&) = delete;

    void Clear();
    uint16_t Count() const { return static_cast<uint16_t>(m_items.size()); }

    // First scheme from position 0 on with exactly this name; none for an empty name.
    TScheme* Find(const std::string& name) const;
    TScheme* Get(uint16_t position) const;

    // Inserts a copy in name order behind the active record (a copy of the first scheme becomes
    // the active record). False when nothing was added: no scheme, empty name, or the list is full.
    bool Add(const TScheme* scheme);
    bool Add(const TScheme& scheme) { return Add(&scheme); }
    // Appends a copy at the end without looking at its name. False when the list is full.
    bool Append(const TScheme& scheme);
    // The scheme that bears the given scheme's name takes its name and styles, keeping its place.
    void Replace(const TScheme& scheme);
    void Rename(uint16_t position, const std::string& name);
    void Delete(uint16_t position);

    // Files are replaced atomically: a failed save leaves the previous file whole.
    bool SaveToFile(const std::string& fileName) const;
    // False when the file is missing, not a regular file, larger than kDataFileCap, of another
    // version or damaged. A rejected file, header or version leaves the list untouched; a damaged
    // body keeps the schemes read completely before it. Leftovers of interrupted saves are removed.
    bool LoadFromFile(const std::string& fileName);
    // Writes the scheme at `position` alone; false, touching no file, when there is none.
    bool ExportToFile(uint16_t position, const std::string& fileName) const;
    // Appends the one scheme of an exported file at the end; the list is unchanged on failure.
    bool ImportFromFile(const std::string& fileName);

    // The 16-bit count of the file cannot hold more.
    static constexpr size_t kMaxCount = 65535;

private:
    std::vector<std::unique_ptr<TScheme>> m_items;
};

// Byte order of the UTF-8 scheme names: unsigned bytes (so code-point order), a prefix sorts first,
// letter case significant.
bool SchemeNameLess(const std::string& a, const std::string& b);

// Reads the one scheme record of an exported scheme file (a regular file of at most kDataFileCap
// bytes); bytes after the record are ignored.
bool ReadSchemeFile(const std::string& fileName, TScheme& scheme);

// --- Steps run by the configuration dialog ---

// Start-up: the working scheme gets the built-in look, the list is loaded from `path`, and a
// loaded active record becomes the working scheme. Returns whether the file loaded completely
// (false also when there is none).
bool LoadSchemesAtStartup(const std::string& path, TSchemeList& list, TScheme& working);

// Apply: the working scheme is named after the selected index (-1 for none), stored as the active
// record and the list is saved to `path`. Returns the result of the save.
bool ApplyScheme(int selectedIndex, TScheme& working, TSchemeList& list, const std::string& path);

// While the list is empty, a named scheme would land at position 0 and be taken for the active
// record. These create the active record from the working scheme first (named "-1", as no named
// scheme can be selected yet), so the named scheme keeps its place among the named ones.
void EnsureActiveRecord(TSchemeList& list, const TScheme& working);
// Saves `named` into the list; false (list unchanged) for an empty name or a full list.
bool AddNamedScheme(TSchemeList& list, const TScheme& working, const TScheme& named);
// Imports the scheme of an exported file; false (list unchanged) when the file cannot be read.
bool ImportNamedScheme(TSchemeList& list, const TScheme& working, const std::string& fileName);

} // namespace kestrivel
