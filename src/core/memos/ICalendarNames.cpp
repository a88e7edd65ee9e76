#include "memos/ICalendar.h"

// The parts of the iCalendar support that need no libical: the program itself uses them, while the
// reading and writing live in a module loaded at the first import or export.

namespace kestrivel {

bool IsICalendarFileName(std::string_view path) {
    if (path.size() < 4) {
        return false;
    }
    const std::string_view tail = path.substr(path.size() - 4);
    return tail[0] == '.' && (tail[1] | 0x20) == 'i' && (tail[2] | 0x20) == 'c' && (tail[3] | 0x20) == 's';
}

std::string ICalendarImportSummary(const ICalendarImportCounts& counts) {
    return std::to_string(counts.Added) + " / " + std::to_string(counts.Approximated) + " / " +
           std::to_string(counts.Skipped);
}

} // namespace kestrivel
