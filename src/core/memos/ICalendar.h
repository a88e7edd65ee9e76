#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrivel {

class TMemoList;

// Memos as iCalendar (RFC 5545) files, read and written through libical. A memo is one all-day
// VEVENT: DTSTART its date, SUMMARY its text with real line breaks, RRULE FREQ=WEEKLY, MONTHLY or
// YEARLY for the recurring types, a UID derived from date, type and text (so the same memo keeps
// its UID across exports) and a DTSTAMP.

// Whether `path` names an iCalendar file (ends in ".ics", any case).
bool IsICalendarFileName(std::string_view path);

// Writes memos first..last to `path`, replacing it atomically; `stampUtcSeconds` (seconds since
// 1970-01-01 UTC) is the DTSTAMP of every event. False when first..last names a memo that does
// not exist (nothing is written) or when a memo has no valid date or type, or falls after the year
// 3000 (it is left out).
bool ExportMemosToICalendar(const TMemoList& memos, int first, int last, const std::string& path,
                            int64_t stampUtcSeconds);

struct ICalendarImportCounts {
    int Added = 0;        // added as they are
    int Approximated = 0; // added, but not whole: as a Single memo on their first date (a
                          // recurrence memos lack, or a rule libical rejects), or with the text cut
                          // to the editor's 255 characters
    int Skipped = 0;      // not added: date taken or no usable date
    int LeftOut = 0;      // not added: the list was full (TMemoList::kMaxCount memos)
};

// Adds the file's events to `memos` under the list's rules (one memo per date, at most 65,535):
// an event repeating plainly every week, month or year keeps that type, any other event becomes a
// Single memo on its first date, an event on a taken date or after the year 3000 is skipped.
// Memos already in the list never change. False, with nothing added, when the file cannot be read,
// is not a regular file, is larger than 64 MiB, is not a whole iCalendar object (a component left
// open or closed under another name), or passes the bounds of memos/ICalendarText.h (nesting,
// lines, line length).
bool ImportMemosFromICalendar(TMemoList& memos, const std::string& path, ICalendarImportCounts& counts);

// The argument of the import's message: "added / approximated / skipped", e.g. "12 / 3 / 0"; events
// left out of a full list are told apart (LeftOut).
std::string ICalendarImportSummary(const ICalendarImportCounts& counts);

} // namespace kestrivel
