#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "memos/Memo.h"

namespace kestrivel {

// One memo as one VEVENT and back: the mapping the .ics files and the sync share.

// libical writes no date after the year 3000; later memos are neither written nor read, so what
// is read always writes again.
inline constexpr int kICalendarLastYear = 3000;

// The VCALENDAR lines around the events.
std::string_view ICalendarHead();
std::string_view ICalendarTail();

// `data` without the UTF-8 byte order mark some programs write first.
std::string_view WithoutByteOrderMark(std::string_view data);

// libical may be built to abort on errors; a hostile file must only fail.
void QuietLibical();

// One VEVENT ("BEGIN:VEVENT" .. "END:VEVENT" with CR LF line breaks) for `memo`: DTSTART its
// date, SUMMARY its text with real line breaks, RRULE for the recurring types, the given UID and
// DTSTAMP. Empty for a memo without a valid date or type, or after the year 3000.
std::string MemoEventText(const TMemo& memo, const std::string& uid, int64_t stampUtcSeconds);

// A VEVENT block of unfolded text read as a memo.
struct TEventReading {
    TMemo Memo;
    std::string Uid;
    // What the memo leaves out: another repeat than a plain weekly, monthly or yearly one (or a
    // rule libical rejects), or a text cut to the editor's length. An import counts these.
    bool Approximated = false;
    bool Timed = false;    // DTSTART has a time of day
    bool Override = false; // RECURRENCE-ID: one changed occurrence of another event
    bool Longer = false;   // DTEND or DURATION beyond its one day
};

// False when the block is no VEVENT or has no DTSTART with a date of the years 1..3000.
bool ReadMemoEvent(std::string_view block, TEventReading& out);

} // namespace kestrivel
