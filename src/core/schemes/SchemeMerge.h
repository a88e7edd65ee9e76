#pragma once

#include <vector>

#include "schemes/UnitSchemes.h"

namespace kestrivel {

// The schemes of a list as values, position 0 first.
std::vector<TScheme> schemesOf(const TSchemeList& list);
// The list's content becomes `schemes`, in their order. False, with the list unchanged, when they
// are more than a list holds.
bool assignSchemes(TSchemeList& list, const std::vector<TScheme>& schemes);

// Schemes.dat changed on disk since this program last read or wrote it (`base`); `ours` is the list
// in memory, `disk` what the file holds now. Position 0, the active record, is ours (the disk's
// while we have none): it is the look this program applies. The named schemes are keyed by name;
// the key's value is every scheme of that name in list order, name and eight zone styles. For
// each name:
//   - ours as in the base: the disk's version stands, added, changed or deleted there;
//   - deleted by us: deleted, unless the disk changed it since the base (the disk's then stays);
//   - added or changed by us: ours.
// The result keeps our order; names only the disk has go in by name, each in front of the first
// of ours whose name is not less (where Add puts a scheme). False, with `merged` empty, when the
// result would hold more schemes than a list can.
bool mergeSchemes(const std::vector<TScheme>& base, const std::vector<TScheme>& ours,
                  const std::vector<TScheme>& disk, std::vector<TScheme>& merged);

// The editor's index (position - 1) in `merged` of the scheme it showed selected at
// `selectedIndex` in `ours`: found by name (the same occurrence of a name taken twice, else its
// first). -1 when none was selected or the scheme is gone.
int mergedSelection(const std::vector<TScheme>& ours, int selectedIndex, const std::vector<TScheme>& merged);

} // namespace kestrivel
