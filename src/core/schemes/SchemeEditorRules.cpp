#include "schemes/SchemeEditorRules.h"

#include "common/IntConv.h"

namespace kestrivel {

namespace {

constexpr std::array<ValueRowInfo, kValueRowCount> kRows = {{
    {"Value0", "Font", "Arial", ValueEditKind::FontList, {}, 0},
    {"Value1", "Size", "10", ValueEditKind::SizeList, {}, 0},
    {"Value2", "Text", "Standard", ValueEditKind::Choice, "Text", 4},
    {"Value3", "Text color", "000,000,000", ValueEditKind::Color, {}, 0},
    {"Value4", "Effect", "None", ValueEditKind::Choice, "Effect", 3},
    {"Value5", "Effect color", "000,000,000", ValueEditKind::Color, {}, 0},
    {"Value6", "Back", "None", ValueEditKind::Choice, "Back", 2},
    {"Value7", "Back color", "000,000,000", ValueEditKind::Color, {}, 0},
    {"Value8", "Frame", "None", ValueEditKind::Choice, "Frame", 3},
    {"Value9", "Frame color", "000,000,000", ValueEditKind::Color, {}, 0},
    {"Value10", "Padding", "0", ValueEditKind::Number, {}, 0},
    {"Value11", "Spacing", "0", ValueEditKind::Number, {}, 0},
}};

// The values TextStyle takes for the four text choices: one style at a time.
constexpr std::array<uint8_t, 4> kTextStyles = {0, fsBold, fsItalic, fsUnderline};

template <size_t N>
void fillWords(std::array<std::string, N>& words, const TNameValueList& valueNames, std::string_view prefix) {
    for (size_t i = 0; i < N; ++i) {
        words[i] = valueNames.value(std::string(prefix) + std::to_string(i));
    }
}

size_t textChoice(uint8_t style) {
    if (style & fsUnderline) {
        return 3;
    }
    if (style & fsItalic) {
        return 2;
    }
    return (style & fsBold) ? 1 : 0;
}

// A 16-bit field from a decimal text: the low 16 bits of the 32-bit value are kept.
bool toWord(const std::string& text, uint16_t& field, std::string& error) {
    const std::optional<int32_t> value = StrToIntOpt(text);
    if (!value) {
        error = InvalidIntegerMessage(text);
        return false;
    }
    field = static_cast<uint16_t>(static_cast<uint32_t>(*value) & 0xFFFF);
    return true;
}

bool toColor(const std::string& text, TColor& field, std::string& error) {
    return TextToColor(text, field, &error);
}

} // namespace

const std::array<ValueRowInfo, kValueRowCount>& ValueRowTable() {
    return kRows;
}

const std::vector<uint16_t>& FontSizeChoices() {
    static const std::vector<uint16_t> sizes = {8,  9,  10, 11, 12, 14, 16, 18, 20, 22, 24, 26,
                                                28, 30, 32, 36, 38, 40, 42, 44, 46, 48, 50};
    return sizes;
}

bool RowApplies(int zone, int row) {
    if (zone == zoneCalendar) {
        return row >= rowBack && row <= rowPadding;
    }
    if (zone >= zoneWeekends && zone <= zoneMemoDays) {
        return row < rowPadding;
    }
    return true;
}

int RowAfterZoneSwitch(int zone, int row) {
    if (zone == zoneCalendar && (row < rowBack || row == rowSpacing)) {
        return rowBack;
    }
    if (zone >= zoneWeekends && zone <= zoneMemoDays && row >= rowPadding) {
        return rowFrameColor;
    }
    return row;
}

ChoiceWords ChoiceWordsFrom(const TNameValueList& valueNames) {
    ChoiceWords words;
    fillWords(words.Text, valueNames, kRows[rowText].ChoicePrefix);
    fillWords(words.Effect, valueNames, kRows[rowEffect].ChoicePrefix);
    fillWords(words.Back, valueNames, kRows[rowBack].ChoicePrefix);
    fillWords(words.Frame, valueNames, kRows[rowFrame].ChoicePrefix);
    return words;
}

std::vector<std::string> ChoiceList(const ChoiceWords& words, int row) {
    switch (row) {
    case rowText:
        return {words.Text.begin(), words.Text.end()};
    case rowEffect:
        return {words.Effect.begin(), words.Effect.end()};
    case rowBack:
        return {words.Back.begin(), words.Back.end()};
    case rowFrame:
        return {words.Frame.begin(), words.Frame.end()};
    default:
        return {};
    }
}

ValueTexts BuiltInKeys() {
    ValueTexts keys;
    for (int row = 0; row < kValueRowCount; ++row) {
        keys[row] = kRows[row].BuiltInKey;
    }
    return keys;
}

ValueTexts BuiltInValues() {
    ValueTexts values;
    for (int row = 0; row < kValueRowCount; ++row) {
        values[row] = kRows[row].BuiltInText;
    }
    return values;
}

ValueTexts RowKeys(const TNameValueList& valueNames) {
    ValueTexts keys;
    for (int row = 0; row < kValueRowCount; ++row) {
        keys[row] = valueNames.value(kRows[row].Key);
    }
    return keys;
}

ValueTexts RowsFromSettings(const TSettings& settings, const ChoiceWords& words) {
    ValueTexts v;
    v[rowFont] = settings.FontName;
    v[rowSize] = std::to_string(settings.FontSize);
    v[rowText] = words.Text[textChoice(settings.TextStyle)];
    v[rowTextColor] = ColorToText(settings.TextColor);
    v[rowEffect] = words.Effect[settings.Outline ? 2 : settings.Shadow ? 1 : 0];
    v[rowEffectColor] = ColorToText(settings.EffectColor);
    v[rowBack] = words.Back[settings.BackSolid ? 1 : 0];
    v[rowBackColor] = ColorToText(settings.BackColor);
    v[rowFrame] = words.Frame[!settings.Frame ? 0 : settings.RoundCorners ? 2 : 1];
    v[rowFrameColor] = ColorToText(settings.FrameColor);
    v[rowPadding] = std::to_string(settings.Padding);
    v[rowSpacing] = std::to_string(settings.Spacing);
    return v;
}

bool RowsToSettings(const ValueTexts& v, const ChoiceWords& words, TSettings& s, std::string& error) {
    // Each field is written before the next row is read, so a failing row keeps what came before.
    s.FontName = v[rowFont];
    if (!toWord(v[rowSize], s.FontSize, error)) {
        return false;
    }
    for (size_t i = 0; i < words.Text.size(); ++i) {
        if (v[rowText] == words.Text[i]) {
            s.TextStyle = kTextStyles[i];
            break;
        }
    }
    if (!toColor(v[rowTextColor], s.TextColor, error)) {
        return false;
    }
    s.Shadow = v[rowEffect] == words.Effect[1];
    s.Outline = v[rowEffect] == words.Effect[2];
    if (!toColor(v[rowEffectColor], s.EffectColor, error)) {
        return false;
    }
    s.BackSolid = v[rowBack] != words.Back[0];
    if (!toColor(v[rowBackColor], s.BackColor, error)) {
        return false;
    }
    s.Frame = v[rowFrame] != words.Frame[0];
    s.RoundCorners = v[rowFrame] == words.Frame[2];
    if (!toColor(v[rowFrameColor], s.FrameColor, error)) {
        return false;
    }
    return toWord(v[rowPadding], s.Padding, error) && toWord(v[rowSpacing], s.Spacing, error);
}

} // namespace kestrivel
