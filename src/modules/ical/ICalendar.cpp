// Memos as iCalendar files through libical. The file is checked against the bounds of
// memos/ICalendarText.h and split into its VEVENT blocks before libical sees any of it; each block
// is parsed on its own, so a file of a million events never becomes one libical tree, and once the
// list is full nothing more is parsed at all.
#include "memos/ICalendar.h"

#include "common/BoundedRead.h"
#include "common/DateValue.h"
#include "common/SafeFile.h"
#include "common/TextCodec.h"
#include "memos/ICalendarText.h"
#include "memos/MemoEditorRules.h"
#include "memos/UnitMemo.h"

#include <libical/ical.h>

#include <cstdio>
#include <ctime>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

namespace kestrivel {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kCalendarHead = "BEGIN:VCALENDAR\r\n"
                                           "VERSION:2.0\r\n"
                                           "PRODID:-//Kestrivel//Kestrivel 1.2.2//EN\r\n";
constexpr std::string_view kCalendarTail = "END:VCALENDAR\r\n";
// libical writes no date after the year 3000; later memos are neither written nor read, so what
// is imported always exports again.
constexpr int kLastYear = 3000;

struct ComponentDeleter {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentDeleter>;

// libical may be built to abort on errors; a hostile file must only fail.
void quietLibical() {
    static const bool done = [] {
        icalerror_set_errors_are_fatal(0);
        return true;
    }();
    (void)done;
}

// 64-bit FNV-1a: a stable fingerprint of a memo for its UID, the same on every run and machine.
uint64_t fingerprint(std::string_view bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

// The one-line form's ";" and any real line break become one line feed each.
std::string realLineBreaks(const std::string& text) {
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

// One VEVENT in iCalendar text, or "" for a memo without a valid date or type.
std::string eventText(const TMemo& memo, const icaltimetype& stamp) {
    const TYmd ymd = DecodeDate(memo.Date);
    if (!IsValidDateValue(memo.Date) || ymd.Year > kLastYear || memo.MemoType > mtYearly) {
        return {};
    }
    char dateText[16];
    std::snprintf(dateText, sizeof dateText, "%04d%02d%02d", ymd.Year, ymd.Month, ymd.Day);
    const std::string key = std::string(dateText) + "|" + std::to_string(memo.MemoType) + "|" + memo.Text;
    char uid[64];
    std::snprintf(uid, sizeof uid, "%s-%u-%016llx@kestrivel", dateText, unsigned{memo.MemoType},
                  static_cast<unsigned long long>(fingerprint(key)));

    icaltimetype start = icaltime_null_date();
    start.year = ymd.Year;
    start.month = ymd.Month;
    start.day = ymd.Day;

    ComponentPtr event(icalcomponent_new_vevent());
    icalcomponent_add_property(event.get(), icalproperty_new_uid(uid));
    icalcomponent_add_property(event.get(), icalproperty_new_dtstamp(stamp));
    icalcomponent_add_property(event.get(), icalproperty_new_dtstart(start));
    icalcomponent_add_property(event.get(), icalproperty_new_summary(realLineBreaks(memo.Text).c_str()));
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

// --- Reading -----------------------------------------------------------------------------------

bool isPlainRule(const icalrecurrencetype& rule) {
    const bool knownFrequency = rule.freq == ICAL_WEEKLY_RECURRENCE || rule.freq == ICAL_MONTHLY_RECURRENCE ||
                                rule.freq == ICAL_YEARLY_RECURRENCE;
    const short* byLists[] = {rule.by_second,  rule.by_minute,    rule.by_hour,
                              rule.by_day,     rule.by_month_day, rule.by_year_day,
                              rule.by_week_no, rule.by_month,     rule.by_set_pos};
    for (const short* list : byLists) {
        if (list[0] != ICAL_RECURRENCE_ARRAY_MAX) {
            return false;
        }
    }
    return knownFrequency && rule.interval == 1 && rule.count == 0 && icaltime_is_null_time(rule.until) &&
           rule.rscale == nullptr;
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

enum class EventResult { Added, Approximated, Skipped };

// What an event holds beyond what libical is given.
struct EventLines {
    int Rules = 0;          // RRULE lines of the event itself
    bool MoreDates = false; // RDATE or EXDATE lines
};

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
        } else if (sameICalendarName(name, "END")) {
            parse = depth > 0 && --depth == 0;
        } else if (depth == 1) {
            if (sameICalendarName(name, "DTSTART")) {
                parse = !std::exchange(haveStart, true);
            } else if (sameICalendarName(name, "SUMMARY")) {
                parse = !std::exchange(haveSummary, true);
            } else if (sameICalendarName(name, "RRULE")) {
                parse = ++lines.Rules == 1;
            } else if (sameICalendarName(name, "RDATE") || sameICalendarName(name, "EXDATE")) {
                lines.MoreDates = true;
            }
        }
        if (parse) {
            copy.assign(line);
            event = icalparser_add_line(parser.get(), copy.data());
        }
    }
    return ComponentPtr(event);
}

EventResult importEvent(TMemoList& memos, std::string_view block) {
    EventLines lines;
    ComponentPtr event = parseEvent(block, lines);
    if (!event || icalcomponent_isa(event.get()) != ICAL_VEVENT_COMPONENT) {
        return EventResult::Skipped;
    }
    icalproperty* startProperty = icalcomponent_get_first_property(event.get(), ICAL_DTSTART_PROPERTY);
    if (startProperty == nullptr) {
        return EventResult::Skipped;
    }
    // The date as written: a memo has no time or time zone.
    const icaltimetype start = icalproperty_get_dtstart(startProperty);
    TDateValue date = 0;
    if (icaltime_is_null_time(start) || start.year > kLastYear ||
        !TryEncodeDate(start.year, start.month, start.day, date)) {
        return EventResult::Skipped;
    }

    uint8_t memoType = mtSingle;
    bool approximated = lines.MoreDates || lines.Rules > 1;
    if (lines.Rules == 1 && !lines.MoreDates) {
        // A rule libical rejects leaves no RRULE behind (an X-LIC-ERROR instead): the event then
        // repeats in a way the memo does not.
        icalproperty* rule = icalcomponent_get_first_property(event.get(), ICAL_RRULE_PROPERTY);
        const icalrecurrencetype recurrence = rule ? icalproperty_get_rrule(rule) : icalrecurrencetype{};
        if (rule != nullptr && isPlainRule(recurrence)) {
            memoType = memoTypeOf(recurrence.freq);
        } else {
            approximated = true;
        }
    }

    std::string text;
    if (icalproperty* summary = icalcomponent_get_first_property(event.get(), ICAL_SUMMARY_PROPERTY)) {
        if (const char* value = icalproperty_get_summary(summary)) {
            text = oneLineForm(BytesToUtf8(value));
        }
    }
    // A text longer than the editor takes is cut to it: a memo that cannot keep all of it.
    if (cutMemoText(text)) {
        approximated = true;
    }
    if (!memos.Add(text, memoType, date)) {
        return EventResult::Skipped;
    }
    return approximated ? EventResult::Approximated : EventResult::Added;
}

} // namespace

bool ExportMemosToICalendar(const TMemoList& memos, int first, int last, const std::string& path,
                            int64_t stampUtcSeconds) {
    const int count = memos.Count();
    if (last >= first && (first < 0 || last >= count)) {
        return false;
    }
    try {
        quietLibical();
        const icaltimetype stamp = icaltime_from_timet_with_zone(static_cast<time_t>(stampUtcSeconds), 0,
                                                                 icaltimezone_get_utc_timezone());
        std::string out(kCalendarHead);
        bool all = true;
        for (int i = first; i <= last; ++i) {
            const std::string event = eventText(memos.Items()[static_cast<size_t>(i)], stamp);
            all = all && !event.empty();
            out += event;
            // An import could not read it back.
            if (out.size() + kCalendarTail.size() > kDataFileCap) {
                return false;
            }
        }
        out += kCalendarTail;
        return WriteFileAtomic(path, out) && all;
    } catch (const std::exception&) {
        return false;
    }
}

bool ImportMemosFromICalendar(TMemoList& memos, const std::string& path, ICalendarImportCounts& counts) {
    counts = {};
    try {
        quietLibical();
        std::string data;
        if (ReadFileBounded(path, kDataFileCap, data) != TReadResult::Ok) {
            return false;
        }
        std::string_view body(data);
        if (body.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
            body.remove_prefix(kUtf8Bom.size());
        }
        const std::string text = unfoldICalendar(body);
        data.clear();
        data.shrink_to_fit();
        std::vector<ICalendarBlock> events;
        if (!findICalendarEvents(text, events)) {
            return false;
        }
        const std::string_view all(text);
        for (const ICalendarBlock& block : events) {
            // Once the list is full nothing more can be added; the rest is only counted.
            const EventResult result =
                memos.Count() >= TMemoList::kMaxCount
                    ? EventResult::Skipped
                    : importEvent(memos, all.substr(block.Begin, block.End - block.Begin));
            ++(result == EventResult::Added          ? counts.Added
               : result == EventResult::Approximated ? counts.Approximated
                                                     : counts.Skipped);
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace kestrivel
