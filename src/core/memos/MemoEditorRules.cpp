#include "memos/MemoEditorRules.h"

#include "lang/MessageTable.h"
#include "memos/UnitMemo.h"

#include <algorithm>

namespace kestrivel {

namespace {

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Start of the character holding byte `pos`, so a cut never splits a UTF-8 sequence or a CR LF.
size_t CharStart(std::string_view text, size_t pos) {
    while (pos > 0 && pos < text.size() && IsContinuation(text[pos])) {
        --pos;
    }
    if (pos > 0 && pos < text.size() && text[pos] == '\n' && text[pos - 1] == '\r') {
        --pos;
    }
    return pos;
}

// Byte length of the first `chars` characters of `text` (all of it when it has fewer).
size_t PrefixBytes(std::string_view text, size_t chars) {
    size_t pos = 0;
    for (size_t n = 0; n < chars && pos < text.size(); ++n) {
        if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') {
            pos += 2;
            continue;
        }
        ++pos;
        while (pos < text.size() && IsContinuation(text[pos])) {
            ++pos;
        }
    }
    return pos;
}

} // namespace

MemoEditorFields MemoEditorFieldsFor(TDateValue date, std::string_view text, int memoType) {
    MemoEditorFields fields;
    const TYmd ymd = DecodeDate(date);
    fields.Day = ymd.Day;
    fields.Month = ymd.Month;
    fields.Year = ymd.Year;
    fields.EditorText = MemoTextToEditor(text);
    fields.MemoType = memoType;
    return fields;
}

MemoEditorResult CheckMemoEditor(const MemoEditorFields& fields, bool dateLocked, TDateValue presetDate) {
    MemoEditorResult result;
    if (dateLocked) {
        result.Memo.Date = presetDate;
    } else if (!TryEncodeDate(fields.Year, fields.Month, fields.Day, result.Memo.Date)) {
        result.Error = 1;
        return result;
    }
    result.Memo.Text = EditorTextToMemo(fields.EditorText);
    // Callers hand the list the low 8 bits of the type.
    result.Memo.MemoType = static_cast<uint8_t>(fields.MemoType);
    return result;
}

std::string MemoTextToEditor(std::string_view stored, std::string_view lineBreak) {
    std::string out;
    out.reserve(stored.size());
    for (const char c : stored) {
        if (c == ';') {
            out.append(lineBreak);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string EditorTextToMemo(std::string_view edited) {
    std::string out;
    out.reserve(edited.size());
    for (size_t i = 0; i < edited.size(); ++i) {
        const char c = edited[i];
        if (c == '\r') {
            out.push_back(';');
            if (i + 1 < edited.size() && edited[i + 1] == '\n') {
                ++i;
            }
        } else if (c == '\n') {
            out.push_back(';');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

size_t MemoEditorTextLength(std::string_view edited) {
    size_t count = 0;
    for (size_t i = 0; i < edited.size(); ++i) {
        if (IsContinuation(edited[i]) || (edited[i] == '\n' && i > 0 && edited[i - 1] == '\r')) {
            continue;
        }
        ++count;
    }
    return count;
}

std::string LimitMemoEditorText(std::string_view before, std::string_view after) {
    const size_t afterChars = MemoEditorTextLength(after);
    if (afterChars <= kMemoEditorMaxChars || afterChars <= MemoEditorTextLength(before)) {
        return std::string(after);
    }
    // The edit is what lies between the common head and the common tail of the two texts.
    const size_t most = std::min(before.size(), after.size());
    size_t head = 0;
    while (head < most && before[head] == after[head]) {
        ++head;
    }
    head = CharStart(after, head);
    size_t tail = 0;
    while (tail < most - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
        ++tail;
    }
    // A match that ended inside a character gives the whole character to the insertion.
    size_t cutEnd = after.size() - tail;
    while (cutEnd < after.size() && (IsContinuation(after[cutEnd]) ||
                                     (after[cutEnd] == '\n' && cutEnd > 0 && after[cutEnd - 1] == '\r'))) {
        ++cutEnd;
    }
    const std::string_view inserted = after.substr(head, cutEnd - head);
    const size_t kept = MemoEditorTextLength(after) - MemoEditorTextLength(inserted);
    const size_t room = kMemoEditorMaxChars > kept ? kMemoEditorMaxChars - kept : 0;
    std::string out(after.substr(0, head));
    out.append(inserted.substr(0, PrefixBytes(inserted, room)));
    out.append(after.substr(cutEnd));
    return out;
}

bool cutMemoText(std::string& text) {
    const size_t keep = PrefixBytes(text, kMemoEditorMaxChars);
    if (keep == text.size()) {
        return false;
    }
    text.resize(keep);
    return true;
}

int MemoAddRefusal(const TMemoList& memos, TDateValue date) {
    if (memos.IndexOfDate(date) >= 0) {
        return TErrorMessage::DateTaken;
    }
    return memos.Count() >= TMemoList::kMaxCount ? TErrorMessage::MemoListFull : 0;
}

} // namespace kestrivel
