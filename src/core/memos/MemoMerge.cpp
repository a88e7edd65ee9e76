#include "memos/MemoMerge.h"

#include "memos/UnitMemo.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

namespace kestrivel {

namespace {

// The date's bits: the file's own key, so 0.0 and -0.0, or two NaNs, stay apart as they are apart
// on disk.
using DateKey = uint64_t;

DateKey keyOf(const TMemo& memo) {
    return std::bit_cast<DateKey>(memo.Date);
}

// Every memo of each date, in list order.
using Groups = std::unordered_map<DateKey, std::vector<const TMemo*>>;

Groups groupByDate(const std::vector<TMemo>& memos) {
    Groups groups;
    groups.reserve(memos.size());
    for (const TMemo& memo : memos) {
        groups[keyOf(memo)].push_back(&memo);
    }
    return groups;
}

const std::vector<const TMemo*>* find(const Groups& groups, DateKey key) {
    const auto it = groups.find(key);
    return it == groups.end() ? nullptr : &it->second;
}

bool sameMemos(const std::vector<const TMemo*>* a, const std::vector<const TMemo*>* b) {
    if (a == nullptr || b == nullptr) {
        return a == b;
    }
    return std::equal(a->begin(), a->end(), b->begin(), b->end(), [](const TMemo* x, const TMemo* y) {
        return x->Text == y->Text && x->MemoType == y->MemoType;
    });
}

// Which side's memos a date keeps; none when the date goes.
const std::vector<const TMemo*>* chosen(const Groups& base, const Groups& ours, const Groups& disk,
                                        DateKey key) {
    const auto* b = find(base, key);
    const auto* o = find(ours, key);
    const auto* d = find(disk, key);
    if (sameMemos(o, b)) {
        return d;
    }
    if (o == nullptr) {
        return sameMemos(d, b) ? nullptr : d;
    }
    return o;
}

// Date order with the NaNs last, so that sorting never meets an unordered pair.
bool earlier(const TMemo* a, const TMemo* b) {
    if (std::isnan(a->Date) || std::isnan(b->Date)) {
        return !std::isnan(a->Date) && std::isnan(b->Date);
    }
    return a->Date < b->Date;
}

} // namespace

bool mergeMemos(const std::vector<TMemo>& base, const std::vector<TMemo>& ours,
                const std::vector<TMemo>& disk, std::vector<TMemo>& merged) {
    merged.clear();
    const Groups baseGroups = groupByDate(base);
    const Groups ourGroups = groupByDate(ours);
    const Groups diskGroups = groupByDate(disk);

    // Our order first, each date once, with the memos the rule keeps for it.
    std::vector<const TMemo*> kept;
    std::unordered_set<DateKey> placed;
    for (const TMemo& memo : ours) {
        const DateKey key = keyOf(memo);
        if (placed.insert(key).second) {
            if (const auto* memos = chosen(baseGroups, ourGroups, diskGroups, key)) {
                kept.insert(kept.end(), memos->begin(), memos->end());
            }
        }
    }
    // Then the dates only the disk still has.
    std::vector<const TMemo*> fromDisk;
    for (const TMemo& memo : disk) {
        const DateKey key = keyOf(memo);
        if (placed.insert(key).second) {
            if (const auto* memos = chosen(baseGroups, ourGroups, diskGroups, key)) {
                fromDisk.insert(fromDisk.end(), memos->begin(), memos->end());
            }
        }
    }
    if (kept.size() + fromDisk.size() > TMemoList::kMaxCount) {
        return false;
    }
    // Each one behind every memo of the same or an earlier date, as Add puts a new memo.
    std::stable_sort(fromDisk.begin(), fromDisk.end(), earlier);
    merged.reserve(kept.size() + fromDisk.size());
    auto next = fromDisk.begin();
    for (const TMemo* memo : kept) {
        while (next != fromDisk.end() && earlier(*next, memo)) {
            merged.push_back(**next++);
        }
        merged.push_back(*memo);
    }
    for (; next != fromDisk.end(); ++next) {
        merged.push_back(**next);
    }
    return true;
}

} // namespace kestrivel
