#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/DateValue.h"
#include "memos/Memo.h"

namespace kestrivel {

class TMemoList;

// What the memo editor does with its fields, apart from the widgets: filling the controls from a
// memo, the "Ok" check and the text conversions. The dialog stays a thin shell around these.

// The text box takes at most this many characters (UTF-8 code points; a line break is one).
static constexpr size_t kMemoEditorMaxChars = 255;

// The controls' contents. Month is the month number 1..12 (list position + 1); MemoType is the
// type list's position 0..3.
struct MemoEditorFields {
    int Day = 1;
    int Month = 1;
    int Year = 2000;
    std::string EditorText; // line breaks as the text box holds them: LF, CR LF or CR
    int MemoType = mtSingle;
};

struct MemoEditorResult {
    int Error = 0; // 0 accepted; 1 is the invalid-date message of the message table
    TMemo Memo;    // Date, Text in its one-line form, MemoType; set only when Error is 0
};

// The controls' contents for a memo about to be shown: day, month and year of `date` (its time of
// day plays no role), the text with each ";" turned into a line break, the type as it stands.
MemoEditorFields MemoEditorFieldsFor(TDateValue date, std::string_view text, int memoType);

// "Ok": in add mode (`dateLocked` false) the date is built from the fields and an impossible one
// (31 April, 29 February outside leap years, years outside 1..9999) gives error 1; in modify mode
// the fields' date is not read and `presetDate` is kept. The text goes to its one-line form. The
// text is not cut here: the limit holds for typing only, so a longer stored text that was opened
// and left alone comes back whole.
MemoEditorResult CheckMemoEditor(const MemoEditorFields& fields, bool dateLocked, TDateValue presetDate);

// Why a memo cannot be added on `date`, as the number of the error the editor shows with the text
// kept: 0 none, TErrorMessage::DateTaken for a taken date, TErrorMessage::MemoListFull when the list
// holds TMemoList::kMaxCount memos.
int MemoAddRefusal(const TMemoList& memos, TDateValue date);

// Stored form -> text box: each ";" becomes `lineBreak`.
std::string MemoTextToEditor(std::string_view stored, std::string_view lineBreak = "\n");
// Text box -> stored form: each CR LF, CR or LF becomes one ";".
std::string EditorTextToMemo(std::string_view edited);

// Characters of a text box content: UTF-8 code points, a CR LF pair counting once.
size_t MemoEditorTextLength(std::string_view edited);

// The text box after an edit turned `before` into `after`, with the limit applied as typing
// meets it: an edit that stays within kMemoEditorMaxChars (or does not lengthen a text already
// longer, as one read from a file can be) is kept; a longer insertion is cut to what fits, at a
// character boundary, keeping the text before and after it.
std::string LimitMemoEditorText(std::string_view before, std::string_view after);

// A text that an import brings in is cut to kMemoEditorMaxChars characters (";" is one), never
// inside a character, so that whatever the program stores, its editor can show and save again.
// True when anything was cut.
bool cutMemoText(std::string& text);

} // namespace kestrivel
