#include "config/ConfigCopy.h"

#include "config/ConfigData.h"
#include "memos/MemoMerge.h"
#include "schemes/SchemeMerge.h"

#include <utility>

namespace kestrivel {

void CopyEditedData(const TConfigData& from, TConfigData& to) {
    if (&from == &to) {
        return;
    }
    to.Options = from.Options;
    to.Sync = from.Sync;
    to.Subscriptions = from.Subscriptions;
    to.CurrentScheme.Assign(from.CurrentScheme);
    to.Schemes.Clear();
    for (uint16_t i = 0; i < from.Schemes.Count(); ++i) {
        to.Schemes.Append(*from.Schemes.Get(i));
    }
    to.Memos = from.Memos;
}

TEditedBase EditedBaseOf(const TConfigData& data) {
    return {data.Memos.Items(), schemesOf(data.Schemes)};
}

bool ApplyEditedData(const TEditedBase& base, const TConfigData& from, TConfigData& to, int& selectedIndex,
                     bool withMemos) {
    std::vector<TMemo> memos;
    const std::vector<TScheme> ours = schemesOf(from.Schemes);
    std::vector<TScheme> schemes;
    if ((withMemos && !mergeMemos(base.Memos, from.Memos.Items(), to.Memos.Items(), memos)) ||
        !mergeSchemes(base.Schemes, ours, schemesOf(to.Schemes), schemes)) {
        return false;
    }
    selectedIndex = mergedSelection(ours, selectedIndex, schemes);
    to.Options = from.Options;
    to.Sync = from.Sync;
    to.Subscriptions = from.Subscriptions;
    to.CurrentScheme.Assign(from.CurrentScheme);
    assignSchemes(to.Schemes, schemes);
    if (withMemos) {
        to.Memos.assignItems(std::move(memos));
    }
    return true;
}

} // namespace kestrivel
