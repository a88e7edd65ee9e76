#pragma once

#include <vector>

#include "memos/Memo.h"
#include "schemes/UnitSchemes.h"

namespace kestrivel {

class TConfigData;

// Copies the data the configuration dialog edits (the options, the sync settings, the working
// scheme, the scheme list and the memo list) from one owner to another. The dialog works on such a
// copy, so that only Ok and Apply change what the calendar shows and what is saved; paths, the
// window position and what the owner knows of its files stay with each owner.
void CopyEditedData(const TConfigData& from, TConfigData& to);

// The memos and the schemes (position 0 first) as the data owner held them when the dialog copied
// them: what tells the dialog's own changes from those the owner took in while it was open.
struct TEditedBase {
    std::vector<TMemo> Memos;
    std::vector<TScheme> Schemes;
};
TEditedBase EditedBaseOf(const TConfigData& data);

// Ok and Apply: the dialog's copy `from`, taken at `base`, goes to the data owner `to`, which may
// have taken in memos meanwhile (a sync, another program's save). The memos merge by date and the
// schemes by name as a save merges with its file (mergeMemos, mergeSchemes), the dialog's changes
// since `base` going on top of what `to` holds now; the options, the sync settings and the working
// scheme are the dialog's. `selectedIndex`, the editor's index in `from`'s scheme list, becomes
// that scheme's index in the result (-1 when it is gone). False, changing nothing, when the result
// would hold more memos or schemes than a list can. Without `withMemos`, `to`'s memos are left as
// they are: the caller applies the dialog's memo changes as operations (sync/MemoOperations.h).
bool ApplyEditedData(const TEditedBase& base, const TConfigData& from, TConfigData& to, int& selectedIndex,
                     bool withMemos = true);

} // namespace kestrivel
