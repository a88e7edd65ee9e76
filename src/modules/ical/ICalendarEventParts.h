#pragma once

#include "sync/EventCache.h"

#include <libical/ical.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the expansion reads of one VEVENT, and where a rule may start near the dates asked: shared by
// the expansion of an event's text and by the events read once.
namespace kestrivel {

struct PropertyDeleter {
    void operator()(icalproperty* property) const { icalproperty_free(property); }
};
using PropertyPtr = std::unique_ptr<icalproperty, PropertyDeleter>;

struct RecurDeleter {
    void operator()(icalrecur_iterator* iterator) const { icalrecur_iterator_free(iterator); }
};
using RecurPtr = std::unique_ptr<icalrecur_iterator, RecurDeleter>;

// A time as an event writes it, with the zone it names.
struct ZonedTime {
    icaltimetype Time = icaltime_null_time();
    std::string Tzid;
    const char* tzid() const { return Tzid.empty() ? nullptr : Tzid.c_str(); }
};

// What of a VEVENT decides where it falls.
struct EventParts {
    std::string Uid;
    std::string Summary;
    std::optional<ZonedTime> Start;
    // The RRULE's value as written, read again per range: a read rule takes kilobytes, its text a few
    // dozen bytes, and only the events near the dates shown need it.
    std::string Rule;
    bool RuleRejected = false; // a rule libical cannot read: the event falls on its start only
    // The last occurrence of a counted rule, in the event's wall time, once counted: the rule then
    // ends there as by an UNTIL, so a later month need not count from the start again.
    std::optional<icaltimetype> CountEnd;
    std::optional<ZonedTime> RecurrenceId;
    std::vector<ZonedTime> Exceptions;
    std::vector<ZonedTime> Extra;
    bool Cancelled = false;
};

// The properties that place the event `block` (one VEVENT's lines), each given to libical alone;
// components inside the event (alarms) are skipped.
EventParts ReadEventParts(std::string_view block);

// The date of `time` as its fields write it; NaN for one that is no date.
TDateValue WallDate(const icaltimetype& time);

// `time` moved to `day`, its time of day and zone kept.
icaltimetype OnDay(icaltimetype time, TDateValue day);

// A start a whole number of the rule's steps after `wall` whose period (day, week, month, year) ends
// before `from`. From it the rule yields exactly what it yields from `wall` on the dates after it: its
// steps keep their phase (weeks keep their first weekday, months and years their place in the
// interval), and what a rule takes from its start when it names nothing else (time of day, weekday,
// day of the month, month) is the same. False where none is known: steps of hours or less, a counted
// rule (it must count from its start), or no later period holding the start's day of the month.
bool AlignedRuleStart(const icalrecurrencetype& rule, const icaltimetype& wall, TDateValue from,
                      icaltimetype& out);

// The last occurrence of a counted rule from `wall`; none when it has no count, also an UNTIL, or
// counts past the bound on the work (it is then walked from its start each time).
std::optional<icaltimetype> LastCountedOccurrence(const icalrecurrencetype& rule, const icaltimetype& wall);

} // namespace kestrivel
