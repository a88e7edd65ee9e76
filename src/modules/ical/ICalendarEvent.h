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

// The memo's one-line text as SUMMARY holds it: its ";" and any real line break become one line
// feed each.
std::string RealLineBreaks(const std::string& text);

class ICalendarZones;

// The longest text the sync reads into a memo. The memo list holds far longer ones, but an event
// may come from anyone; a longer summary is cut and its event counts as not said in full.
inline constexpr size_t kSyncTextMaxBytes = 64 * 1024;

// A VEVENT block of unfolded text read as a memo.
struct TEventReading {
    TMemo Memo;
    std::string Uid;
    // What the memo leaves out: another repeat than a plain weekly, monthly or yearly one (or a
    // rule libical rejects), or a text cut. An import counts these.
    bool Approximated = false;
    bool Timed = false;    // DTSTART has a time of day
    bool Override = false; // RECURRENCE-ID: one changed occurrence of another event
    bool Longer = false;   // DTEND or DURATION beyond its one day
    // Properties or components a memo has no place for: alarms, location, description, attendees,
    // class, categories, X- properties and any other.
    bool Extra = false;
    // SUMMARY holds a ";" of its own, which a memo would read as a line break.
    bool Semicolon = false;
    bool Cancelled = false; // STATUS:CANCELLED
};

struct TEventReadOptions {
    // The import cuts texts to the editor's length (what it stores, its editor can save again);
    // the sync keeps them whole up to kSyncTextMaxBytes, so that what it wrote reads back.
    bool EditorLength = true;
    // The VTIMEZONEs of the object or file, for times given with a TZID.
    const ICalendarZones* Zones = nullptr;
};

// False when the block is no VEVENT or has no DTSTART whose local date (see LocalStartDate) lies in
// the years 1..3000.
bool ReadMemoEvent(std::string_view block, TEventReading& out, const TEventReadOptions& options = {});

} // namespace kestrivel
