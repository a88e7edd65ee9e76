#pragma once

#include <cstdint>
#include <string>

#include "sync/EventCodec.h"

namespace kestrivel {

// The sync's codec through libical, with the mapping of the .ics files: one VCALENDAR holding one
// all-day VEVENT per memo it creates; events others wrote are changed only where a memo was edited.

// Empty when the memo has no valid date or type, or falls after the year 3000.
std::string EncodeEventMemo(const TMemo& memo, const std::string& uid, int64_t stampUtcSeconds);
// The object's event read as the import reads it, but with its text kept whole (up to
// kSyncTextMaxBytes), Exact telling whether the memo holds all of it. An object with more than one
// VEVENT (a repeat with changed occurrences) is read by its master, the one without RECURRENCE-ID.
// False for anything that is no iCalendar object within the import's bounds, or whose event has no
// usable date.
bool DecodeEventMemo(const std::string& data, TEventMemo& out);
// The same; `master` receives the position of the VEVENT read among the object's VEVENTs.
bool DecodeEventMemo(const std::string& data, TEventMemo& out, size_t& master);

// `data` (the server's object) with its event changed to say `memo`, and nothing else changed:
// SUMMARY when the text differs, RRULE when the type does, SEQUENCE one up, DTSTAMP and
// LAST-MODIFIED `stampUtcSeconds`. A new type takes the old repeat's EXDATE, RDATE and EXRULE
// lines and its changed occurrences (the other VEVENTs) with the old RRULE. Every other line and
// the VTIMEZONEs stay byte for byte. Empty when `data` does not decode, the memo's date is not the
// event's, or the type is unknown.
std::string PatchEventMemo(const std::string& data, const TMemo& memo, int64_t stampUtcSeconds);

class TICalendarEventCodec final : public IEventCodec {
public:
    std::string Encode(const TMemo& memo, const std::string& uid, int64_t stampUtcSeconds) override;
    bool Decode(const std::string& data, TEventMemo& out) override;
    std::string Patch(const std::string& data, const TMemo& memo, int64_t stampUtcSeconds) override;
};

} // namespace kestrivel
