#include "memos/ICalendarModule.h"

using namespace kestrivel;

extern "C" __attribute__((visibility("default"))) bool KestrivelExportICalendar(const TMemoList& memos,
                                                                                int first, int last,
                                                                                const std::string& path,
                                                                                int64_t stampUtcSeconds) {
    return ExportMemosToICalendar(memos, first, last, path, stampUtcSeconds);
}

extern "C" __attribute__((visibility("default"))) bool
KestrivelImportICalendar(TMemoList& memos, const std::string& path, ICalendarImportCounts& counts) {
    return ImportMemosFromICalendar(memos, path, counts);
}

// The module's own symbol types must match what the program resolves.
static_assert(std::is_same_v<decltype(&KestrivelExportICalendar), KestrivelExportICalendarFn>);
static_assert(std::is_same_v<decltype(&KestrivelImportICalendar), KestrivelImportICalendarFn>);
