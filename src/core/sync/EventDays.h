#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/DateValue.h"
#include "sync/EventCache.h"

namespace kestrivel {

class TMemoList;

// What falls on a day besides its memos: the one query the painter, the hover text, the editor, the
// accessible names, the notification and the command line ask. The cached events are expanded once
// per range shown (a month, or an agenda's dates), never per day drawn.
class EventDays {
public:
    // No range: nothing falls on any day.
    EventDays() = default;

    // Every occurrence of the cached events whose local date lies in [first, last]. Beyond
    // kMaxOccurrences the rest is left out, so no calendar makes a month take unbounded memory.
    void build(const TEventCache& cache, IEventExpander& expander, TDateValue first, TDateValue last);
    // The same from the cache's events read once (`prepared` made from `cache`).
    void build(const TEventCache& cache, const IPreparedEvents& prepared, TDateValue first, TDateValue last);
    void clear();

    bool covers(TDateValue first, TDateValue last) const;
    bool empty() const { return m_items.empty(); }
    size_t size() const { return m_items.size(); }

    // The events of `day` in the order they are listed: all-day ones first, then by start time, then
    // by text.
    std::span<const TEventOccurrence> onDay(TDateValue day) const;
    bool any(TDateValue day) const { return !onDay(day).empty(); }

    static constexpr size_t kMaxOccurrences = 100'000;

private:
    using ExpandOne = std::function<void(size_t index, std::vector<TEventOccurrence>& out)>;
    void fill(const TEventCache& cache, TDateValue first, TDateValue last, const ExpandOne& expand);

    std::vector<TEventOccurrence> m_items;
    TDateValue m_first = 1;
    TDateValue m_last = 0;
};

// One event as the hover text and the editor list it: "18:30 Text" or "<allDay> Text", followed by
// " (Source)" for an event of another calendar or a subscription. The text's line breaks stay.
std::string EventLine(const TEventOccurrence& event, std::string_view allDay);

// The lines of a day for the hint, a screen reader and the reminder: its memo lines as DayMemoLines
// gives them, then one line per event. False when neither memos nor events fall on `date`.
bool DayLines(const TMemoList& memos, const EventDays& events, TDateValue date, std::string_view allDay,
              std::string_view lineBreak, std::string& lines);

// One line of `kestrivel --agenda` for scripts: ISO date, "HH:MM" or "all day", calendar, text,
// separated by tabs, whatever the locale. Memos name their calendar `memoSource`.
std::string AgendaLine(TDateValue date, int startMinutes, std::string_view source, std::string_view text);

// Every memo and event from `first` to `last`, a day's memos before its events, one AgendaLine each
// with a line feed.
std::string AgendaText(const TMemoList& memos, const EventDays& events, TDateValue first, TDateValue last,
                       std::string_view memoSource);

} // namespace kestrivel
