#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/DateValue.h"

namespace kestrivel {

// An event the calendar shows but never writes: a server event no memo can say exactly, an event of
// another calendar of the account, or one of a subscription. It is kept as the server sent it and
// drawn from its own data.
struct TCachedEvent {
    std::string Source; // the calendar's or subscription's name; empty for the calendar of the memos
    std::string Href;   // where it came from (the resource's or the subscription's address)
    std::string ETag;   // the server's version of it, quotes kept; empty when it gave none
    std::string Data;   // the iCalendar text as received
};

struct TEventCache {
    std::vector<TCachedEvent> Events;
};

// More events than any calendar a desk shows; a file claiming more is damaged.
inline constexpr size_t kMaxCachedEvents = 200'000;
inline constexpr const char* kEventCacheFileName = "Events.dat";

// The cache as bytes: a header line with the format's version and the count, then per event a line
// with the byte lengths of its four fields, the fields themselves and a line break. Lengths keep
// every byte of the server's text as it came.
std::string FormatEventCache(const TEventCache& cache);
// False, with `out` empty, for anything FormatEventCache does not write. Every length and count is
// checked against the bytes left before anything is kept.
bool ParseEventCache(std::string_view text, TEventCache& out);

// The cache file of `folder`, beside Sync.dat.
std::string EventCachePath(const std::string& folder);
// False, with `out` empty, when the file is missing, not a regular file, larger than the data
// files' cap or damaged.
bool LoadEventCache(const std::string& folder, TEventCache& out);
// Replaces the file atomically while holding the folder's lock; false when the lock is not had or
// the file cannot be written (the previous file then stays whole).
bool SaveEventCache(const std::string& folder, const TEventCache& cache);
// The same for a caller that holds the folder's lock already (the sync, across its round).
bool WriteEventCache(const std::string& folder, const TEventCache& cache);

// One time an event falls on, as the calendar shows it.
struct TEventOccurrence {
    TDateValue Date = 0;   // the local date of its start
    int StartMinutes = -1; // local start time in minutes after midnight; -1 for an all-day event
    std::string Text;      // the summary as sent: a ";" is a ";", "\n" breaks a line
    std::string Source;    // as TCachedEvent::Source
    bool operator==(const TEventOccurrence&) const = default;
};

// A cache's events read once, so that each month shown costs only the events that can touch it: the
// text is not read again, and an event whose dates lie far from the month is passed over at once.
// Expand may be called from several threads at once.
class IPreparedEvents {
public:
    virtual ~IPreparedEvents() = default;
    // As IEventExpander::Expand for the cache's event `index` (as it was when prepared).
    virtual void Expand(size_t index, TDateValue first, TDateValue last,
                        std::vector<TEventOccurrence>& out) const = 0;
    virtual size_t size() const = 0;
};

// Expands one cached event's text into its occurrences whose local dates lie in [first, last].
// The program's expander is the iCalendar module (libical's recurrence iterator).
class IEventExpander {
public:
    virtual ~IEventExpander() = default;
    // False when `data` holds no event that can be read; what could be read is appended anyway.
    virtual bool Expand(std::string_view data, TDateValue first, TDateValue last,
                        std::vector<TEventOccurrence>& out) = 0;
    // The events of `cache` read once for month after month; null when this expander reads the text
    // each time.
    virtual std::unique_ptr<IPreparedEvents> Prepare(const TEventCache& /*cache*/) { return nullptr; }
};

// The iCalendar module's entry point for IEventExpander.
inline constexpr const char* kExpandEventSymbol = "KestrivelExpandEvent";
using KestrivelExpandEventFn = bool (*)(std::string_view data, TDateValue first, TDateValue last,
                                        std::vector<TEventOccurrence>& out);
// Its entry point for IEventExpander::Prepare; false, with `out` null, when nothing was prepared.
inline constexpr const char* kPrepareEventsSymbol = "KestrivelPrepareEvents";
using KestrivelPrepareEventsFn = bool (*)(const TEventCache& cache, std::unique_ptr<IPreparedEvents>& out);

} // namespace kestrivel
