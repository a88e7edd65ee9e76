#pragma once

namespace kestrivel {

class TConfigData;

// Copies the data the configuration dialog edits (the options, the sync settings, the working
// scheme, the scheme list and the memo list) from one owner to another. The dialog works on such a
// copy, so that only Ok and Apply change what the calendar shows and what is saved; paths, the
// window position and what the owner knows of its files stay with each owner.
void CopyEditedData(const TConfigData& from, TConfigData& to);

} // namespace kestrivel
