#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/NameValueList.h"
#include "schemes/UnitSchemes.h"

namespace kestrivel {

// The rules of the zone style editor: twelve rows of text, each standing for one or two fields of
// a zone record. The widget only shows the texts and hands the edited texts back.

enum TValueRow : int {
    rowFont = 0,
    rowSize = 1,
    rowText = 2,
    rowTextColor = 3,
    rowEffect = 4,
    rowEffectColor = 5,
    rowBack = 6,
    rowBackColor = 7,
    rowFrame = 8,
    rowFrameColor = 9,
    rowPadding = 10,
    rowSpacing = 11,
};
inline constexpr int kValueRowCount = 12;

// How a row is edited.
enum class ValueEditKind {
    FontList, // the platform's font names, no typing
    SizeList, // the font sizes, typing allowed
    Choice,   // the row's choice words, no typing
    Color,    // colour text with a button that opens the colour dialog
    Number,   // free text, a decimal number
};

struct ValueRowInfo {
    std::string_view Key;         // value-name key of the row's caption
    std::string_view BuiltInKey;  // caption before the first filling
    std::string_view BuiltInText; // value before the first filling
    ValueEditKind Kind;
    // Value-name key prefix of the choice words ("Text" gives Text0, Text1, ...), and their number.
    std::string_view ChoicePrefix;
    int ChoiceCount;
};

// The twelve rows, in row order.
const std::array<ValueRowInfo, kValueRowCount>& ValueRowTable();

// The sizes offered for row 1, smallest first.
const std::vector<uint16_t>& FontSizeChoices();

// Whether a row edits a property that the zone uses: zone 0 has no text, zones 4 to 6 take their
// padding and spacing from zone 3.
bool RowApplies(int zone, int row);
// The current row after switching to `zone`: off a row that does not apply, onto the nearest one.
int RowAfterZoneSwitch(int zone, int row);

// The choice words of rows 2, 4, 6 and 8 as the value names give them at one moment.
struct ChoiceWords {
    std::array<std::string, 4> Text;
    std::array<std::string, 3> Effect;
    std::array<std::string, 2> Back;
    std::array<std::string, 3> Frame;

    bool operator==(const ChoiceWords&) const = default;
};
ChoiceWords ChoiceWordsFrom(const TNameValueList& valueNames);
// The pick list of a choice row, in table order; empty for other rows.
std::vector<std::string> ChoiceList(const ChoiceWords& words, int row);

using ValueTexts = std::array<std::string, kValueRowCount>;

// The rows before the editor is first filled: "Font=Arial", ..., "Spacing=0".
ValueTexts BuiltInKeys();
ValueTexts BuiltInValues();

// The captions of the rows from the value names.
ValueTexts RowKeys(const TNameValueList& valueNames);
// The value texts of a zone record in the given words.
ValueTexts RowsFromSettings(const TSettings& settings, const ChoiceWords& words);

// Stores the texts into the record field by field, in row order. On the first text that does not
// convert it stops, returns false and puts "'<text>' is not a valid integer value" into `error`;
// the fields before that row have been stored, the rest is untouched. Choice texts are compared
// with `words` exactly; a text row 2 does not know leaves TextStyle as it was.
bool RowsToSettings(const ValueTexts& values, const ChoiceWords& words, TSettings& settings,
                    std::string& error);

} // namespace kestrivel
