#include "ICalendarTime.h"

#include <unicode/ucal.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <unordered_set>

namespace kestrivel {

namespace {

// Day 0 of the date values is 1899-12-30; the Unix epoch is day 25569.
constexpr int64_t kUnixEpochDay = 25569;
constexpr int64_t kSecondsPerDay = 86400;

// Zone names are short; a longer TZID names nothing, and no look-up of it costs more than this.
constexpr size_t kMaxZoneName = 256;
// What one zone may hold and cost. Real zones have a few observances per era and at most two
// onsets a year; a zone with a part that changes the offset every day has to stop somewhere.
constexpr size_t kMaxObservances = 1024;
constexpr size_t kMaxZoneDates = 4096;
constexpr int64_t kWindowSteps = 256;
// The recurrence steps all zones of one object may take together.
constexpr int64_t kObjectZoneSteps = 20000;
constexpr size_t kWindowsKept = 32;

// The system's zone data, read by name from its list, never from a path a TZID spells.
constexpr const char* kZoneList = "/usr/share/zoneinfo/tzdata.zi";
constexpr const char* kZoneTable = "/usr/share/zoneinfo/zone.tab";

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

std::string_view blockTzid(std::string_view block) {
    int depth = 0;
    for (size_t pos = 0; pos < block.size();) {
        const std::string_view line = nextICalendarLine(block, pos);
        const std::string_view name = icalendarPropertyName(line);
        if (sameICalendarName(name, "BEGIN")) {
            ++depth;
        } else if (sameICalendarName(name, "END")) {
            --depth;
        } else if (depth == 1 && sameICalendarName(name, "TZID")) {
            return icalendarValue(line);
        }
    }
    return {};
}

void addZoneName(std::unordered_set<std::string>& names, std::string_view name) {
    // The list is the system's own, but a name is still only a name.
    if (!name.empty() && name.size() <= kMaxZoneName && name.front() != '/' &&
        name.find("..") == std::string::npos) {
        names.emplace(name);
    }
}

// Every zone and link name of the system's zone data, read once.
const std::unordered_set<std::string>& systemZoneNames() {
    static const std::unordered_set<std::string> names = [] {
        std::unordered_set<std::string> out{"UTC", "GMT"};
        std::ifstream list(kZoneList);
        std::string line;
        bool any = false;
        while (std::getline(list, line)) {
            // "Z Europe/Berlin 0:53:28 - LMT 1893 Ap" and "L Europe/Berlin Arctic/Longyearbyen".
            const size_t first = line.find(' ');
            if (line.size() < 3 || line[1] != ' ' || (line[0] != 'Z' && line[0] != 'L')) {
                continue;
            }
            const size_t second = line.find(' ', first + 1);
            const size_t from = line[0] == 'Z' ? first + 1 : second + 1;
            if (line[0] == 'L' && second == std::string::npos) {
                continue;
            }
            const size_t to = line.find(' ', from);
            addZoneName(out, std::string_view(line).substr(from, to == std::string::npos ? to : to - from));
            any = true;
        }
        if (!any) {
            // Older systems: the table of locations, third column.
            std::ifstream table(kZoneTable);
            while (std::getline(table, line)) {
                if (line.empty() || line[0] == '#') {
                    continue;
                }
                const size_t a = line.find('\t');
                const size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
                if (b != std::string::npos) {
                    const size_t c = line.find('\t', b + 1);
                    addZoneName(out,
                                std::string_view(line).substr(b + 1, c == std::string::npos ? c : c - b - 1));
                }
            }
        }
        return out;
    }();
    return names;
}

bool isSystemZone(std::string_view name) {
    return systemZoneNames().count(std::string(name)) != 0;
}

// The IANA name the Unicode CLDR gives a Windows zone name (its "001" territory), or empty.
std::string windowsZoneName(std::string_view tzid) {
    std::u16string windows;
    for (const char c : tzid) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) {
            return {};
        }
        windows.push_back(static_cast<char16_t>(c));
    }
    UChar found[128];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = ucal_getTimeZoneIDForWindowsID(
        reinterpret_cast<const UChar*>(windows.data()), static_cast<int32_t>(windows.size()), nullptr, found,
        static_cast<int32_t>(std::size(found)), &status);
    std::string out;
    if (U_FAILURE(status) || length <= 0 || length >= static_cast<int32_t>(std::size(found))) {
        return out;
    }
    for (int32_t i = 0; i < length; ++i) {
        if (found[i] > 0x7E) {
            return {};
        }
        out.push_back(static_cast<char>(found[i]));
    }
    return out;
}

icaltimezone* builtinZone(const std::string& name) {
    return icaltimezone_get_builtin_timezone(name.c_str());
}

int systemOffset(icaltimezone* zone, const icaltimetype& local) {
    icaltimetype copy = local;
    int daylight = 0;
    return icaltimezone_get_utc_offset(zone, &copy, &daylight);
}

} // namespace

// One VTIMEZONE's observances, evaluated per window of years around the year asked for.
class ICalendarZoneRules {
public:
    // Null when the block holds no observance that reads.
    static std::unique_ptr<ICalendarZoneRules> read(std::string_view block);

    // The offset of the local time `when` (seconds since day 0, in `year`), spending `work`.
    ZoneOffset offsetAt(int64_t when, int year, int64_t& work) const;

private:
    struct Observance {
        icaltimetype Start{};
        int64_t StartAt = 0;
        int From = 0;
        int To = 0;
        bool HasRule = false;
        icalrecurrencetype Rule{};
        std::vector<int64_t> Dates; // DTSTART and the RDATEs, sorted
    };
    struct Onset {
        int64_t At;
        int To;
        bool operator<(const Onset& other) const { return At < other.At; }
    };
    struct Window {
        bool Exact = true;
        std::vector<Onset> Onsets;
    };

    bool addObservance(Observance part);
    Window evaluate(int year, int64_t& work) const;
    bool ruleOnsets(const Observance& part, int year, int64_t from, int64_t to, int64_t& steps,
                    Window& out) const;

    std::vector<Observance> m_parts;
    bool m_overflow = false;
    mutable std::unordered_map<int, Window> m_windows;
};

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

ZoneOffset ICalendarZoneRules::offsetAt(int64_t when, int year, int64_t& work) const {
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
        return {(after - 1)->To, window.Exact};
    }
    // Before the zone's first onset its first observance's offset before it holds.
    const Observance* earliest = &m_parts.front();
    for (const Observance& part : m_parts) {
        earliest = part.StartAt < earliest->StartAt ? &part : earliest;
    }
    if (when < earliest->StartAt) {
        return {earliest->From, window.Exact};
    }
    return {window.Onsets.empty() ? earliest->To : window.Onsets.back().To, false};
}

struct ICalendarZones::Zone {
    std::string_view Block;
    bool Tried = false;
    std::unique_ptr<ICalendarZoneRules> Rules;
};

ICalendarZones::ICalendarZones() : m_workLeft(kObjectZoneSteps) {}

ICalendarZones::ICalendarZones(std::string_view text, const std::vector<ICalendarBlock>& blocks)
    : m_workLeft(kObjectZoneSteps) {
    m_zones.reserve(blocks.size());
    for (const ICalendarBlock& block : blocks) {
        const std::string_view body = text.substr(block.Begin, block.End - block.Begin);
        // The first zone of a name is the one used, as libical does.
        m_byTzid.emplace(blockTzid(body), m_zones.size());
        m_zones.push_back({body, false, nullptr});
    }
}

ICalendarZones::~ICalendarZones() = default;

const ICalendarZoneRules* ICalendarZones::find(std::string_view tzid) const {
    const auto found = m_byTzid.find(tzid);
    if (tzid.empty() || found == m_byTzid.end()) {
        return nullptr;
    }
    Zone& zone = m_zones[found->second];
    if (!zone.Tried) {
        zone.Tried = true;
        zone.Rules = ICalendarZoneRules::read(zone.Block);
    }
    return zone.Rules.get();
}

bool ICalendarZones::offsetAt(std::string_view tzid, const icaltimetype& local, ZoneOffset& out) const {
    const ICalendarZoneRules* rules = find(tzid);
    int64_t when = 0;
    if (rules == nullptr || !localSeconds(local, when)) {
        return false;
    }
    out = rules->offsetAt(when, local.year, m_workLeft);
    return true;
}

icaltimezone* SystemZoneNamed(std::string_view tzid) {
    if (tzid.empty() || tzid.size() > kMaxZoneName) {
        return nullptr;
    }
    if (isSystemZone(tzid)) {
        return builtinZone(std::string(tzid));
    }
    // "/freeassociation.sourceforge.net/Europe/Berlin", "/mozilla.org/20050126_1/America/New_York":
    // the name after a vendor's prefix, still only when it is in the list.
    if (tzid.front() == '/') {
        for (size_t slash = tzid.find('/', 1); slash != std::string_view::npos;
             slash = tzid.find('/', slash + 1)) {
            if (isSystemZone(tzid.substr(slash + 1))) {
                return builtinZone(std::string(tzid.substr(slash + 1)));
            }
        }
    }
    const std::string windows = windowsZoneName(tzid);
    return !windows.empty() && isSystemZone(windows) ? builtinZone(windows) : nullptr;
}

bool LocalStartDate(const icaltimetype& start, const char* tzid, const ICalendarZones* zones, TYmd& out,
                    bool* inexact) {
    TDateValue day = 0;
    if (!TryEncodeDate(start.year, start.month, start.day, day)) {
        return false;
    }
    bool known = false, exact = true;
    int offset = 0;
    if (start.is_date == 0 && icaltime_is_utc(start)) {
        known = true;
    } else if (start.is_date == 0 && tzid != nullptr) {
        ZoneOffset own;
        icaltimezone* system = nullptr;
        if (zones != nullptr && zones->offsetAt(tzid, start, own)) {
            known = true;
            exact = own.Exact;
            offset = own.Seconds;
            // A zone past its bound: the system's zone of that name knows better than its last
            // observance, when there is one.
            system = exact ? nullptr : SystemZoneNamed(tzid);
        } else {
            system = SystemZoneNamed(tzid);
            known = system != nullptr;
        }
        offset = system != nullptr ? systemOffset(system, start) : offset;
    }
    if (!known) {
        out = {start.year, start.month, start.day};
        return true;
    }
    // Seconds since the epoch counted here (libical's own count is a day off before the year 1600).
    const time_t utc = static_cast<time_t>((static_cast<int64_t>(day) - kUnixEpochDay) * kSecondsPerDay +
                                           start.hour * 3600 + start.minute * 60 + start.second - offset);
    std::tm here{};
    if (localtime_r(&utc, &here) == nullptr) {
        return false;
    }
    out = {here.tm_year + 1900, here.tm_mon + 1, here.tm_mday};
    if (!exact && inexact != nullptr) {
        *inexact = true;
    }
    return out.Year >= 1 && out.Year <= 9999;
}

bool IsPlainRepeat(const icalrecurrencetype& rule, const icaltimetype& start) {
    // Every BY list holds at least two places; the first unused one is ICAL_RECURRENCE_ARRAY_MAX.
    auto none = [](const short* list) { return list[0] == ICAL_RECURRENCE_ARRAY_MAX; };
    auto one = [](const short* list) {
        return list[0] != ICAL_RECURRENCE_ARRAY_MAX && list[1] == ICAL_RECURRENCE_ARRAY_MAX;
    };
    for (const short* list :
         {rule.by_second, rule.by_minute, rule.by_hour, rule.by_year_day, rule.by_week_no, rule.by_set_pos}) {
        if (!none(list)) {
            return false;
        }
    }
    if (rule.interval != 1 || rule.count != 0 || !icaltime_is_null_time(rule.until) ||
        rule.rscale != nullptr) {
        return false;
    }
    const bool ownWeekday =
        one(rule.by_day) && icalrecurrencetype_day_position(rule.by_day[0]) == 0 &&
        static_cast<int>(icalrecurrencetype_day_day_of_week(rule.by_day[0])) == icaltime_day_of_week(start);
    const bool ownDay = one(rule.by_month_day) && rule.by_month_day[0] == start.day;
    const bool ownMonth = one(rule.by_month) && rule.by_month[0] == start.month;
    const bool noDay = none(rule.by_day), noMonthDay = none(rule.by_month_day), noMonth = none(rule.by_month);
    switch (rule.freq) {
    case ICAL_WEEKLY_RECURRENCE:
        return (noDay || ownWeekday) && noMonthDay && noMonth;
    case ICAL_MONTHLY_RECURRENCE:
        return noDay && (noMonthDay || ownDay) && noMonth;
    case ICAL_YEARLY_RECURRENCE:
        // BYMONTHDAY alone would repeat every month.
        return noDay && (noMonth || ownMonth) && (noMonthDay || (ownDay && ownMonth));
    default:
        return false;
    }
}

} // namespace kestrivel
