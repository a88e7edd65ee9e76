#include "memos/DayMemos.h"

#include "memos/UnitMemo.h"

namespace kestrivel {

std::vector<std::string> MemoTextsOn(const TMemoList& memos, TDateValue date) {
    std::vector<std::string> texts;
    for (const uint8_t type : {mtSingle, mtWeekly, mtMonthly, mtYearly}) {
        const int index = memos.FindMemo(type, date);
        if (index >= 0) {
            texts.push_back(memos.Items()[static_cast<size_t>(index)].Text);
        }
    }
    return texts;
}

std::string BreakLines(std::string_view text, std::string_view lineBreak) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == ';') {
            out.append(lineBreak);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

bool ReminderBody(const TMemoList& memos, TDateValue date, std::string& body) {
    const std::vector<std::string> texts = MemoTextsOn(memos, date);
    body.clear();
    for (size_t i = 0; i < texts.size(); ++i) {
        body += (i == 0 ? "" : "\n") + BreakLines(texts[i], "\n");
    }
    return !texts.empty();
}

} // namespace kestrivel
