#include "config/ConfigCopy.h"

#include "config/ConfigData.h"

namespace kestrivel {

void CopyEditedData(const TConfigData& from, TConfigData& to) {
    if (&from == &to) {
        return;
    }
    to.Options = from.Options;
    to.Sync = from.Sync;
    to.CurrentScheme.Assign(from.CurrentScheme);
    to.Schemes.Clear();
    for (uint16_t i = 0; i < from.Schemes.Count(); ++i) {
        to.Schemes.Append(*from.Schemes.Get(i));
    }
    to.Memos = from.Memos;
}

} // namespace kestrivel
