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

// `text` with every ";" turned into `lineBreak`.
std::string BreakLines(std::string_view text, std::string_view lineBreak);

// The body of the reminder of the memos of `date`: each memo on its own line, every ";" a line break
// too. False when no memo falls on that day: there is nothing to remind of.
bool ReminderBody(const TMemoList& memos, TDateValue date, std::string& body);

} // namespace kestrivel
