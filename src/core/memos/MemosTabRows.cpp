#include "memos/MemosTabRows.h"

#include <algorithm>

#include "common/DateFormat.h"
#include "common/DateValue.h"
#include "memos/UnitMemo.h"

namespace kestrivel {

int MemosTabBodyRows(int memoCount) {
    return std::max(memoCount, 0);
}

bool MemosTabCommandsEnabled(int memoCount) {
    return memoCount > 0;
}

std::string MemoTypeName(int memoType, const TNameValueList& valueNames) {
    if (memoType < mtSingle || memoType > mtYearly) {
        return {};
    }
    return valueNames.value("Type" + std::to_string(memoType));
}

MemosTabRow MemosTabRowOf(const TMemoList& memos, int index, const TLocaleFormats& formats,
                          const TNameValueList& valueNames) {
    MemosTabRow row;
    if (index < 0 || index >= memos.Count()) {
        return row;
    }
    const TMemo& memo = memos.Items()[static_cast<size_t>(index)];
    if (IsValidDateValue(memo.Date)) {
        row.Date = FormatDate("ddddd", memo.Date, formats);
    }
    row.Text = memo.Text;
    row.Type = MemoTypeName(memo.MemoType, valueNames);
    return row;
}

std::optional<MemoBlock> SelectedMemos(int topRow, int bottomRow, int memoCount) {
    if (topRow > bottomRow) {
        std::swap(topRow, bottomRow);
    }
    // Grid row r shows memo r - 1; the title row and rows past the list stand for no memo.
    const int first = std::max(topRow - 1, 0);
    const int last = std::min(bottomRow - 1, memoCount - 1);
    if (memoCount <= 0 || first > last) {
        return std::nullopt;
    }
    return MemoBlock{first, last};
}

void RemoveMemos(TMemoList& memos, const MemoBlock& block) {
    // From the bottom up, so every index still names the memo it named before the removal.
    for (int i = std::min(block.Last, memos.Count() - 1); i >= block.First && i >= 0; --i) {
        memos.Delete(i);
    }
}

int MemosLeftOutOfExport(const TMemoList& memos, const MemoBlock& block, bool iCalendar) {
    return MemosLeftOutByReason(memos, block, iCalendar).Total();
}

ExportLeftOut MemosLeftOutByReason(const TMemoList& memos, const MemoBlock& block, bool iCalendar) {
    ExportLeftOut out;
    const std::vector<TMemo>& items = memos.Items();
    for (int i = std::max(block.First, 0); i <= block.Last && i < static_cast<int>(items.size()); ++i) {
        const TMemo& memo = items[static_cast<size_t>(i)];
        if (!IsValidDateValue(memo.Date)) {
            ++out.NoDate;
        } else if (iCalendar && DecodeDate(memo.Date).Year > kLastICalendarYear) {
            ++out.AfterYear;
        } else if (iCalendar && memo.MemoType > mtYearly) {
            ++out.UnknownType;
        }
    }
    return out;
}

} // namespace kestrivel
