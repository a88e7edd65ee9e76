// An object's own zone, read from its VTIMEZONE and evaluated here rather than by libical: only
// around the year asked for, and within a bound on the recurrence steps, so that a zone whose
// rules change the offset every day since the year 1 costs no more than a real one.
#include "ICalendarZoneRules.h"

#include "common/DateValue.h"
#include "memos/ICalendarText.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace kestrivel {

namespace {

constexpr int64_t kSecondsPerDay = 86400;
// What one zone may hold and cost. Real zones have a few observances per era and at most two
// onsets a year; a zone with a part that changes the offset every day has to stop somewhere.
constexpr size_t kMaxObservances = 1024;
constexpr size_t kMaxZoneDates = 4096;
constexpr int64_t kWindowSteps = 256;
constexpr size_t kWindowsKept = 32;

// The lines a zone's observances are made of.
bool isObservanceLine(std::string_view name) {
    for (const std::string_view wanted : {"DTSTART", "TZOFFSETFROM", "TZOFFSETTO", "RRULE", "RDATE"}) {
        if (sameICalendarName(name, wanted)) {
            return true;
        }
    }
    return false;
}

// Zones change their offsets a few times a year at most, by month and day. Only rules of the
// parts real zones use are taken; libical could spend years of iteration on any other.
bool isZoneRule(std::string_view line) {
    std::string value(icalendarValue(line));
    for (char& c : value) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    bool yearly = false;
    for (size_t pos = 0; pos <= value.size();) {
        const size_t end = std::min(value.find(';', pos), value.size());
        const std::string_view part = std::string_view(value).substr(pos, end - pos);
        const std::string_view name = part.substr(0, part.find('='));
        yearly = yearly || part == "FREQ=YEARLY";
        bool known = part == "FREQ=YEARLY" || part == "INTERVAL=1";
        for (const std::string_view allowed : {"BYMONTH", "BYDAY", "BYMONTHDAY", "UNTIL", "COUNT", "WKST"}) {
            known = known || name == allowed;
        }
        if (!known) {
            return false;
        }
        pos = end + 1;
    }
    return yearly;
}

// "+0100", "-0530", "+013045": seconds east of UTC; false for anything else or a day or more.
bool readUtcOffset(std::string_view value, int& out) {
    if ((value.size() != 5 && value.size() != 7) || (value[0] != '+' && value[0] != '-')) {
        return false;
    }
    int digits[3] = {0, 0, 0};
    for (size_t i = 1; i < value.size(); ++i) {
        if (value[i] < '0' || value[i] > '9') {
            return false;
        }
        digits[(i - 1) / 2] = digits[(i - 1) / 2] * 10 + (value[i] - '0');
    }
    if (digits[0] > 23 || digits[1] > 59 || digits[2] > 59) {
        return false;
    }
    out = (digits[0] * 3600 + digits[1] * 60 + digits[2]) * (value[0] == '-' ? -1 : 1);
    return true;
}

// A local time as seconds since day 0; false outside the years 1..9999.
bool localSeconds(const icaltimetype& time, int64_t& out) {
    TDateValue day = 0;
    if (!TryEncodeDate(time.year, time.month, time.day, day)) {
        return false;
    }
    out = static_cast<int64_t>(day) * kSecondsPerDay +
          (time.is_date ? 0 : time.hour * 3600 + time.minute * 60 + time.second);
    return true;
}

int64_t yearStart(int year) {
    TDateValue day = 0;
    TryEncodeDate(std::clamp(year, 1, 9999), 1, 1, day);
    return static_cast<int64_t>(day) * kSecondsPerDay;
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

struct RecurDeleter {
    void operator()(icalrecur_iterator* it) const { icalrecur_iterator_free(it); }
};
using RecurPtr = std::unique_ptr<icalrecur_iterator, RecurDeleter>;

} // namespace

std::unique_ptr<ICalendarZoneRules> ICalendarZoneRules::read(std::string_view block) {
    auto rules = std::make_unique<ICalendarZoneRules>();
    Observance part;
    bool inside = false, hasStart = false, hasFrom = false, hasTo = false;
    size_t dates = 0;
    std::string rule;
    for (size_t pos = 0; pos < block.size();) {
        const std::string_view line = nextICalendarLine(block, pos);
        const std::string_view name = icalendarPropertyName(line);
        const std::string_view value = icalendarValue(line);
        if (sameICalendarName(name, "BEGIN")) {
            inside = sameICalendarName(value, "STANDARD") || sameICalendarName(value, "DAYLIGHT");
            part = {};
            hasStart = hasFrom = hasTo = false;
            rule.clear();
        } else if (sameICalendarName(name, "END") && inside) {
            inside = false;
            if (!hasStart || !hasFrom || !hasTo) {
                continue;
            }
            if (!rule.empty()) {
                part.Rule = icalrecurrencetype_from_string(rule.c_str());
                part.HasRule = part.Rule.freq == ICAL_YEARLY_RECURRENCE;
                rules->m_overflow = rules->m_overflow || !part.HasRule;
            }
            if (!rules->addObservance(std::move(part))) {
                rules->m_overflow = true;
                break;
            }
        } else if (!inside || !isObservanceLine(name)) {
            continue;
        } else if (line.size() > kICalendarMaxParsedLine) {
            rules->m_overflow = true;
        } else if (sameICalendarName(name, "DTSTART")) {
            part.Start = icaltime_from_string(std::string(value).c_str());
            hasStart = !icaltime_is_null_time(part.Start) && localSeconds(part.Start, part.StartAt);
            if (hasStart) {
                part.Dates.push_back(part.StartAt);
            }
        } else if (sameICalendarName(name, "TZOFFSETFROM")) {
            hasFrom = readUtcOffset(value, part.From);
        } else if (sameICalendarName(name, "TZOFFSETTO")) {
            hasTo = readUtcOffset(value, part.To);
        } else if (sameICalendarName(name, "RRULE")) {
            // One rule per observance; a second one, or one of another kind, is not followed.
            rules->m_overflow = rules->m_overflow || !rule.empty() || !isZoneRule(line);
            if (rule.empty() && isZoneRule(line)) {
                rule.assign(value);
            }
        } else if (sameICalendarName(name, "RDATE")) {
            for (size_t at = 0; at < value.size();) {
                const size_t end = std::min(value.find(',', at), value.size());
                const std::string_view item = value.substr(at, end - at);
                at = end + 1;
                int64_t seconds = 0;
                const icaltimetype date =
                    icaltime_from_string(std::string(item.substr(0, item.find('/'))).c_str());
                if (++dates > kMaxZoneDates) {
                    rules->m_overflow = true;
                    break;
                }
                if (!icaltime_is_null_time(date) && localSeconds(date, seconds)) {
                    part.Dates.push_back(seconds);
                }
            }
        }
    }
    if (rules->m_parts.empty()) {
        return nullptr;
    }
    return rules;
}

bool ICalendarZoneRules::addObservance(Observance part) {
    if (m_parts.size() >= kMaxObservances) {
        return false;
    }
    std::sort(part.Dates.begin(), part.Dates.end());
    if (part.HasRule && !icaltime_is_null_time(part.Rule.until) && icaltime_is_utc(part.Rule.until)) {
        // UNTIL is written in UTC, the occurrences in the local time before the onset.
        icaltimetype until = icaltime_add(part.Rule.until, icaldurationtype_from_int(part.From));
        until.zone = nullptr;
        part.Rule.until = until;
    }
    m_parts.push_back(std::move(part));
    return true;
}

// The rule's onsets in [from, to), and its last one before `from` as well. False when the rule
// has no end but no onset in the window: it skips years, or passes what libical computes.
bool ICalendarZoneRules::ruleOnsets(const Observance& part, int year, int64_t from, int64_t to,
                                    int64_t& steps, Window& out) const {
    icaltimetype start = part.Start;
    const bool counted = part.Rule.count != 0;
    const bool ends = counted || !icaltime_is_null_time(part.Rule.until);
    // A rule by month and day repeats its year: start it shortly before the window (or before its
    // end), not in the year 1.
    int first = year - 2;
    if (!counted && !icaltime_is_null_time(part.Rule.until) && part.Rule.until.year < first) {
        first = part.Rule.until.year - 1;
    }
    if (!counted && start.year < first) {
        int shifted = first;
        while (start.month == 2 && start.day == 29 && !isLeapYear(shifted)) {
            --shifted;
        }
        start.year = std::max(shifted, start.year);
    }
    RecurPtr it(icalrecur_iterator_new(part.Rule, start));
    if (!it) {
        return false;
    }
    int64_t before = INT64_MIN;
    bool inWindow = false;
    for (;;) {
        if (--steps < 0) {
            return false;
        }
        const icaltimetype next = icalrecur_iterator_next(it.get());
        int64_t at = 0;
        if (icaltime_is_null_time(next) || !localSeconds(next, at)) {
            if (!ends && !inWindow) {
                return false;
            }
            break;
        }
        if (at >= to) {
            break;
        }
        if (at < from) {
            before = std::max(before, at);
        } else {
            out.Onsets.push_back({at, part.To});
            inWindow = true;
        }
    }
    if (before != INT64_MIN) {
        out.Onsets.push_back({before, part.To});
    }
    return ends || inWindow;
}

ICalendarZoneRules::Window ICalendarZoneRules::evaluate(int year, int64_t& work) const {
    Window out;
    out.Exact = !m_overflow;
    const int64_t from = yearStart(year - 2), to = year + 2 > 9999 ? INT64_MAX : yearStart(year + 2);
    int64_t steps = std::min(work, kWindowSteps);
    const int64_t granted = steps;
    for (const Observance& part : m_parts) {
        const auto first = std::lower_bound(part.Dates.begin(), part.Dates.end(), from);
        if (first != part.Dates.begin()) {
            out.Onsets.push_back({*(first - 1), part.To});
        }
        for (auto it = first; it != part.Dates.end() && *it < to; ++it) {
            out.Onsets.push_back({*it, part.To});
        }
        if (part.HasRule && part.StartAt < to && !ruleOnsets(part, year, from, to, steps, out)) {
            out.Exact = false;
            if (steps < 0) {
                break;
            }
        }
    }
    work -= granted - std::max<int64_t>(steps, 0);
    std::stable_sort(out.Onsets.begin(), out.Onsets.end());
    return out;
}

bool ICalendarZoneRules::offsetAt(const icaltimetype& local, int64_t& work, ZoneOffset& out) const {
    int64_t when = 0;
    if (!localSeconds(local, when)) {
        return false;
    }
    const int year = local.year;
    auto found = m_windows.find(year);
    if (found == m_windows.end()) {
        if (m_windows.size() >= kWindowsKept) {
            m_windows.clear();
        }
        found = m_windows.emplace(year, evaluate(year, work)).first;
    }
    const Window& window = found->second;
    // The onset in force is the last one at or before the time as written (so an hour that
    // happens twice reads as its first, before the clocks go back).
    const auto after = std::upper_bound(window.Onsets.begin(), window.Onsets.end(), Onset{when, 0});
    if (after != window.Onsets.begin()) {
        out = {(after - 1)->To, window.Exact};
        return true;
    }
    // Before the zone's first onset its first observance's offset before it holds.
    const Observance* earliest = &m_parts.front();
    for (const Observance& part : m_parts) {
        earliest = part.StartAt < earliest->StartAt ? &part : earliest;
    }
    if (when < earliest->StartAt) {
        out = {earliest->From, window.Exact};
        return true;
    }
    out = {window.Onsets.empty() ? earliest->To : window.Onsets.back().To, false};
    return true;
}

} // namespace kestrivel
