#pragma once

#include <vector>

#include "memos/Memo.h"

namespace kestrivel {

// Memos.dat changed on disk since this program last read or wrote it (`base`); `ours` is the list
// in memory, `disk` what the file holds now. The memos are keyed by date, exactly as the 8 bytes
// of the file hold it; the key's value is every memo of that date in list order (one, unless a
// load or an import left a date taken twice). For each key:
//   - ours as in the base: the disk's version stands, added, changed or deleted there;
//   - deleted by us: deleted, unless the disk changed it since the base (the disk's then stays);
//   - added or changed by us: ours.
// The result keeps our list order; memos that come from the disk alone go in by date, each in
// front of the first of ours with a later date (where Add puts it while the list is in date
// order). False, with `merged` empty, when the result would hold more memos than the list and its
// file can (TMemoList::kMaxCount).
bool mergeMemos(const std::vector<TMemo>& base, const std::vector<TMemo>& ours,
                const std::vector<TMemo>& disk, std::vector<TMemo>& merged);

} // namespace kestrivel
