#include "ICalendarEventParts.h"

#include "ICalendarExpand.h"
#include "ICalendarEvent.h"
#include "common/TextCodec.h"
#include "memos/ICalendarText.h"

#include <algorithm>
#include <cmath>

namespace kestrivel {

namespace {

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

} // namespace

EventParts ReadEventParts(std::string_view block) {
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
                if (parts.Rule.empty()) {
                    const icalrecurrencetype rule = icalproperty_get_rrule(property.get());
                    parts.RuleRejected = rule.freq == ICAL_NO_RECURRENCE;
                    if (!parts.RuleRejected) {
                        parts.Rule = icalendarValue(line);
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

TDateValue WallDate(const icaltimetype& time) {
    TDateValue day = 0;
    return TryEncodeDate(time.year, time.month, time.day, day) ? day : NAN;
}

icaltimetype OnDay(icaltimetype time, TDateValue day) {
    const TYmd ymd = DecodeDate(day);
    time.year = ymd.Year;
    time.month = ymd.Month;
    time.day = ymd.Day;
    return time;
}

bool AlignedRuleStart(const icalrecurrencetype& rule, const icaltimetype& wall, TDateValue from,
                      icaltimetype& out) {
    if (rule.count != 0) {
        return false;
    }
    const int interval = std::max<int>(rule.interval, 1);
    const TDateValue day = WallDate(wall);
    TDateValue moved = day;
    switch (rule.freq) {
    case ICAL_DAILY_RECURRENCE:
    case ICAL_WEEKLY_RECURRENCE: {
        const double period = rule.freq == ICAL_WEEKLY_RECURRENCE ? 7.0 : 1.0;
        const double step = interval * period;
        const double steps = std::floor((from - period - day) / step);
        if (!(steps >= 1)) {
            return false;
        }
        moved = day + steps * step;
        break;
    }
    case ICAL_MONTHLY_RECURRENCE:
    case ICAL_YEARLY_RECURRENCE: {
        const bool yearly = rule.freq == ICAL_YEARLY_RECURRENCE;
        const int stepMonths = interval * (yearly ? 12 : 1);
        const TYmd until = DecodeDate(from);
        const int startMonth = wall.year * 12 + wall.month - 1;
        // A year's weeks (BYWEEKNO) may begin in the year before: a yearly rule starts two years early.
        const int room = until.Year * 12 + until.Month - 1 - startMonth - (yearly ? 24 : 1);
        int steps = room > 0 ? room / stepMonths : 0;
        // The 31st or 29 February: the nearest earlier period that has it (a few steps at most).
        const int lowest = std::max(1, steps - 8);
        for (; steps >= lowest; --steps) {
            const int month = startMonth + steps * stepMonths;
            if (TryEncodeDate(month / 12, month % 12 + 1, wall.day, moved)) {
                break;
            }
        }
        if (steps < lowest) {
            return false;
        }
        break;
    }
    default:
        return false;
    }
    out = OnDay(wall, moved);
    return true;
}

std::optional<icaltimetype> LastCountedOccurrence(const icalrecurrencetype& rule, const icaltimetype& wall) {
    if (rule.count <= 0 || rule.count > kMaxExpandSteps || !icaltime_is_null_time(rule.until)) {
        return std::nullopt;
    }
    RecurPtr iterator(icalrecur_iterator_new(rule, wall));
    std::optional<icaltimetype> last;
    for (int step = 0; iterator && step <= kMaxExpandSteps; ++step) {
        const icaltimetype next = icalrecur_iterator_next(iterator.get());
        if (icaltime_is_null_time(next)) {
            return last;
        }
        last = next;
    }
    return std::nullopt;
}

} // namespace kestrivel
