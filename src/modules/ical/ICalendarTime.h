#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <libical/ical.h>

#include "common/DateValue.h"
#include "memos/ICalendarText.h"

namespace kestrivel {

// The VTIMEZONEs of one object or file, found by their TZID and built by libical at their first
// use (an import of thousands of events in one zone builds it once).
class ICalendarZones {
public:
    ICalendarZones();
    // `blocks` are ranges of the unfolded `text`, which must outlive this object.
    ICalendarZones(std::string_view text, const std::vector<ICalendarBlock>& blocks);
    ~ICalendarZones();
    ICalendarZones(const ICalendarZones&) = delete;
    ICalendarZones& operator=(const ICalendarZones&) = delete;

    // The zone the object defines under `tzid`; null when it defines none or libical cannot read it.
    icaltimezone* find(std::string_view tzid) const;

private:
    struct Zone;
    mutable std::vector<Zone> m_zones;
};

// The date on which an event that starts at `start` falls here, as other calendars show it: a DATE
// as written, a floating time as written, a UTC time or a time in the zone `tzid` (the object's
// VTIMEZONE of that name, else the system's zone data) converted to the local zone (TZ, else the
// system's). A zone found nowhere leaves the time as written. False for a date outside the years
// 1..9999.
bool LocalStartDate(const icaltimetype& start, const char* tzid, const ICalendarZones* zones, TYmd& out);

// The same with the local time of day: `minutes` after midnight, or -1 for a DATE.
bool LocalStartTime(const icaltimetype& start, const char* tzid, const ICalendarZones* zones, TYmd& date,
                    int& minutes);

// The zone a time is given in: UTC, the zone `tzid` names (found as LocalStartDate finds it), or
// null for a DATE, a floating time or a zone found nowhere.
icaltimezone* ZoneOfTime(const icaltimetype& time, const char* tzid, const ICalendarZones* zones);

// The instant of `time` as seconds since the epoch: a UTC time or a time in the zone `tzid` (found as
// LocalStartDate finds it) converted; a DATE, a floating time or a zone found nowhere taken as UTC.
// What tells an exception or a changed occurrence from the occurrence it names.
int64_t InstantSeconds(const icaltimetype& time, const char* tzid, const ICalendarZones* zones);

// Whether `rule` repeats an event that starts on `start` (as written) exactly as a plain weekly,
// monthly or yearly repeat does: no end, no interval, and any BYDAY, BYMONTHDAY or BYMONTH naming
// only the start's own weekday, day or month (as phones write them).
bool IsPlainRepeat(const icalrecurrencetype& rule, const icaltimetype& start);

} // namespace kestrivel
