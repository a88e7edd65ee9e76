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
    // plain weekly, monthly or yearly repeat, overridden occurrences, a text cut to 255
    // characters. Such events are never written back unless the memo is edited here.
    bool Exact = true;
};

// Memos as iCalendar objects for the sync: one VCALENDAR holding one all-day VEVENT, as the .ics
// export writes it. The program's codec is the iCalendar module (libical); the sync core needs
// only this.
class IEventCodec {
public:
    virtual ~IEventCodec() = default;
    // The object for `memo` with `uid`; `stampUtcSeconds` is its DTSTAMP. Empty when the memo has
    // no valid date or type or falls after the year 3000.
    virtual std::string Encode(const TMemo& memo, const std::string& uid, int64_t stampUtcSeconds) = 0;
    // False when `data` is not an iCalendar object with a VEVENT that has a usable date (bounded
    // as an import is).
    virtual bool Decode(const std::string& data, TEventMemo& out) = 0;
};

// The entry points of the iCalendar module that make its codec.
inline constexpr const char* kEncodeEventSymbol = "KestrivelEncodeEvent";
inline constexpr const char* kDecodeEventSymbol = "KestrivelDecodeEvent";
using KestrivelEncodeEventFn = bool (*)(const TMemo& memo, const std::string& uid, int64_t stampUtcSeconds,
                                        std::string& out);
using KestrivelDecodeEventFn = bool (*)(const std::string& data, TEventMemo& out);

} // namespace kestrivel
