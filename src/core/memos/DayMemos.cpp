#include "memos/DayMemos.h"

#include "memos/MemoEditorRules.h"
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

bool DayMemoLines(const TMemoList& memos, TDateValue date, std::string_view lineBreak, std::string& lines) {
    const std::vector<std::string> texts = MemoTextsOn(memos, date);
    lines.clear();
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) {
            lines.append(lineBreak);
        }
        lines += MemoTextToEditor(texts[i], lineBreak);
    }
    return !texts.empty();
}

} // namespace kestrivel
