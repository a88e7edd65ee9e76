#pragma once

#include <cstdint>
#include <string>

#include "sync/EventCodec.h"

namespace kestrivel {

// The sync's codec through libical, with the mapping of the .ics files: one VCALENDAR holding one
// all-day VEVENT per memo.

// Empty when the memo has no valid date or type, or falls after the year 3000.
std::string EncodeEventMemo(const TMemo& memo, const std::string& uid, int64_t stampUtcSeconds);
// The object's event read as the import reads it, Exact telling whether the memo holds all of it.
// An object with more than one VEVENT (a repeat with changed occurrences) is read by its master,
// the one without RECURRENCE-ID. False for anything that is no iCalendar object within the import's
// bounds, or whose event has no usable date.
bool DecodeEventMemo(const std::string& data, TEventMemo& out);

class TICalendarEventCodec final : public IEventCodec {
public:
    std::string Encode(const TMemo& memo, const std::string& uid, int64_t stampUtcSeconds) override;
    bool Decode(const std::string& data, TEventMemo& out) override;
};

} // namespace kestrivel
