#include "schemes/UnitSchemes.h"

#include "common/BinaryStream.h"
#include "common/IntConv.h"
#include "common/TextCodec.h"

#include <utility>

namespace kestrivel {

namespace {

constexpr const char* kDefaultFontName = "Arial";
constexpr uint16_t kDefaultFontSize = 10;

// The longest run of digits from `pos` on; `pos` ends behind it.
std::string TakeDigits(const std::string& text, size_t& pos) {
    const size_t start = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        ++pos;
    }
    return text.substr(start, pos - start);
}

} // namespace

void WriteSettings(BinaryWriter& out, const TSettings& s) {
    out.writeString(s.FontName);
    out.writeU16(s.FontSize);
    out.writeU32(s.TextColor);
    out.writeU8(s.TextStyle);
    out.writeBool(s.Outline);
    out.writeBool(s.Shadow);
    out.writeU32(s.EffectColor);
    out.writeBool(s.BackSolid);
    out.writeU32(s.BackColor);
    out.writeBool(s.Frame);
    out.writeBool(s.RoundCorners);
    out.writeU32(s.FrameColor);
    out.writeU16(s.Padding);
    out.writeU16(s.Spacing);
}

bool ReadSettings(BinaryReader& in, TSettings& settings) {
    TSettings s;
    const bool ok = in.readString(s.FontName) && in.readU16(s.FontSize) && in.readU32(s.TextColor) &&
                    in.readU8(s.TextStyle) && in.readBool(s.Outline) && in.readBool(s.Shadow) &&
                    in.readU32(s.EffectColor) && in.readBool(s.BackSolid) && in.readU32(s.BackColor) &&
                    in.readBool(s.Frame) && in.readBool(s.RoundCorners) && in.readU32(s.FrameColor) &&
                    in.readU16(s.Padding) && in.readU16(s.Spacing);
    if (ok) {
        settings = std::move(s);
    }
    return ok;
}

void TScheme::Assign(const TScheme& source) {
    if (&source == this) {
        return;
    }
    Name = source.Name;
    Settings = source.Settings;
}

void TScheme::WriteToFile(BinaryWriter& out) const {
    out.writeString(Name);
    for (const TSettings& s : Settings) {
        WriteSettings(out, s);
    }
}

bool TScheme::ReadFromFile(BinaryReader& in) {
    // Read into a scratch copy so that a record cut short never leaves a half-filled scheme.
    TScheme read;
    std::string name;
    if (!in.readString(name)) {
        return false;
    }
    // Older files hold names in Windows-1252; compared and shown, every name is UTF-8.
    read.Name = BytesToUtf8(name);
    for (TSettings& s : read.Settings) {
        if (!ReadSettings(in, s)) {
            return false;
        }
    }
    Assign(read);
    return true;
}

TScheme DefaultScheme() {
    TScheme scheme;
    for (int zone = zoneTitle; zone < kZoneCount; ++zone) {
        scheme.Settings[zone].FontName = kDefaultFontName;
        scheme.Settings[zone].FontSize = kDefaultFontSize;
    }
    return scheme;
}

std::string ColorToText(TColor color) {
    const unsigned red = color & 0xFF;
    const unsigned green = (color >> 8) & 0xFF;
    const unsigned blue = (color >> 16) & 0xFF;
    return std::to_string(red) + "," + std::to_string(green) + "," + std::to_string(blue);
}

bool TextToColor(const std::string& text, TColor& color, std::string* error) {
    // The separator is never looked at: one character is skipped between the runs, whatever it is.
    size_t pos = 0;
    std::array<std::string, 3> parts;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0 && pos < text.size()) {
            ++pos;
        }
        parts[i] = TakeDigits(text, pos);
    }
    TColor result = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::optional<int32_t> value = StrToIntOpt(parts[i]);
        if (!value) {
            if (error) {
                *error = InvalidIntegerMessage(parts[i]);
            }
            return false;
        }
        result |= (static_cast<TColor>(*value) & 0xFF) << (8 * i);
    }
    color = result;
    return true;
}

} // namespace kestrivel
