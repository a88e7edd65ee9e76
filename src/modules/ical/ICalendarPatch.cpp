// An edit made here, written into the server's own copy of an event. The object is not rebuilt:
// its content lines are copied as the server sent them (folding, order, parameters, unknown
// properties, alarms, zones, changed occurrences), and only the lines an edit touches are written
// anew, by libical. Re-serialising the whole object through libical would also be "the same
// event", but libical rewrites lines it cannot read into X-LIC-ERROR properties and loses
// what other clients rely on in ways no test of ours can foresee.
#include "ICalendarCodec.h"

#include "ICalendarEvent.h"
#include "common/DateValue.h"
#include "memos/ICalendarText.h"

#include <libical/ical.h>

#include <algorithm>
#include <climits>
#include <ctime>
#include <exception>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrivel {

namespace {

struct PropertyDeleter {
    void operator()(icalproperty* property) const { icalproperty_free(property); }
};
using PropertyPtr = std::unique_ptr<icalproperty, PropertyDeleter>;

// One content line as the server wrote it: the first physical line and those folded after it,
// line breaks included, and its unfolded text.
struct RawLine {
    std::string_view Raw;
    std::string Unfolded;
};

std::vector<RawLine> rawLines(std::string_view data) {
    std::vector<RawLine> lines;
    for (size_t pos = 0; pos < data.size();) {
        const size_t start = pos;
        std::string unfolded(nextICalendarLine(data, pos));
        while (pos < data.size() && (data[pos] == ' ' || data[pos] == '\t')) {
            unfolded.append(nextICalendarLine(data, pos).substr(1));
        }
        lines.push_back({data.substr(start, pos - start), std::move(unfolded)});
    }
    return lines;
}

// Where the VEVENT at position `ordinal` among the object's VEVENTs lies: its own property lines
// (not those of an alarm inside it) and its END line.
struct EventSpan {
    std::vector<size_t> Own;
    size_t End = 0;
    bool Found = false;
    // The lines of the object's other VEVENTs (its changed occurrences), BEGIN to END.
    std::vector<std::pair<size_t, size_t>> Others;
};

EventSpan findEvent(const std::vector<RawLine>& lines, size_t ordinal) {
    EventSpan span;
    size_t depth = 0;
    size_t seen = 0;
    bool inside = false, other = false;
    size_t begin = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view name = icalendarPropertyName(lines[i].Unfolded);
        if (sameICalendarName(name, "BEGIN")) {
            if (++depth == 2 && sameICalendarName(icalendarValue(lines[i].Unfolded), "VEVENT")) {
                inside = seen++ == ordinal;
                other = !inside;
                begin = i;
            }
        } else if (sameICalendarName(name, "END") && depth > 0) {
            if (depth-- == 2 && inside) {
                span.End = i;
                span.Found = true;
                inside = false;
            } else if (depth == 1 && other) {
                span.Others.emplace_back(begin, i);
                other = false;
            }
        } else if (inside && depth == 2) {
            span.Own.push_back(i);
        }
    }
    return span;
}

std::string lineOf(icalproperty* property) {
    if (property == nullptr) {
        return {};
    }
    char* text = icalproperty_as_ical_string_r(property);
    if (text == nullptr) {
        return {};
    }
    std::string out(text);
    icalmemory_free_buffer(text);
    return out;
}

icalrecurrencetype_frequency frequencyOf(uint8_t memoType) {
    return memoType == mtWeekly    ? ICAL_WEEKLY_RECURRENCE
           : memoType == mtMonthly ? ICAL_MONTHLY_RECURRENCE
                                   : ICAL_YEARLY_RECURRENCE;
}

bool isRepeatException(std::string_view name) {
    return sameICalendarName(name, "EXDATE") || sameICalendarName(name, "RDATE") ||
           sameICalendarName(name, "EXRULE");
}

// The lines that replace or join the event's own.
class LineMaker {
public:
    LineMaker(const TMemo& memo, int64_t stampUtcSeconds)
        : m_memo(memo), m_stamp(icaltime_from_timet_with_zone(static_cast<time_t>(stampUtcSeconds), 0,
                                                              icaltimezone_get_utc_timezone())) {}

    // SUMMARY with the memo's text, keeping the parameters of `old` (LANGUAGE, ...) when it reads.
    std::string summary(const std::string* old) const {
        PropertyPtr property(old != nullptr && old->size() <= kICalendarMaxParsedLine
                                 ? icalproperty_new_from_string(old->c_str())
                                 : nullptr);
        if (!property || icalproperty_isa(property.get()) != ICAL_SUMMARY_PROPERTY) {
            property.reset(icalproperty_new_summary(""));
        }
        icalproperty_set_summary(property.get(), RealLineBreaks(m_memo.Text).c_str());
        return lineOf(property.get());
    }

    std::string rule() const {
        icalrecurrencetype recurrence;
        icalrecurrencetype_clear(&recurrence);
        recurrence.freq = frequencyOf(m_memo.MemoType);
        return lineOf(PropertyPtr(icalproperty_new_rrule(recurrence)).get());
    }

    // One above `old`'s number; 1 when the event had none (0) or one that does not read. Read
    // here, digit by digit: a server's line may be megabytes long.
    std::string sequence(const std::string* old) const {
        int64_t number = 0;
        const std::string_view digits = old != nullptr ? icalendarValue(*old) : std::string_view();
        for (const char c : digits) {
            if (c < '0' || c > '9') {
                number = 0;
                break;
            }
            number = std::min<int64_t>(number * 10 + (c - '0'), INT_MAX);
        }
        number = number == INT_MAX ? INT_MAX - 1 : number;
        return lineOf(PropertyPtr(icalproperty_new_sequence(static_cast<int>(number + 1))).get());
    }

    std::string stamp() const { return lineOf(PropertyPtr(icalproperty_new_dtstamp(m_stamp)).get()); }
    std::string modified() const { return lineOf(PropertyPtr(icalproperty_new_lastmodified(m_stamp)).get()); }

private:
    const TMemo& m_memo;
    icaltimetype m_stamp;
};

// The object with the event's own lines replaced as `current` -> `memo` asks.
std::string patched(std::string_view prefix, const std::vector<RawLine>& lines, const EventSpan& span,
                    const TEventMemo& current, const TMemo& memo, int64_t stampUtcSeconds) {
    const bool newText = current.Memo.Text != memo.Text;
    const bool newRule = current.Memo.MemoType != memo.MemoType;
    const LineMaker make(memo, stampUtcSeconds);
    bool text = !newText, rule = !newRule || memo.MemoType == mtSingle, sequence = false, stamp = false,
         modified = false;
    std::vector<std::string> replaced(lines.size());
    std::vector<bool> dropped(lines.size(), false);
    for (const size_t i : span.Own) {
        const std::string& line = lines[i].Unfolded;
        const std::string_view name = icalendarPropertyName(line);
        if (newText && !text && sameICalendarName(name, "SUMMARY")) {
            replaced[i] = make.summary(&line);
            text = true;
        } else if (newRule && sameICalendarName(name, "RRULE")) {
            // Every rule of the event goes; the memo's type is the one repeat left.
            dropped[i] = rule;
            replaced[i] = rule ? std::string() : make.rule();
            rule = true;
        } else if (newRule && isRepeatException(name)) {
            // The old repeat's exceptions and extra dates would change the new one.
            dropped[i] = true;
        } else if (!sequence && sameICalendarName(name, "SEQUENCE")) {
            replaced[i] = make.sequence(&line);
            sequence = true;
        } else if (!stamp && sameICalendarName(name, "DTSTAMP")) {
            replaced[i] = make.stamp();
            stamp = true;
        } else if (!modified && sameICalendarName(name, "LAST-MODIFIED")) {
            replaced[i] = make.modified();
            modified = true;
        }
    }
    if (newRule) {
        // Changed occurrences belong to the old repeat: they go with it.
        for (const auto& [begin, end] : span.Others) {
            std::fill(dropped.begin() + static_cast<ptrdiff_t>(begin),
                      dropped.begin() + static_cast<ptrdiff_t>(end) + 1, true);
        }
    }
    std::string out(prefix);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i == span.End) {
            out += text ? std::string() : make.summary(nullptr);
            out += rule ? std::string() : make.rule();
            out += sequence ? std::string() : make.sequence(nullptr);
            out += stamp ? std::string() : make.stamp();
            out += modified ? std::string() : make.modified();
        }
        if (!dropped[i]) {
            out += replaced[i].empty() ? std::string(lines[i].Raw) : replaced[i];
        }
    }
    return out;
}

} // namespace

std::string PatchEventMemo(const std::string& data, const TMemo& memo, int64_t stampUtcSeconds) {
    try {
        TEventMemo current;
        size_t master = 0;
        if (memo.MemoType > mtYearly || !DecodeEventMemo(data, current, master) ||
            current.Memo.Date != memo.Date) {
            return {};
        }
        const std::string_view body = WithoutByteOrderMark(data);
        const std::vector<RawLine> lines = rawLines(body);
        const EventSpan span = findEvent(lines, master);
        if (!span.Found) {
            return {};
        }
        std::string out = patched(std::string_view(data).substr(0, data.size() - body.size()), lines, span,
                                  current, memo, stampUtcSeconds);
        // What goes out must read as the event it was, on its date.
        TEventMemo check;
        return DecodeEventMemo(out, check) && check.Memo.Date == memo.Date ? out : std::string();
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace kestrivel
