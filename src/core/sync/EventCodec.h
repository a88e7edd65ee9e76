#pragma once

#include <cstdint>
#include <string>

#include "memos/Memo.h"

namespace kestrivel {

// A calendar object resource read as a memo.
struct TEventMemo {
    TMemo Memo;
    std::string Uid;
    // False when the memo does not say all the event says: a timed event, a rule other than a
    // plain weekly, monthly or yearly repeat, overridden occurrences, alarms, a location or any
    // other property a memo has no place for, a text cut. An edit here changes only what the memo
    // says (see IEventCodec::Patch); the rest stays as the event has it.
    bool Exact = true;
    // True when the memo falls on exactly the days the event falls on here, with its text: false for
    // a rule the memo types cannot say (BYDAY lists, BYSETPOS, INTERVAL, COUNT, UNTIL, EXDATE, RDATE),
    // changed occurrences, a cancelled event, a summary with a ";" of its own (a memo reads it as a line
    // break) and a timed repeat whose local day moves when only one of two zones changes to summer
    // time. Such an event is drawn from its own data instead of being made a memo.
    bool ExactDays = true;
};

// Memos as iCalendar objects for the sync: a memo made here becomes one VCALENDAR holding one
// all-day VEVENT, as the .ics export writes it; an event from elsewhere is only ever patched. The program's
// codec is the iCalendar module (libical); the sync core needs only this.
class IEventCodec {
public:
    virtual ~IEventCodec() = default;
    // The object for `memo` with `uid`; `stampUtcSeconds` is its DTSTAMP. Empty when the memo has
    // no valid date or type or falls after the year 3000.
    virtual std::string Encode(const TMemo& memo, const std::string& uid, int64_t stampUtcSeconds) = 0;
    // False when `data` is not an iCalendar object with a VEVENT that has a usable date (bounded
    // as an import is).
    virtual bool Decode(const std::string& data, TEventMemo& out) = 0;
    // The server's object `data` changed only where `memo` differs from what it decodes to: its
    // text (SUMMARY) and type (the repeat rule); SEQUENCE goes up, DTSTAMP and LAST-MODIFIED
    // become `stampUtcSeconds`, and everything else stays as the server sent it. Empty when `data`
    // does not decode or says another date than the memo's: nothing is ever rebuilt from a memo.
    virtual std::string Patch(const std::string& data, const TMemo& memo, int64_t stampUtcSeconds) = 0;
};

// The entry points of the iCalendar module that make its codec.
inline constexpr const char* kEncodeEventSymbol = "KestrivelEncodeEvent";
inline constexpr const char* kDecodeEventSymbol = "KestrivelDecodeEvent";
inline constexpr const char* kPatchEventSymbol = "KestrivelPatchEvent";
using KestrivelEncodeEventFn = bool (*)(const TMemo& memo, const std::string& uid, int64_t stampUtcSeconds,
                                        std::string& out);
using KestrivelDecodeEventFn = bool (*)(const std::string& data, TEventMemo& out);
using KestrivelPatchEventFn = bool (*)(const std::string& data, const TMemo& memo, int64_t stampUtcSeconds,
                                       std::string& out);

} // namespace kestrivel
