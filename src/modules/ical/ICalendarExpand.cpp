#include "ICalendarExpand.h"

#include "ICalendarEvent.h"
#include "ICalendarTime.h"
#include "common/BoundedRead.h"
#include "common/TextCodec.h"
#include "memos/ICalendarText.h"

#include <libical/ical.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace kestrivel {

namespace {

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
    std::optional<icalrecurrencetype> Rule;
    bool RuleRejected = false; // a rule libical cannot read: the event falls on its start only
    std::optional<ZonedTime> RecurrenceId;
    std::vector<ZonedTime> Exceptions;
    std::vector<ZonedTime> Extra;
    bool Cancelled = false;
};

PropertyPtr parseProperty(std::string_view line) {
    if (line.size() > kICalendarMaxParsedLine) {
        return nullptr;
    }
    const std::string copy(line);
    return PropertyPtr(icalproperty_new_from_string(copy.c_str()));
}

std::string tzidOf(icalproperty* property) {
    const icalparameter* zone = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
    const char* tzid = zone != nullptr ? icalparameter_get_tzid(zone) : nullptr;
    return tzid != nullptr ? tzid : "";
}

// EXDATE and RDATE lines may list several values; each becomes a time of its own, at most `room`.
void readDates(std::string_view line, bool extra, std::vector<ZonedTime>& out, size_t room) {
    const std::string_view value = icalendarValue(line);
    const std::string_view head = line.substr(0, line.size() - value.size());
    for (size_t pos = 0; pos <= value.size() && out.size() < room;) {
        const size_t comma = std::min(value.find(',', pos), value.size());
        std::string one(head);
        one += value.substr(pos, comma - pos);
        pos = comma + 1;
        PropertyPtr property = parseProperty(one);
        if (!property) {
            continue;
        }
        ZonedTime time;
        time.Time =
            extra ? icalproperty_get_rdate(property.get()).time : icalproperty_get_exdate(property.get());
        if (extra && icaltime_is_null_time(time.Time)) {
            time.Time = icalproperty_get_rdate(property.get()).period.start;
        }
        time.Tzid = tzidOf(property.get());
        if (!icaltime_is_null_time(time.Time)) {
            out.push_back(std::move(time));
        }
    }
}

std::string summaryText(const char* summary) {
    std::string text = BytesToUtf8(summary);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size() && out.size() < kSyncTextMaxBytes; ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        out.push_back(text[i] == '\r' ? '\n' : text[i]);
    }
    return out;
}

// The properties that place an event, each given to libical alone; components inside the event
// (alarms) are skipped.
EventParts readParts(std::string_view block) {
    EventParts parts;
    size_t depth = 0;
    for (size_t pos = 0; pos < block.size();) {
        const std::string_view line = nextICalendarLine(block, pos);
        const std::string_view name = icalendarPropertyName(line);
        if (sameICalendarName(name, "BEGIN")) {
            ++depth;
            continue;
        }
        if (sameICalendarName(name, "END")) {
            depth = depth > 0 ? depth - 1 : 0;
            continue;
        }
        if (depth != 1) {
            continue;
        }
        if (sameICalendarName(name, "UID") && parts.Uid.empty()) {
            parts.Uid = icalendarValue(line);
        } else if (sameICalendarName(name, "STATUS")) {
            parts.Cancelled = sameICalendarName(icalendarValue(line), "CANCELLED");
        } else if (sameICalendarName(name, "EXDATE") || sameICalendarName(name, "RDATE")) {
            const bool extra = sameICalendarName(name, "RDATE");
            readDates(line, extra, extra ? parts.Extra : parts.Exceptions, kMaxExpandDates);
        } else if (sameICalendarName(name, "DTSTART") || sameICalendarName(name, "RECURRENCE-ID") ||
                   sameICalendarName(name, "RRULE") || sameICalendarName(name, "SUMMARY")) {
            PropertyPtr property = parseProperty(line);
            if (!property) {
                parts.RuleRejected = parts.RuleRejected || sameICalendarName(name, "RRULE");
                continue;
            }
            switch (icalproperty_isa(property.get())) {
            case ICAL_DTSTART_PROPERTY:
                if (!parts.Start) {
                    parts.Start = ZonedTime{icalproperty_get_dtstart(property.get()), tzidOf(property.get())};
                }
                break;
            case ICAL_RECURRENCEID_PROPERTY:
                parts.RecurrenceId =
                    ZonedTime{icalproperty_get_recurrenceid(property.get()), tzidOf(property.get())};
                break;
            case ICAL_RRULE_PROPERTY:
                if (!parts.Rule) {
                    const icalrecurrencetype rule = icalproperty_get_rrule(property.get());
                    parts.RuleRejected = rule.freq == ICAL_NO_RECURRENCE;
                    if (!parts.RuleRejected) {
                        parts.Rule = rule;
                    }
                }
                break;
            case ICAL_SUMMARY_PROPERTY:
                if (const char* summary = icalproperty_get_summary(property.get());
                    summary && parts.Summary.empty()) {
                    parts.Summary = summaryText(summary);
                }
                break;
            default:
                parts.RuleRejected = parts.RuleRejected || sameICalendarName(name, "RRULE");
                break;
            }
        }
    }
    return parts;
}

TDateValue dateOf(const icaltimetype& time) {
    TDateValue day = 0;
    return TryEncodeDate(time.year, time.month, time.day, day) ? day : NAN;
}

// What names an occurrence: its instant, or its date for an all-day event.
int64_t occurrenceKey(const icaltimetype& time, const char* tzid, const ICalendarZones& zones) {
    return time.is_date != 0 ? static_cast<int64_t>(dateOf(time)) : InstantSeconds(time, tzid, &zones);
}

class Expander {
public:
    Expander(const ICalendarZones& zones, TDateValue first, TDateValue last,
             std::vector<TEventOccurrence>& out)
        : m_zones(zones), m_first(first), m_last(last), m_out(out) {}

    // The master of a series and its changed occurrences (all of one UID).
    void series(const EventParts& master, const std::vector<const EventParts*>& overrides) {
        // Occurrences a changed one replaces, named as the master names its own.
        std::vector<int64_t> replaced;
        for (const EventParts* change : overrides) {
            replaced.push_back(keyIn(change->RecurrenceId->Time, change->RecurrenceId->tzid(), master));
        }
        std::vector<int64_t> skipped;
        for (const ZonedTime& exception : master.Exceptions) {
            skipped.push_back(keyIn(exception.Time, exception.tzid(), master));
        }
        std::sort(replaced.begin(), replaced.end());
        std::sort(skipped.begin(), skipped.end());
        auto emitUnlessGone = [&](const icaltimetype& time, const char* tzid) {
            const int64_t key = keyIn(time, tzid, master);
            if (!std::binary_search(replaced.begin(), replaced.end(), key) &&
                !std::binary_search(skipped.begin(), skipped.end(), key)) {
                emit(time, tzid, master.Summary);
            }
        };
        if (!master.Cancelled && master.Start) {
            const ZonedTime& start = *master.Start;
            if (master.Rule && !master.RuleRejected) {
                walkRule(*master.Rule, start, emitUnlessGone);
            } else {
                emitUnlessGone(start.Time, start.tzid());
            }
            for (const ZonedTime& extra : master.Extra) {
                icaltimetype time = extra.Time;
                // An extra date of a timed event keeps the event's time of day.
                if (time.is_date != 0 && start.Time.is_date == 0) {
                    time.is_date = 0;
                    time.hour = start.Time.hour;
                    time.minute = start.Time.minute;
                    time.second = start.Time.second;
                    emitUnlessGone(time, start.tzid());
                } else {
                    emitUnlessGone(time, extra.tzid());
                }
            }
        }
        for (const EventParts* change : overrides) {
            single(*change);
        }
    }

    // An event that falls once: no rule, or a changed occurrence.
    void single(const EventParts& event) {
        if (!event.Cancelled && event.Start) {
            emit(event.Start->Time, event.Start->tzid(), event.Summary);
        }
    }

private:
    // An exception's or changed occurrence's name in the master's terms: a DATE names the day of a
    // timed occurrence.
    int64_t keyIn(const icaltimetype& time, const char* tzid, const EventParts& master) const {
        if (time.is_date != 0 && master.Start && master.Start->Time.is_date == 0) {
            icaltimetype timed = time;
            timed.is_date = 0;
            timed.hour = master.Start->Time.hour;
            timed.minute = master.Start->Time.minute;
            timed.second = master.Start->Time.second;
            return occurrenceKey(timed, master.Start->tzid(), m_zones);
        }
        if (time.is_date == 0 && master.Start && master.Start->Time.is_date != 0) {
            icaltimetype day = time;
            day.is_date = 1;
            return occurrenceKey(day, nullptr, m_zones);
        }
        return occurrenceKey(time, tzid, m_zones);
    }

    template <typename Emit>
    void walkRule(const icalrecurrencetype& rule, const ZonedTime& start, Emit&& emit) {
        // The iterator works in the event's own wall time; each occurrence is placed on its local date
        // afterwards, so a summer-time change on either side moves only the occurrences it touches.
        icaltimetype wall = start.Time;
        wall.zone = nullptr;
        // An UNTIL in UTC ends the series at that instant, which the iterator must meet in wall time.
        icalrecurrencetype walled = rule;
        if (!icaltime_is_null_time(rule.until) && rule.until.is_date == 0 && icaltime_is_utc(rule.until) &&
            (icaltime_is_utc(start.Time) || UtcToZoneTime(walled.until, start.tzid(), &m_zones))) {
            walled.until.zone = nullptr;
        }
        RecurPtr iterator(icalrecur_iterator_new(walled, wall));
        if (!iterator) {
            emit(start.Time, start.tzid());
            return;
        }
        // A zone moves a start by less than two days.
        const TDateValue from = m_first - 2;
        const TDateValue until = m_last + 2;
        const TDateValue startDay = dateOf(wall);
        // Far before the dates shown, a rule without a count starts at them: an old daily event costs no
        // more than a new one. A counted rule must count from its start, and one with an interval must
        // keep the steps its start sets.
        if (rule.count == 0 && rule.interval <= 1 && startDay < from) {
            icaltimetype skip = wall;
            const TYmd ymd = DecodeDate(from);
            skip.year = ymd.Year;
            skip.month = ymd.Month;
            skip.day = ymd.Day;
            icalrecur_iterator_set_start(iterator.get(), skip);
        }
        for (int step = 0; step < kMaxExpandSteps; ++step) {
            const icaltimetype next = icalrecur_iterator_next(iterator.get());
            if (icaltime_is_null_time(next)) {
                break;
            }
            const TDateValue day = dateOf(next);
            if (std::isnan(day) || day > until) {
                break;
            }
            if (day >= from && day >= startDay) {
                icaltimetype time = next;
                time.is_date = start.Time.is_date;
                time.zone = start.Time.zone;
                emit(time, start.tzid());
            }
        }
    }

    void emit(const icaltimetype& time, const char* tzid, const std::string& summary) {
        TYmd local;
        int minutes = -1;
        TDateValue day = 0;
        if (!LocalStartTime(time, tzid, &m_zones, local, minutes) ||
            !TryEncodeDate(local.Year, local.Month, local.Day, day) || day < m_first || day > m_last) {
            return;
        }
        m_out.push_back({day, minutes, summary, {}});
    }

    const ICalendarZones& m_zones;
    TDateValue m_first;
    TDateValue m_last;
    std::vector<TEventOccurrence>& m_out;
};

// Whether a line starts with `name` (any letter case) followed by ":" or ";".
bool startsWithName(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || (line[name.size()] != ':' && line[name.size()] != ';')) {
        return false;
    }
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = line[i];
        if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) != name[i]) {
            return false;
        }
    }
    return true;
}

// A quick look before anything is parsed: one event without rule, extra dates or changed occurrences
// whose start lies days away from [first, last] falls on none of them. A calendar of thousands of
// single events then costs a month only the events near it. Anything unclear is left to the full
// reading (false).
bool clearlyOutside(std::string_view data, TDateValue first, TDateValue last) {
    int events = 0;
    bool inEvent = false;
    int nested = 0;
    std::string_view start;
    for (size_t pos = 0; pos < data.size();) {
        const size_t end = std::min(data.find('\n', pos), data.size());
        const std::string_view line = data.substr(pos, end - pos);
        pos = end + 1;
        if (startsWithName(line, "RRULE") || startsWithName(line, "RDATE") ||
            startsWithName(line, "RECURRENCE-ID")) {
            return false;
        }
        const bool vevent =
            line.size() >= 12 && sameICalendarName(icalendarValue(line).substr(0, 6), "VEVENT");
        if (startsWithName(line, "BEGIN")) {
            nested += inEvent ? 1 : 0;
            events += vevent && !inEvent ? 1 : 0;
            inEvent = inEvent || vevent;
        } else if (startsWithName(line, "END")) {
            inEvent = inEvent && (nested > 0 || !vevent);
            nested -= nested > 0 ? 1 : 0;
        } else if (inEvent && nested == 0 && start.empty() && startsWithName(line, "DTSTART")) {
            start = line;
        }
    }
    const size_t colon = start.find(':');
    if (events != 1 || colon == std::string_view::npos || start.size() < colon + 9) {
        return false;
    }
    int digits[8];
    for (int i = 0; i < 8; ++i) {
        const char c = start[colon + 1 + static_cast<size_t>(i)];
        if (c < '0' || c > '9') {
            return false;
        }
        digits[i] = c - '0';
    }
    TDateValue day = 0;
    if (!TryEncodeDate(digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3],
                       digits[4] * 10 + digits[5], digits[6] * 10 + digits[7], day)) {
        return false;
    }
    // A zone moves a start by less than two days.
    return day < std::floor(first) - 2 || day > std::floor(last) + 2;
}

} // namespace

bool ExpandEvents(std::string_view data, TDateValue first, TDateValue last,
                  std::vector<TEventOccurrence>& out) {
    try {
        QuietLibical();
        if (data.size() > kDataFileCap || std::isnan(first) || std::isnan(last)) {
            return false;
        }
        if (clearlyOutside(data, first, last)) {
            return true;
        }
        const std::string text = unfoldICalendar(WithoutByteOrderMark(data));
        std::vector<ICalendarBlock> blocks;
        std::vector<ICalendarBlock> zoneBlocks;
        if (!findICalendarEvents(text, blocks, &zoneBlocks) || blocks.empty()) {
            return false;
        }
        const ICalendarZones zones(text, zoneBlocks);
        std::vector<EventParts> events;
        events.reserve(blocks.size());
        for (const ICalendarBlock& block : blocks) {
            events.push_back(readParts(std::string_view(text).substr(block.Begin, block.End - block.Begin)));
        }
        // A series is its master and the changed occurrences of the same UID.
        std::map<std::string_view, std::vector<const EventParts*>> changes;
        for (const EventParts& event : events) {
            if (event.RecurrenceId && !event.Uid.empty()) {
                changes[event.Uid].push_back(&event);
            }
        }
        Expander expander(zones, std::floor(first), std::floor(last), out);
        bool any = false;
        for (const EventParts& event : events) {
            if (!event.Start) {
                continue;
            }
            any = true;
            if (!event.RecurrenceId) {
                const auto found = event.Uid.empty() ? changes.end() : changes.find(event.Uid);
                expander.series(event,
                                found != changes.end() ? found->second : std::vector<const EventParts*>{});
                if (found != changes.end()) {
                    changes.erase(found);
                }
            }
        }
        // Changed occurrences whose series is not here (a server may send them alone) fall where they say.
        for (const auto& [uid, list] : changes) {
            for (const EventParts* change : list) {
                expander.single(*change);
            }
        }
        return any;
    } catch (const std::exception&) {
        return false;
    }
}

bool TICalendarEventExpander::Expand(std::string_view data, TDateValue first, TDateValue last,
                                     std::vector<TEventOccurrence>& out) {
    return ExpandEvents(data, first, last, out);
}

} // namespace kestrivel
