#include "ICalendarTime.h"

#include <algorithm>
#include <ctime>
#include <initializer_list>
#include <string>

namespace kestrivel {

namespace {

// Day 0 of the date values is 1899-12-30; the Unix epoch is day 25569.
constexpr int64_t kUnixEpochDay = 25569;
constexpr int64_t kSecondsPerDay = 86400;

struct ZoneDeleter {
    void operator()(icaltimezone* zone) const { icaltimezone_free(zone, 1); }
};
using ZonePtr = std::unique_ptr<icaltimezone, ZoneDeleter>;

// The lines a zone's offsets are made of; libical is given nothing else (an X- property may be as
// long as the object).
bool isZoneLine(std::string_view name) {
    for (const std::string_view wanted :
         {"BEGIN", "END", "TZID", "DTSTART", "TZOFFSETFROM", "TZOFFSETTO", "RRULE", "RDATE"}) {
        if (sameICalendarName(name, wanted)) {
            return true;
        }
    }
    return false;
}

// Zones change their offsets a few times a year at most, by month and day; libical expands a
// zone's rules up to the date asked for, so a rule that changes it every second since 1970 would
// never end. Only rules of the parts real zones use are taken.
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

ZonePtr buildZone(std::string_view block) {
    std::unique_ptr<icalparser, decltype(&icalparser_free)> parser(icalparser_new(), &icalparser_free);
    icalcomponent* component = nullptr;
    std::string copy;
    for (size_t pos = 0; parser && pos < block.size() && component == nullptr;) {
        const std::string_view line = nextICalendarLine(block, pos);
        const std::string_view name = icalendarPropertyName(line);
        if (sameICalendarName(name, "RRULE") && !isZoneRule(line)) {
            return nullptr;
        }
        if (line.size() <= kICalendarMaxParsedLine && isZoneLine(name)) {
            copy.assign(line);
            component = icalparser_add_line(parser.get(), copy.data());
        }
    }
    if (component == nullptr) {
        return nullptr;
    }
    ZonePtr zone(icaltimezone_new());
    // The zone takes the component only when it names a TZID.
    if (!zone || icalcomponent_isa(component) != ICAL_VTIMEZONE_COMPONENT ||
        icaltimezone_set_component(zone.get(), component) == 0) {
        icalcomponent_free(component);
        return nullptr;
    }
    return zone;
}

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

icaltimezone* systemZone(const char* tzid) {
    // "/freeassociation.sourceforge.net/Europe/Berlin" and the like, then plain location names.
    if (icaltimezone* zone = icaltimezone_get_builtin_timezone_from_tzid(tzid)) {
        return zone;
    }
    return icaltimezone_get_builtin_timezone(tzid);
}

} // namespace

struct ICalendarZones::Zone {
    std::string_view Tzid;
    std::string_view Block;
    bool Tried = false;
    ZonePtr Built;
};

ICalendarZones::ICalendarZones() = default;

ICalendarZones::ICalendarZones(std::string_view text, const std::vector<ICalendarBlock>& blocks) {
    for (const ICalendarBlock& block : blocks) {
        const std::string_view body = text.substr(block.Begin, block.End - block.Begin);
        m_zones.push_back({blockTzid(body), body, false, nullptr});
    }
}

ICalendarZones::~ICalendarZones() = default;

icaltimezone* ICalendarZones::find(std::string_view tzid) const {
    for (Zone& zone : m_zones) {
        if (zone.Tzid == tzid) {
            if (!zone.Tried) {
                zone.Tried = true;
                zone.Built = buildZone(zone.Block);
            }
            return zone.Built.get();
        }
    }
    return nullptr;
}

bool LocalStartDate(const icaltimetype& start, const char* tzid, const ICalendarZones* zones, TYmd& out) {
    TDateValue day = 0;
    if (!TryEncodeDate(start.year, start.month, start.day, day)) {
        return false;
    }
    icaltimezone* zone = nullptr;
    if (start.is_date == 0 && icaltime_is_utc(start)) {
        zone = icaltimezone_get_utc_timezone();
    } else if (start.is_date == 0 && tzid != nullptr) {
        zone = zones != nullptr ? zones->find(tzid) : nullptr;
        zone = zone != nullptr ? zone : systemZone(tzid);
    }
    if (zone == nullptr) {
        out = {start.year, start.month, start.day};
        return true;
    }
    // Seconds since the epoch counted here (libical's own count is a day off before the year 1600);
    // libical only gives the zone's offset at that time of day.
    icaltimetype local = start;
    int daylight = 0;
    const int offset = icaltimezone_get_utc_offset(zone, &local, &daylight);
    const time_t utc = static_cast<time_t>((static_cast<int64_t>(day) - kUnixEpochDay) * kSecondsPerDay +
                                           start.hour * 3600 + start.minute * 60 + start.second - offset);
    std::tm here{};
    if (localtime_r(&utc, &here) == nullptr) {
        return false;
    }
    out = {here.tm_year + 1900, here.tm_mon + 1, here.tm_mday};
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

icaltimezone* ZoneOfTime(const icaltimetype& time, const char* tzid, const ICalendarZones* zones) {
    if (time.is_date != 0) {
        return nullptr;
    }
    if (icaltime_is_utc(time)) {
        return icaltimezone_get_utc_timezone();
    }
    if (tzid == nullptr) {
        return nullptr;
    }
    icaltimezone* zone = zones != nullptr ? zones->find(tzid) : nullptr;
    return zone != nullptr ? zone : systemZone(tzid);
}

int64_t InstantSeconds(const icaltimetype& time, const char* tzid, const ICalendarZones* zones) {
    TDateValue day = 0;
    if (!TryEncodeDate(time.year, time.month, time.day, day)) {
        return 0;
    }
    icaltimetype local = time;
    int daylight = 0;
    icaltimezone* zone = ZoneOfTime(time, tzid, zones);
    const int offset = zone != nullptr ? icaltimezone_get_utc_offset(zone, &local, &daylight) : 0;
    const int64_t seconds = time.is_date != 0 ? 0 : time.hour * 3600 + time.minute * 60 + time.second;
    return (static_cast<int64_t>(day) - kUnixEpochDay) * kSecondsPerDay + seconds - offset;
}

bool LocalStartTime(const icaltimetype& start, const char* tzid, const ICalendarZones* zones, TYmd& date,
                    int& minutes) {
    if (start.is_date != 0 || ZoneOfTime(start, tzid, zones) == nullptr) {
        TDateValue day = 0;
        date = {start.year, start.month, start.day};
        minutes = start.is_date != 0 ? -1 : start.hour * 60 + start.minute;
        return TryEncodeDate(start.year, start.month, start.day, day);
    }
    const time_t utc = static_cast<time_t>(InstantSeconds(start, tzid, zones));
    std::tm here{};
    if (localtime_r(&utc, &here) == nullptr) {
        return false;
    }
    date = {here.tm_year + 1900, here.tm_mon + 1, here.tm_mday};
    minutes = here.tm_hour * 60 + here.tm_min;
    return date.Year >= 1 && date.Year <= 9999;
}

} // namespace kestrivel
