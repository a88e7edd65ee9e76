#include "sync/EventDays.h"

#include "memos/DayMemos.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

namespace kestrivel {

namespace {

bool listedBefore(const TEventOccurrence& a, const TEventOccurrence& b) {
    return std::tie(a.Date, a.StartMinutes, a.Text, a.Source) <
           std::tie(b.Date, b.StartMinutes, b.Text, b.Source);
}

std::string clockText(int minutes) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", (minutes / 60) % 100, minutes % 60);
    return text;
}

std::string isoDate(TDateValue date) {
    const TYmd ymd = DecodeDate(date);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", ymd.Year, ymd.Month, ymd.Day);
    return text;
}

} // namespace

void EventDays::build(const TEventCache& cache, IEventExpander& expander, TDateValue first, TDateValue last) {
    fill(cache, first, last, [&](size_t index, std::vector<TEventOccurrence>& out) {
        expander.Expand(cache.Events[index].Data, m_first, m_last, out);
    });
}

void EventDays::build(const TEventCache& cache, const IPreparedEvents& prepared, TDateValue first,
                      TDateValue last) {
    fill(cache, first, last, [&](size_t index, std::vector<TEventOccurrence>& out) {
        prepared.Expand(index, m_first, m_last, out);
    });
}

void EventDays::fill(const TEventCache& cache, TDateValue first, TDateValue last, const ExpandOne& expand) {
    m_items.clear();
    m_first = std::floor(first);
    m_last = std::floor(last);
    std::vector<TEventOccurrence> found;
    for (size_t index = 0; index < cache.Events.size(); ++index) {
        found.clear();
        expand(index, found);
        for (TEventOccurrence& occurrence : found) {
            if (m_items.size() >= kMaxOccurrences) {
                break;
            }
            if (occurrence.Date >= m_first && occurrence.Date <= m_last) {
                occurrence.Source = cache.Events[index].Source;
                m_items.push_back(std::move(occurrence));
            }
        }
    }
    std::sort(m_items.begin(), m_items.end(), listedBefore);
}

void EventDays::clear() {
    m_items.clear();
    m_first = 1;
    m_last = 0;
}

bool EventDays::covers(TDateValue first, TDateValue last) const {
    return m_first <= std::floor(first) && std::floor(last) <= m_last;
}

std::span<const TEventOccurrence> EventDays::onDay(TDateValue day) const {
    const TDateValue date = std::floor(day);
    const auto begin =
        std::lower_bound(m_items.begin(), m_items.end(), date,
                         [](const TEventOccurrence& item, TDateValue d) { return item.Date < d; });
    auto end = begin;
    while (end != m_items.end() && end->Date == date) {
        ++end;
    }
    return {begin, end};
}

std::string EventLine(const TEventOccurrence& event, std::string_view allDay) {
    std::string line = event.StartMinutes >= 0 ? clockText(event.StartMinutes) : std::string(allDay);
    line += ' ';
    line += event.Text;
    if (!event.Source.empty()) {
        line += " (" + event.Source + ")";
    }
    return line;
}

bool DayLines(const TMemoList& memos, const EventDays& events, TDateValue date, std::string_view allDay,
              std::string_view lineBreak, std::string& lines) {
    bool any = DayMemoLines(memos, date, lineBreak, lines);
    for (const TEventOccurrence& event : events.onDay(date)) {
        if (any) {
            lines.append(lineBreak);
        }
        // An event's ";" is its own text, not a memo's line break.
        for (const char c : EventLine(event, allDay)) {
            if (c == '\n') {
                lines.append(lineBreak);
            } else {
                lines += c;
            }
        }
        any = true;
    }
    return any;
}

std::string AgendaLine(TDateValue date, int startMinutes, std::string_view source, std::string_view text) {
    std::string line = isoDate(date);
    line += '\t';
    line += startMinutes >= 0 ? clockText(startMinutes) : "all day";
    line += '\t';
    line += source;
    line += '\t';
    // A tab or line break inside the text would split the line for a script.
    for (const char c : text) {
        line += c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
    }
    return line;
}

std::string AgendaText(const TMemoList& memos, const EventDays& events, TDateValue first, TDateValue last,
                       std::string_view memoSource) {
    std::string out;
    for (TDateValue day = std::floor(first); day <= std::floor(last); day += 1) {
        for (const std::string& text : MemoTextsOn(memos, day)) {
            out += AgendaLine(day, -1, memoSource, text) + '\n';
        }
        for (const TEventOccurrence& event : events.onDay(day)) {
            out += AgendaLine(day, event.StartMinutes, event.Source.empty() ? memoSource : event.Source,
                              event.Text) +
                   '\n';
        }
    }
    return out;
}

} // namespace kestrivel
