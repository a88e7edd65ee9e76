#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/DateValue.h"

namespace kestrivel {

class TMemoList;

// The memos of one day as the hint lists them: for Single, Weekly, Monthly and Yearly in this order,
// the memo FindMemo picks for that type on `date`. At most four texts, as stored (";" breaks a line).
std::vector<std::string> MemoTextsOn(const TMemoList& memos, TDateValue date);

// Those memos as one text, each on its own line and every ";" a line break too, lines ended by
// `lineBreak`: what the hint, a screen reader and the reminder show of a day. False when no memo
// falls on `date`.
bool DayMemoLines(const TMemoList& memos, TDateValue date, std::string_view lineBreak, std::string& lines);

} // namespace kestrivel
