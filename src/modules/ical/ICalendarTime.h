#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <libical/ical.h>

#include "common/DateValue.h"
#include "memos/ICalendarText.h"

namespace kestrivel {

class ICalendarZoneRules;

// The UTC offset a zone gives a local time of day, and whether it is the zone's own answer: a zone
// whose rules cost more than their bound, or run out where their rule has no end, answers only
// approximately (see LocalStartDate).
struct ZoneOffset {
    int Seconds = 0;
    bool Exact = true;
};

// The VTIMEZONEs of one object or file, found by their TZID (hashed, so a file of many zones and
// many events costs each event one look-up) and read at their first use. A zone is never handed to
// libical: its observances are evaluated here, only around the years asked for and within a bound
// on the work, so that no zone an object defines can cost more than milliseconds.
class ICalendarZones {
public:
    ICalendarZones();
    // `blocks` are ranges of the unfolded `text`, which must outlive this object.
    ICalendarZones(std::string_view text, const std::vector<ICalendarBlock>& blocks);
    ~ICalendarZones();
    ICalendarZones(const ICalendarZones&) = delete;
    ICalendarZones& operator=(const ICalendarZones&) = delete;

    // The zone the object defines under `tzid` (the first of that name); null when it defines
    // none or none that reads.
    const ICalendarZoneRules* find(std::string_view tzid) const;

    // The offset of `local` (a local time of day) in the object's zone `tzid`; false when the
    // object defines no readable zone of that name. Spends the object's budget of zone work.
    bool offsetAt(std::string_view tzid, const icaltimetype& local, ZoneOffset& out) const;

private:
    struct Zone;
    mutable std::vector<Zone> m_zones;
    std::unordered_map<std::string_view, size_t> m_byTzid;
    mutable int64_t m_workLeft;
};

// The zone of the system's zone data that a TZID names, by exact name: an IANA name of the
// system's list ("Europe/Berlin", also behind a "/vendor/version/" prefix as some programs write
// it), else a Windows zone name through the Unicode CLDR's table ("W. Europe Standard Time").
// Never a path: a name that is not in the list, whatever it holds, finds nothing.
icaltimezone* SystemZoneNamed(std::string_view tzid);

// The date on which an event that starts at `start` falls here, as other calendars show it: a DATE
// as written, a floating time as written, a UTC time or a time in the zone `tzid` (the object's
// VTIMEZONE of that name, else the system's zone of that name, see SystemZoneNamed) converted to
// the local zone (TZ, else the system's). A zone found nowhere leaves the time as written. A zone
// of the object past its bound is read as the system's zone of the same name, else by the offset
// of its last observance evaluated, and `inexact` (when given) is set. False for a date outside
// the years 1..9999.
bool LocalStartDate(const icaltimetype& start, const char* tzid, const ICalendarZones* zones, TYmd& out,
                    bool* inexact = nullptr);

// The same with the local time of day: `minutes` after midnight, or -1 for a DATE.
bool LocalStartTime(const icaltimetype& start, const char* tzid, const ICalendarZones* zones, TYmd& date,
                    int& minutes, bool* inexact = nullptr);

// A UTC time as the wall time of the zone `tzid` (found as LocalStartDate finds it); false, and
// `time` unchanged, for a DATE, no zone or a zone found nowhere.
bool UtcToZoneTime(icaltimetype& time, const char* tzid, const ICalendarZones* zones);

// The instant of `time` as seconds since the epoch: a UTC time or a time in the zone `tzid` (found as
// LocalStartDate finds it) converted; a DATE, a floating time or a zone found nowhere taken as UTC.
// What tells an exception or a changed occurrence from the occurrence it names.
int64_t InstantSeconds(const icaltimetype& time, const char* tzid, const ICalendarZones* zones);

// Whether `rule` repeats an event that starts on `start` (as written) exactly as a plain weekly,
// monthly or yearly repeat does: no end, no interval, and any BYDAY, BYMONTHDAY or BYMONTH naming
// only the start's own weekday, day or month (as phones write them).
bool IsPlainRepeat(const icalrecurrencetype& rule, const icaltimetype& start);

} // namespace kestrivel
