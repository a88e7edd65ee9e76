#include "ICalendarEvent.h"

#include "ICalendarTime.h"
#include "common/DateValue.h"
#include "common/TextCodec.h"
#include "common/Version.h"
#include "memos/ICalendarText.h"
#include "memos/MemoEditorRules.h"

#include <libical/ical.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <utility>

namespace kestrivel {

namespace {

constexpr std::string_view kCalendarHead =
    "BEGIN:VCALENDAR\r\n"
    "VERSION:2.0\r\n"
    "PRODID:-//Kestrivel//Kestrivel " KESTRIVEL_VERSION_TEXT "//EN\r\n";
constexpr std::string_view kCalendarTail = "END:VCALENDAR\r\n";

struct ComponentDeleter {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentDeleter>;

// Every line break (CR LF, LF or CR) becomes the one-line form's ";".
std::string oneLineForm(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        out.push_back(text[i] == '\r' || text[i] == '\n' ? ';' : text[i]);
    }
    return out;
}

icalrecurrencetype_frequency frequencyOf(uint8_t memoType) {
    switch (memoType) {
    case mtWeekly:
        return ICAL_WEEKLY_RECURRENCE;
    case mtMonthly:
        return ICAL_MONTHLY_RECURRENCE;
    case mtYearly:
        return ICAL_YEARLY_RECURRENCE;
    default:
        return ICAL_NO_RECURRENCE;
    }
}

uint8_t memoTypeOf(icalrecurrencetype_frequency frequency) {
    switch (frequency) {
    case ICAL_WEEKLY_RECURRENCE:
        return mtWeekly;
    case ICAL_MONTHLY_RECURRENCE:
        return mtMonthly;
    default:
        return mtYearly;
    }
}

// What an event holds beyond what libical is given.
struct EventLines {
    int Rules = 0;          // RRULE lines of the event itself
    bool MoreDates = false; // RDATE or EXDATE lines
    bool Override = false;  // a RECURRENCE-ID line
    bool Extra = false;     // a component inside it, or a property a memo has no place for
    bool Cancelled = false; // STATUS:CANCELLED
    std::string_view End;   // the first DTEND or DURATION line
    std::string_view Uid;   // the first UID line's value
};

// Properties that say nothing a memo leaves out: its date, text and repeat, and what every
// client adds to keep track of an event.
bool isBookkeeping(std::string_view name) {
    for (const std::string_view known : {"UID", "DTSTAMP", "SEQUENCE", "CREATED", "LAST-MODIFIED"}) {
        if (sameICalendarName(name, known)) {
            return true;
        }
    }
    return false;
}

// Hands libical only what a memo is made of, once each: the event's BEGIN and END, its first
// DTSTART, SUMMARY and RRULE. The components inside it (alarms) are skipped and further rule and
// date lines only counted, so however many an event holds, libical builds at most three
// properties. Lines go in one by one (libical's own line reader slows down on long lines), to a
// parser of the event's own: freeing the parser frees whatever an ill-formed block left half built.
ComponentPtr parseEvent(std::string_view block, EventLines& lines) {
    std::unique_ptr<icalparser, decltype(&icalparser_free)> parser(icalparser_new(), &icalparser_free);
    icalcomponent* event = nullptr;
    size_t depth = 0;
    bool haveStart = false;
    bool haveSummary = false;
    std::string copy;
    for (size_t pos = 0; parser && pos < block.size() && event == nullptr;) {
        const std::string_view line = nextICalendarLine(block, pos);
        const std::string_view name = icalendarPropertyName(line);
        bool parse = false;
        if (sameICalendarName(name, "BEGIN")) {
            parse = depth++ == 0;
            lines.Extra = lines.Extra || !parse;
        } else if (sameICalendarName(name, "END")) {
            parse = depth > 0 && --depth == 0;
        } else if (depth == 1) {
            if (sameICalendarName(name, "STATUS")) {
                lines.Cancelled = sameICalendarName(icalendarValue(line), "CANCELLED");
            }
            if (sameICalendarName(name, "DTSTART")) {
                parse = !std::exchange(haveStart, true);
            } else if (sameICalendarName(name, "SUMMARY")) {
                parse = !std::exchange(haveSummary, true);
            } else if (sameICalendarName(name, "RRULE")) {
                parse = ++lines.Rules == 1;
            } else if (sameICalendarName(name, "RDATE") || sameICalendarName(name, "EXDATE")) {
                lines.MoreDates = true;
            } else if (sameICalendarName(name, "RECURRENCE-ID")) {
                lines.Override = true;
            } else if ((sameICalendarName(name, "DTEND") || sameICalendarName(name, "DURATION")) &&
                       lines.End.empty()) {
                lines.End = line;
            } else if (sameICalendarName(name, "UID")) {
                lines.Uid = lines.Uid.empty() ? icalendarValue(line) : lines.Uid;
            } else if (!sameICalendarName(name, "DTEND") && !sameICalendarName(name, "DURATION") &&
                       !isBookkeeping(name)) {
                lines.Extra = true;
            }
        }
        if (parse) {
            copy.assign(line);
            event = icalparser_add_line(parser.get(), copy.data());
        }
    }
    return ComponentPtr(event);
}

std::string dateDigits(int year, int month, int day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
    return text;
}

// Whether a DTEND or DURATION line takes the all-day event beyond its own day: only the next
// day's date, or a duration of one day, keeps it to one.
bool beyondItsDay(std::string_view line, TDateValue start) {
    if (line.empty()) {
        return false;
    }
    const std::string_view value = icalendarValue(line);
    if (sameICalendarName(icalendarPropertyName(line), "DURATION")) {
        return value != "P1D" && value != "+P1D";
    }
    const TYmd next = DecodeDate(start + 1);
    return value != dateDigits(next.Year, next.Month, next.Day);
}

// `text` cut to at most `bytes` bytes, never inside a UTF-8 character; true when anything was cut.
bool cutToBytes(std::string& text, size_t bytes) {
    if (text.size() <= bytes) {
        return false;
    }
    size_t keep = bytes;
    while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80) {
        --keep;
    }
    text.resize(keep);
    return true;
}

} // namespace

std::string RealLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        out.push_back(text[i] == ';' || text[i] == '\r' ? '\n' : text[i]);
    }
    return out;
}

std::string_view WithoutByteOrderMark(std::string_view data) {
    constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
    return data.substr(0, kUtf8Bom.size()) == kUtf8Bom ? data.substr(kUtf8Bom.size()) : data;
}

std::string_view ICalendarHead() {
    return kCalendarHead;
}

std::string_view ICalendarTail() {
    return kCalendarTail;
}

void QuietLibical() {
    static const bool done = [] {
        icalerror_set_errors_are_fatal(0);
        return true;
    }();
    (void)done;
}

std::string MemoEventText(const TMemo& memo, const std::string& uid, int64_t stampUtcSeconds) {
    const TYmd ymd = DecodeDate(memo.Date);
    if (!IsValidDateValue(memo.Date) || ymd.Year > kICalendarLastYear || memo.MemoType > mtYearly) {
        return {};
    }
    icaltimetype start = icaltime_null_date();
    start.year = ymd.Year;
    start.month = ymd.Month;
    start.day = ymd.Day;
    const icaltimetype stamp = icaltime_from_timet_with_zone(static_cast<time_t>(stampUtcSeconds), 0,
                                                             icaltimezone_get_utc_timezone());

    ComponentPtr event(icalcomponent_new_vevent());
    icalcomponent_add_property(event.get(), icalproperty_new_uid(uid.c_str()));
    icalcomponent_add_property(event.get(), icalproperty_new_dtstamp(stamp));
    icalcomponent_add_property(event.get(), icalproperty_new_dtstart(start));
    icalcomponent_add_property(event.get(), icalproperty_new_summary(RealLineBreaks(memo.Text).c_str()));
    if (memo.MemoType != mtSingle) {
        icalrecurrencetype rule;
        icalrecurrencetype_clear(&rule);
        rule.freq = frequencyOf(memo.MemoType);
        icalcomponent_add_property(event.get(), icalproperty_new_rrule(rule));
    }
    char* text = icalcomponent_as_ical_string_r(event.get());
    if (text == nullptr) {
        return {};
    }
    std::string out(text);
    icalmemory_free_buffer(text);
    return out;
}

bool ReadMemoEvent(std::string_view block, TEventReading& out, const TEventReadOptions& options) {
    out = {};
    EventLines lines;
    ComponentPtr event = parseEvent(block, lines);
    if (!event || icalcomponent_isa(event.get()) != ICAL_VEVENT_COMPONENT) {
        return false;
    }
    icalproperty* startProperty = icalcomponent_get_first_property(event.get(), ICAL_DTSTART_PROPERTY);
    if (startProperty == nullptr) {
        return false;
    }
    // The day the event falls on here: a memo has no time or time zone.
    const icaltimetype start = icalproperty_get_dtstart(startProperty);
    const icalparameter* zone = icalproperty_get_first_parameter(startProperty, ICAL_TZID_PARAMETER);
    TYmd day;
    TDateValue date = 0;
    bool inexactZone = false;
    if (icaltime_is_null_time(start) || start.year > kICalendarLastYear ||
        !LocalStartDate(start, zone != nullptr ? icalparameter_get_tzid(zone) : nullptr, options.Zones, day,
                        &inexactZone) ||
        day.Year > kICalendarLastYear || !TryEncodeDate(day.Year, day.Month, day.Day, date)) {
        return false;
    }
    out.Memo.Date = date;
    out.Uid = lines.Uid;
    out.Timed = start.is_date == 0;
    out.Override = lines.Override;
    out.Extra = lines.Extra;
    out.Cancelled = lines.Cancelled;
    out.Longer = beyondItsDay(lines.End, date);
    // A zone read only approximately may have put the event on a neighbouring day.
    out.Approximated = lines.MoreDates || lines.Rules > 1 || inexactZone;
    if (lines.Rules == 1 && !lines.MoreDates) {
        // A rule libical rejects leaves no RRULE behind (an X-LIC-ERROR instead): the event then
        // repeats in a way the memo does not.
        icalproperty* rule = icalcomponent_get_first_property(event.get(), ICAL_RRULE_PROPERTY);
        const icalrecurrencetype recurrence = rule ? icalproperty_get_rrule(rule) : icalrecurrencetype{};
        if (rule != nullptr && IsPlainRepeat(recurrence, start)) {
            out.Memo.MemoType = memoTypeOf(recurrence.freq);
        } else {
            out.Approximated = true;
        }
    }
    if (icalproperty* summary = icalcomponent_get_first_property(event.get(), ICAL_SUMMARY_PROPERTY)) {
        if (const char* value = icalproperty_get_summary(summary)) {
            out.Semicolon = std::string_view(value).find(';') != std::string_view::npos;
            out.Memo.Text = oneLineForm(BytesToUtf8(value));
        }
    }
    const bool cut =
        options.EditorLength ? cutMemoText(out.Memo.Text) : cutToBytes(out.Memo.Text, kSyncTextMaxBytes);
    out.Approximated = out.Approximated || cut;
    return true;
}

} // namespace kestrivel
