#include "ICalendarTime.h"

#include "ICalendarZoneRules.h"

#include <unicode/ucal.h>

#include <ctime>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace kestrivel {

namespace {

// Day 0 of the date values is 1899-12-30; the Unix epoch is day 25569.
constexpr int64_t kUnixEpochDay = 25569;
constexpr int64_t kSecondsPerDay = 86400;

// Zone names are short; a longer TZID names nothing, and no look-up of it costs more than this.
constexpr size_t kMaxZoneName = 256;
// The recurrence steps all zones of one object may take together.
constexpr int64_t kObjectZoneSteps = 20000;

// The system's zone data, read by name from its list, never from a path a TZID spells.
constexpr const char* kZoneList = "/usr/share/zoneinfo/tzdata.zi";
constexpr const char* kZoneTable = "/usr/share/zoneinfo/zone.tab";

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

// libical finds a built-in zone by comparing its name with each of several hundred, and a calendar
// asks the same few zones for every occurrence it draws: each is found once. Only names of the
// system's list come here, so the table grows no larger than that list. libical loads its zones once
// and keeps them, so what it found stays valid.
icaltimezone* builtinZone(const std::string& name) {
    static std::mutex lock;
    static std::unordered_map<std::string, icaltimezone*> found;
    const std::lock_guard guard(lock);
    const auto [at, added] = found.try_emplace(name, nullptr);
    if (added) {
        at->second = icaltimezone_get_builtin_timezone(name.c_str());
    }
    return at->second;
}

int systemOffset(icaltimezone* zone, const icaltimetype& local) {
    icaltimetype copy = local;
    int daylight = 0;
    return icaltimezone_get_utc_offset(zone, &copy, &daylight);
}

} // namespace

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
    return rules != nullptr && rules->offsetAt(local, m_workLeft, out);
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

namespace {

// The UTC offset of `local`, a time of day in the zone `tzid`: the object's VTIMEZONE of that name,
// else the system's zone of that name. False for a DATE, a floating time or a zone found nowhere;
// `exact` false for an object's zone past its bound.
bool offsetOf(const icaltimetype& local, const char* tzid, const ICalendarZones* zones, int& offset,
              bool& exact) {
    offset = 0;
    exact = true;
    if (local.is_date != 0) {
        return false;
    }
    if (icaltime_is_utc(local)) {
        return true;
    }
    if (tzid == nullptr) {
        return false;
    }
    ZoneOffset own;
    icaltimezone* system = nullptr;
    bool known = false;
    if (zones != nullptr && zones->offsetAt(tzid, local, own)) {
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
    offset = system != nullptr ? systemOffset(system, local) : offset;
    return known;
}

// Seconds since the epoch of a time of day read as UTC, counted here (libical's own count is a day
// off before the year 1600).
int64_t wallSeconds(TDateValue day, const icaltimetype& time) {
    const int64_t seconds = time.is_date != 0 ? 0 : time.hour * 3600 + time.minute * 60 + time.second;
    return (static_cast<int64_t>(day) - kUnixEpochDay) * kSecondsPerDay + seconds;
}

} // namespace

bool LocalStartTime(const icaltimetype& start, const char* tzid, const ICalendarZones* zones, TYmd& date,
                    int& minutes, bool* inexact) {
    TDateValue day = 0;
    if (!TryEncodeDate(start.year, start.month, start.day, day)) {
        return false;
    }
    int offset = 0;
    bool exact = true;
    if (!offsetOf(start, tzid, zones, offset, exact)) {
        date = {start.year, start.month, start.day};
        minutes = start.is_date != 0 ? -1 : start.hour * 60 + start.minute;
        return true;
    }
    const time_t utc = static_cast<time_t>(wallSeconds(day, start) - offset);
    std::tm here{};
    if (localtime_r(&utc, &here) == nullptr) {
        return false;
    }
    date = {here.tm_year + 1900, here.tm_mon + 1, here.tm_mday};
    minutes = here.tm_hour * 60 + here.tm_min;
    if (!exact && inexact != nullptr) {
        *inexact = true;
    }
    return date.Year >= 1 && date.Year <= 9999;
}

bool LocalStartDate(const icaltimetype& start, const char* tzid, const ICalendarZones* zones, TYmd& out,
                    bool* inexact) {
    int minutes = 0;
    return LocalStartTime(start, tzid, zones, out, minutes, inexact);
}

int64_t InstantSeconds(const icaltimetype& time, const char* tzid, const ICalendarZones* zones) {
    TDateValue day = 0;
    if (!TryEncodeDate(time.year, time.month, time.day, day)) {
        return 0;
    }
    int offset = 0;
    bool exact = true;
    offsetOf(time, tzid, zones, offset, exact);
    return wallSeconds(day, time) - offset;
}

bool UtcToZoneTime(icaltimetype& time, const char* tzid, const ICalendarZones* zones) {
    // The offset of the wall time sought is not known before it is: taken at the instant read as
    // wall time, then once more at the wall time that gives, which settles it but for the hour a
    // change repeats.
    icaltimetype wall = time;
    wall.zone = nullptr;
    int offset = 0;
    bool exact = true;
    if (time.is_date != 0 || tzid == nullptr || !offsetOf(wall, tzid, zones, offset, exact)) {
        return false;
    }
    for (int round = 0; round < 2; ++round) {
        wall = time;
        wall.zone = nullptr;
        icaltime_adjust(&wall, 0, 0, 0, offset);
        if (!offsetOf(wall, tzid, zones, offset, exact)) {
            return false;
        }
    }
    wall = time;
    wall.zone = nullptr;
    icaltime_adjust(&wall, 0, 0, 0, offset);
    time = wall;
    return true;
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
