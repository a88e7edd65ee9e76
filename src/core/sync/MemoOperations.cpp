#include "sync/MemoOperations.h"

#include "config/ConfigData.h"
#include "sync/SyncReconcile.h"

#include <map>

namespace kestrivel {

namespace {

bool sameMemo(const TMemo& a, const TMemo& b) {
    return a.Text == b.Text && a.MemoType == b.MemoType;
}

// Wanted on top of the memo now at the date: only what the user changed is taken from Wanted.
TMemoOperationResult change(TMemoList& memos, int index, const TMemo& seen, const TMemo& wanted) {
    TMemo now;
    memos.GetMemo(static_cast<uint16_t>(index), now);
    if (sameMemo(now, seen) || sameMemo(now, wanted)) {
        memos.Modify(index, wanted.Text, wanted.MemoType);
        return TMemoOperationResult::Applied;
    }
    const bool textEdited = wanted.Text != seen.Text;
    const bool textMoved = now.Text != seen.Text;
    const std::string text = !textEdited  ? now.Text
                             : !textMoved ? wanted.Text
                                          : JoinMemoTexts(wanted.Text, now.Text);
    const uint8_t type = wanted.MemoType != seen.MemoType ? wanted.MemoType : now.MemoType;
    memos.Modify(index, text, type);
    return textEdited && textMoved && text != wanted.Text ? TMemoOperationResult::Joined
                                                          : TMemoOperationResult::Applied;
}

TMemoOperationResult apply(TMemoList& memos, const TMemoOperation& operation) {
    using Kind = TMemoOperation::Kind;
    const TMemo& key = operation.What == Kind::Add ? operation.Wanted : operation.Seen;
    const int index = memos.IndexOfDate(key.Date);
    switch (operation.What) {
    case Kind::Add:
        if (index >= 0) {
            return TMemoOperationResult::DateTaken;
        }
        return memos.Add(operation.Wanted.Text, operation.Wanted.MemoType, operation.Wanted.Date)
                   ? TMemoOperationResult::Applied
                   : TMemoOperationResult::ListFull;
    case Kind::Change:
        if (index < 0) {
            // Removed meanwhile: the edit wins over the removal.
            return memos.Add(operation.Wanted.Text, operation.Wanted.MemoType, operation.Seen.Date)
                       ? TMemoOperationResult::Applied
                       : TMemoOperationResult::ListFull;
        }
        return change(memos, index, operation.Seen, operation.Wanted);
    case Kind::Remove:
        if (index < 0) {
            return TMemoOperationResult::Applied;
        }
        TMemo now;
        memos.GetMemo(static_cast<uint16_t>(index), now);
        if (!sameMemo(now, operation.Seen)) {
            return TMemoOperationResult::Kept;
        }
        memos.Delete(index);
        return TMemoOperationResult::Applied;
    }
    return TMemoOperationResult::Applied;
}

} // namespace

std::vector<TMemoOperation> MemoOperationsBetween(const std::vector<TMemo>& base,
                                                  const std::vector<TMemo>& edited) {
    std::map<TDateValue, const TMemo*> before;
    std::map<TDateValue, const TMemo*> after;
    for (const TMemo& memo : base) {
        before.emplace(memo.Date, &memo);
    }
    for (const TMemo& memo : edited) {
        after.emplace(memo.Date, &memo);
    }
    std::vector<TMemoOperation> removals;
    std::vector<TMemoOperation> changes;
    std::vector<TMemoOperation> adds;
    for (const auto& [date, memo] : before) {
        const auto now = after.find(date);
        if (now == after.end()) {
            removals.push_back({TMemoOperation::Kind::Remove, *memo, {}});
        } else if (!sameMemo(*memo, *now->second)) {
            changes.push_back({TMemoOperation::Kind::Change, *memo, *now->second});
        }
    }
    for (const auto& [date, memo] : after) {
        if (!before.contains(date)) {
            adds.push_back({TMemoOperation::Kind::Add, {}, *memo});
        }
    }
    removals.insert(removals.end(), changes.begin(), changes.end());
    removals.insert(removals.end(), adds.begin(), adds.end());
    return removals;
}

TMemoOperationResult ApplyMemoOperations(TConfigData& data, const std::vector<TMemoOperation>& operations) {
    const TConfigData::FilesLock lock = data.LockFiles();
    if (lock.held()) {
        data.RefreshMemos();
    }
    TMemoOperationResult overall = TMemoOperationResult::Applied;
    for (const TMemoOperation& operation : operations) {
        TMemoOperationResult result = apply(data.Memos, operation);
        if (result == TMemoOperationResult::DateTaken) {
            // Added here and there at once: both texts stay, as a change on both sides.
            const int index = data.Memos.IndexOfDate(operation.Wanted.Date);
            TMemo there;
            data.Memos.GetMemo(static_cast<uint16_t>(index), there);
            result = TMemoOperationResult::Applied;
            if (there.Text != operation.Wanted.Text) {
                data.Memos.Modify(index, JoinMemoTexts(operation.Wanted.Text, there.Text), there.MemoType);
                result = TMemoOperationResult::Joined;
            }
        }
        if (result == TMemoOperationResult::ListFull) {
            overall = result;
        } else if (result == TMemoOperationResult::Joined && overall == TMemoOperationResult::Applied) {
            overall = result;
        }
    }
    if (!lock.held()) {
        data.MemosNotSaved();
        return TMemoOperationResult::NotSaved;
    }
    return data.SaveMemos() ? overall : TMemoOperationResult::NotSaved;
}

TMemoOperationResult ApplyMemoOperation(TConfigData& data, const TMemoOperation& operation) {
    const TConfigData::FilesLock lock = data.LockFiles();
    if (lock.held()) {
        // What a sync or another program saved since this program last read the file.
        data.RefreshMemos();
    }
    const TMemoOperationResult result = apply(data.Memos, operation);
    const bool changed = result == TMemoOperationResult::Applied || result == TMemoOperationResult::Joined;
    if (changed && !lock.held()) {
        data.MemosNotSaved();
        return TMemoOperationResult::NotSaved;
    }
    if (changed && !data.SaveMemos()) {
        return TMemoOperationResult::NotSaved;
    }
    return result;
}

} // namespace kestrivel
