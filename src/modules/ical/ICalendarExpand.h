#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "sync/EventCache.h"

namespace kestrivel {

// Every occurrence of the events of `data` (one or more VCALENDAR objects) whose local date lies in
// [first, last]: each on the local date of its start (times in the zone the event names, converted
// to the local zone, summer time on each side), none before its start or after its end, its COUNT or
// its UNTIL, exceptions (EXDATE) skipped, extra dates (RDATE) added, changed occurrences
// (RECURRENCE-ID) moved to their own start, cancelled events and occurrences left out. The work is
// bounded: an event yields at most kMaxExpandSteps occurrences of its rule per call. Appends to
// `out`; false when `data` holds no readable event.
bool ExpandEvents(std::string_view data, TDateValue first, TDateValue last,
                  std::vector<TEventOccurrence>& out);

inline constexpr int kMaxExpandSteps = 50'000;
// Exceptions and extra dates read per event; real events have a handful.
inline constexpr size_t kMaxExpandDates = 4'096;

class TPreparedCalendar;

// The events of a cache read once (IPreparedEvents): each month shown then costs only the events
// whose dates can reach it, and a counted rule is counted once, not per month. The occurrences are
// those ExpandEvents finds in each event's text.
class TICalendarPreparedEvents final : public IPreparedEvents {
public:
    explicit TICalendarPreparedEvents(const TEventCache& cache);
    ~TICalendarPreparedEvents() override;
    void Expand(size_t index, TDateValue first, TDateValue last,
                std::vector<TEventOccurrence>& out) const override;
    size_t size() const override;

private:
    std::vector<TPreparedCalendar> m_events;
};

class TICalendarEventExpander final : public IEventExpander {
public:
    bool Expand(std::string_view data, TDateValue first, TDateValue last,
                std::vector<TEventOccurrence>& out) override;
    std::unique_ptr<IPreparedEvents> Prepare(const TEventCache& cache) override;
};

} // namespace kestrivel
