#include "ICalendarExpand.h"

#include "ICalendarEventParts.h"
#include "ICalendarEvent.h"
#include "ICalendarTime.h"
#include "common/BoundedRead.h"
#include "common/TextCodec.h"
#include "memos/ICalendarText.h"

#include <libical/ical.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace kestrivel {

namespace {

// What names an occurrence: its instant, or its date for an all-day event.
int64_t occurrenceKey(const icaltimetype& time, const char* tzid, const ICalendarZones& zones) {
    return time.is_date != 0 ? static_cast<int64_t>(WallDate(time)) : InstantSeconds(time, tzid, &zones);
}

icaltimetype wallOf(const ZonedTime& time) {
    icaltimetype wall = time.Time;
    wall.zone = nullptr;
    return wall;
}

class Expander {
public:
    Expander(const ICalendarZones& zones, TDateValue first, TDateValue last,
             std::vector<TEventOccurrence>& out)
        : m_zones(zones), m_first(first), m_last(last), m_out(out) {}

    // The master of a series and its changed occurrences (all of one UID).
    void series(const EventParts& master, const std::vector<EventParts>& overrides) {
        // Occurrences a changed one replaces, named as the master names its own.
        std::vector<int64_t> replaced;
        for (const EventParts& change : overrides) {
            replaced.push_back(keyIn(change.RecurrenceId->Time, change.RecurrenceId->tzid(), master));
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
            if (!master.Rule.empty() && !master.RuleRejected) {
                walkRule(master, emitUnlessGone);
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
        for (const EventParts& change : overrides) {
            single(change);
        }
    }

    // An event that falls once at `start`.
    void at(const ZonedTime& start, const std::string& summary) { emit(start.Time, start.tzid(), summary); }

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

    template <typename Emit> void walkRule(const EventParts& master, Emit&& emit) {
        const ZonedTime& start = *master.Start;
        // The iterator works in the event's own wall time; each occurrence is placed on its local date
        // afterwards, so a summer-time change on either side moves only the occurrences it touches.
        const icaltimetype wall = wallOf(start);
        icalrecurrencetype walled = icalrecurrencetype_from_string(master.Rule.c_str());
        if (walled.freq == ICAL_NO_RECURRENCE) {
            emit(start.Time, start.tzid());
            return;
        }
        if (master.CountEnd) {
            // The count was taken once: the same occurrences, ended at the last of them.
            walled.count = 0;
            walled.until = *master.CountEnd;
        } else if (!icaltime_is_null_time(walled.until) && walled.until.is_date == 0 &&
                   icaltime_is_utc(walled.until) &&
                   (icaltime_is_utc(start.Time) || UtcToZoneTime(walled.until, start.tzid(), &m_zones))) {
            // An UNTIL in UTC ends the series at that instant, which the iterator must meet in wall time.
            walled.until.zone = nullptr;
        }
        // A zone moves a start by less than two days.
        const TDateValue from = m_first - 2;
        const TDateValue until = m_last + 2;
        const TDateValue startDay = WallDate(wall);
        // Ended before the dates shown (an UNTIL still in UTC may lie a day after its wall time).
        if (walled.count == 0 && startDay < from && !icaltime_is_null_time(walled.until) &&
            WallDate(walled.until) + 1 < from) {
            return;
        }
        // Far before the dates shown, a rule starts near them: an old event costs no more than a new
        // one. Where no such start is known, libical's own skip serves a rule of single steps.
        icaltimetype near = wall;
        const bool aligned = startDay < from && AlignedRuleStart(walled, wall, from, near);
        RecurPtr iterator(icalrecur_iterator_new(walled, aligned ? near : wall));
        if (!iterator) {
            emit(start.Time, start.tzid());
            return;
        }
        if (!aligned && walled.count == 0 && walled.interval <= 1 && startDay < from) {
            icalrecur_iterator_set_start(iterator.get(), OnDay(wall, from));
        }
        for (int step = 0; step < kMaxExpandSteps; ++step) {
            const icaltimetype next = icalrecur_iterator_next(iterator.get());
            if (icaltime_is_null_time(next)) {
                break;
            }
            const TDateValue day = WallDate(next);
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

// One cached event's text read once: its series (a master and its changed occurrences), the changed
// occurrences without their master, its zones, and the wall dates its occurrences can lie between.
class TPreparedCalendar {
public:
    // False when the text holds no calendar with events; readable() tells whether any event of it has
    // a start. The caller keeps to the data files' cap.
    bool read(std::string_view data) {
        const std::string text = unfoldICalendar(WithoutByteOrderMark(data));
        std::vector<ICalendarBlock> blocks;
        std::vector<ICalendarBlock> zoneBlocks;
        if (!findICalendarEvents(text, blocks, &zoneBlocks) || blocks.empty()) {
            return false;
        }
        auto body = std::make_unique<Body>();
        // Only the zones are kept as text; what an event says is kept read.
        for (const ICalendarBlock& block : zoneBlocks) {
            const size_t at = body->ZoneText.size();
            body->ZoneText.append(text, block.Begin, block.End - block.Begin);
            body->ZoneBlocks.push_back({at, body->ZoneText.size()});
        }
        std::vector<EventParts> events;
        events.reserve(blocks.size());
        for (const ICalendarBlock& block : blocks) {
            events.push_back(
                ReadEventParts(std::string_view(text).substr(block.Begin, block.End - block.Begin)));
        }
        // A series is its master and the changed occurrences of the same UID.
        std::map<std::string, std::vector<EventParts>> changes;
        std::vector<EventParts> masters;
        for (EventParts& event : events) {
            m_readable = m_readable || event.Start.has_value();
            // A changed occurrence without a UID names no series and is left out.
            if (event.RecurrenceId && !event.Uid.empty()) {
                changes[event.Uid].push_back(std::move(event));
            } else if (event.Start && !event.RecurrenceId) {
                masters.push_back(std::move(event));
            }
        }
        for (EventParts& master : masters) {
            Series series;
            if (const auto found = master.Uid.empty() ? changes.end() : changes.find(master.Uid);
                found != changes.end()) {
                series.Changes = std::move(found->second);
                changes.erase(found);
            }
            series.Master = std::move(master);
            body->Runs.push_back(std::move(series));
        }
        // Changed occurrences whose series is not here (a server may send them alone) fall where they say.
        for (auto& [uid, list] : changes) {
            for (EventParts& change : list) {
                body->Alone.push_back(std::move(change));
            }
        }
        for (Series& series : body->Runs) {
            countRule(series.Master);
            widen(series.Master, true);
            for (EventParts& change : series.Changes) {
                widen(change, false);
            }
        }
        for (EventParts& event : body->Alone) {
            widen(event, false);
        }
        keep(std::move(body));
        return true;
    }

    bool readable() const { return m_readable; }

    void expand(TDateValue first, TDateValue last, std::vector<TEventOccurrence>& out) const {
        // A zone moves a start by less than two days.
        if (m_latest < first - 2 || m_earliest > last + 2) {
            return;
        }
        if (m_single) {
            const ICalendarZones none;
            Expander(none, first, last, out).at(m_single->Start, m_single->Summary);
            return;
        }
        if (!m_body) {
            return;
        }
        const ICalendarZones zones(m_body->ZoneText, m_body->ZoneBlocks);
        Expander expander(zones, first, last, out);
        for (const Series& series : m_body->Runs) {
            expander.series(series.Master, series.Changes);
        }
        for (const EventParts& event : m_body->Alone) {
            expander.single(event);
        }
    }

private:
    struct Series {
        EventParts Master;
        std::vector<EventParts> Changes;
    };
    struct Body {
        std::string ZoneText;
        std::vector<ICalendarBlock> ZoneBlocks;
        std::vector<Series> Runs;
        std::vector<EventParts> Alone;
    };
    // One event that falls once in the zone it names, as most are: its start and text are all it needs.
    struct Single {
        ZonedTime Start;
        std::string Summary;
    };

    void keep(std::unique_ptr<Body> body) {
        if (body->Runs.size() == 1 && body->Alone.empty() && body->ZoneBlocks.empty() &&
            body->Runs.front().Changes.empty()) {
            EventParts& event = body->Runs.front().Master;
            if ((event.Rule.empty() || event.RuleRejected) && event.Extra.empty() &&
                event.Exceptions.empty() && !event.Cancelled) {
                m_single = Single{std::move(*event.Start), std::move(event.Summary)};
                return;
            }
        }
        m_body = std::move(body);
    }

    // A counted rule ends at its last occurrence, found here once.
    static void countRule(EventParts& master) {
        if (master.Rule.empty() || master.RuleRejected) {
            return;
        }
        const icalrecurrencetype rule = icalrecurrencetype_from_string(master.Rule.c_str());
        master.RuleRejected = rule.freq == ICAL_NO_RECURRENCE;
        if (!master.RuleRejected) {
            master.CountEnd = LastCountedOccurrence(rule, wallOf(*master.Start));
        }
    }

    // The wall dates the event's occurrences lie between: its start, its extra dates, and the end of
    // its rule (none known: no end).
    void widen(const EventParts& event, bool master) {
        const auto take = [this](const icaltimetype& time) {
            const TDateValue day = WallDate(time);
            if (std::isnan(day)) {
                m_latest = std::numeric_limits<double>::infinity();
                m_earliest = -std::numeric_limits<double>::infinity();
                return;
            }
            m_earliest = std::min(m_earliest, day);
            m_latest = std::max(m_latest, day);
        };
        if (!event.Start) {
            return;
        }
        take(event.Start->Time);
        for (const ZonedTime& extra : event.Extra) {
            take(extra.Time);
        }
        if (!master || event.Rule.empty() || event.RuleRejected) {
            return;
        }
        if (event.CountEnd) {
            take(*event.CountEnd);
            return;
        }
        const icalrecurrencetype rule = icalrecurrencetype_from_string(event.Rule.c_str());
        if (rule.count == 0 && !icaltime_is_null_time(rule.until)) {
            // An UNTIL in UTC may lie a day before its wall time.
            icaltimetype until = rule.until;
            take(until);
            m_latest = std::max(m_latest, WallDate(until) + 1);
        } else {
            m_latest = std::numeric_limits<double>::infinity();
        }
    }

    // A month passes most events over on these two, so they are kept beside the rest.
    TDateValue m_earliest = std::numeric_limits<double>::infinity();
    TDateValue m_latest = -std::numeric_limits<double>::infinity();
    bool m_readable = false;
    std::optional<Single> m_single;
    std::unique_ptr<const Body> m_body;
};

namespace {

bool inputFits(std::string_view data, TDateValue first, TDateValue last) {
    return data.size() <= kDataFileCap && !std::isnan(first) && !std::isnan(last);
}

} // namespace

bool ExpandEvents(std::string_view data, TDateValue first, TDateValue last,
                  std::vector<TEventOccurrence>& out) {
    try {
        QuietLibical();
        if (!inputFits(data, first, last)) {
            return false;
        }
        if (clearlyOutside(data, first, last)) {
            return true;
        }
        TPreparedCalendar calendar;
        if (!calendar.read(data)) {
            return false;
        }
        calendar.expand(std::floor(first), std::floor(last), out);
        return calendar.readable();
    } catch (const std::exception&) {
        return false;
    }
}

TICalendarPreparedEvents::TICalendarPreparedEvents(const TEventCache& cache) {
    QuietLibical();
    m_events.resize(cache.Events.size());
    for (size_t i = 0; i < cache.Events.size(); ++i) {
        try {
            if (cache.Events[i].Data.size() <= kDataFileCap) {
                m_events[i].read(cache.Events[i].Data);
            }
        } catch (const std::exception&) {
            m_events[i] = TPreparedCalendar();
        }
    }
}

TICalendarPreparedEvents::~TICalendarPreparedEvents() = default;

void TICalendarPreparedEvents::Expand(size_t index, TDateValue first, TDateValue last,
                                      std::vector<TEventOccurrence>& out) const {
    if (index >= m_events.size() || std::isnan(first) || std::isnan(last)) {
        return;
    }
    try {
        QuietLibical();
        m_events[index].expand(std::floor(first), std::floor(last), out);
    } catch (const std::exception&) {
    }
}

size_t TICalendarPreparedEvents::size() const {
    return m_events.size();
}

bool TICalendarEventExpander::Expand(std::string_view data, TDateValue first, TDateValue last,
                                     std::vector<TEventOccurrence>& out) {
    return ExpandEvents(data, first, last, out);
}

std::unique_ptr<IPreparedEvents> TICalendarEventExpander::Prepare(const TEventCache& cache) {
    return std::make_unique<TICalendarPreparedEvents>(cache);
}

} // namespace kestrivel
