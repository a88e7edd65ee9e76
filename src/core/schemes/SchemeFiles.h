#pragma once

#include <cstddef>
#include <string>

#include "common/FileStamp.h"
#include "schemes/UnitSchemes.h"

namespace kestrivel {

// The bytes one scheme record takes: its name and eight zone records.
size_t schemeRecordSize(const TScheme& scheme);
// The bytes Schemes.dat takes for `list`, known before anything is built or written.
size_t schemeListFileSize(const TSchemeList& list);

// TSchemeList::SaveToFile that also gives the stamp of the file written. A list whose file would
// be larger than kDataFileCap is refused without touching the file: it could never load again.
bool saveSchemeList(const TSchemeList& list, const std::string& path, FileStamp& written);

// The apply step without the save: the working scheme is named after the selected index (-1 for
// none) and becomes the active record, which is created when the list is empty.
void applySchemeToList(int selectedIndex, TScheme& working, TSchemeList& list);

} // namespace kestrivel
