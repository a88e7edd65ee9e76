#pragma once

#include <optional>
#include <string>

#include "common/NameValueList.h"

namespace kestrivel {

class TMemoList;
struct TLocaleFormats;

// What the Memos tab's grid shows and which memos its selection stands for, kept out of the widget.
// Grid rows count as the grid draws them: row 0 is the title row, row r shows memo r - 1.

// The three cells of one memo's row.
struct MemosTabRow {
    std::string Date; // the user's short date format, as the exchange file writes it
    std::string Text; // as stored, ";" where the user typed a line break
    std::string Type; // the value name "Type0".."Type3"; empty for any other code
};

// Rows below the title row: one per memo. An empty list shows none; a blank row would look like a
// memo without a date and text.
int MemosTabBodyRows(int memoCount);
// Modify..., Remove and Export... work only while the list holds a memo.
bool MemosTabCommandsEnabled(int memoCount);

// The type's name from the value names ("Type0" to "Type3"); empty above 3.
std::string MemoTypeName(int memoType, const TNameValueList& valueNames);
// The cells of memo `index`; all empty for an index outside the list. A date no calendar day
// stands for (only a damaged file holds one) shows empty.
MemosTabRow MemosTabRowOf(const TMemoList& memos, int index, const TLocaleFormats& formats,
                          const TNameValueList& valueNames);

// The memos a selected block of grid rows stands for, first..last in list order.
struct MemoBlock {
    int First = 0;
    int Last = 0;
    int Count() const { return Last - First + 1; }
};
// The block of grid rows `topRow`..`bottomRow` (in either order) as memo indexes, kept within the
// list; none when the list is empty or the block holds no memo row.
std::optional<MemoBlock> SelectedMemos(int topRow, int bottomRow, int memoCount);
// Deletes the memos of the block as they were numbered before the removal.
void RemoveMemos(TMemoList& memos, const MemoBlock& block);

// How many memos of the block an export leaves out: those without a real date, and for an
// iCalendar file also those after the year 3000 (libical writes no later date) or of an unknown type.
int MemosLeftOutOfExport(const TMemoList& memos, const MemoBlock& block, bool iCalendar);
// The same, by reason, so that each can be named.
struct ExportLeftOut {
    int NoDate = 0;      // not a day of the years 1..9999
    int AfterYear = 0;   // iCalendar only: after kLastICalendarYear
    int UnknownType = 0; // iCalendar only: a type code other than 0..3
    int Total() const { return NoDate + AfterYear + UnknownType; }
};
inline constexpr int kLastICalendarYear = 3000;
ExportLeftOut MemosLeftOutByReason(const TMemoList& memos, const MemoBlock& block, bool iCalendar);

} // namespace kestrivel
