#pragma once

#include "memos/ICalendar.h"

namespace kestrivel {

// The entry points of the "kestrivel-ical" module: ExportMemosToICalendar and
// ImportMemosFromICalendar, so that libical is loaded at the first iCalendar import or export
// instead of at every start.
inline constexpr const char* kICalendarModuleName = "kestrivel-ical";
inline constexpr const char* kExportICalendarSymbol = "KestrivelExportICalendar";
inline constexpr const char* kImportICalendarSymbol = "KestrivelImportICalendar";
using KestrivelExportICalendarFn = bool (*)(const TMemoList& memos, int first, int last,
                                            const std::string& path, int64_t stampUtcSeconds);
using KestrivelImportICalendarFn = bool (*)(TMemoList& memos, const std::string& path,
                                            ICalendarImportCounts& counts);

} // namespace kestrivel
