#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "common/DateValue.h"

struct TMemo;

// The lookups of the memo list, answered without a scan. Each table holds, per key, the highest
// list index with that key, which is what a scan that lets every match overwrite the result
// returns. Insertions or deletions in the middle of the list shift indexes; the list then marks
// the index dirty and it is rebuilt in one pass at the next query.
class TMemoIndex {
public:
    TMemoIndex();

    bool Dirty() const { return m_dirty; }
    void MarkDirty() { m_dirty = true; }
    // Empty and current (the state of an empty list).
    void Reset();
    void Rebuild(const std::vector<TMemo>& items);
    // Records a memo whose index is above every index recorded so far. No effect while dirty.
    void Append(const TMemo& memo, int index);

    int LastOfDate(TDateValue date) const;
    int LastFalling(uint8_t memoType, TDateValue date) const;

private:
    static constexpr size_t kYearlyKeys = 12 * 31;

    std::unordered_map<uint64_t, int> m_byDate;  // every type, exact date
    std::unordered_map<uint64_t, int> m_singles; // type 0, exact date
    std::array<int, 7> m_weekly{};               // type 1, by day of week
    std::array<int, 31> m_monthly{};             // type 2, by day of month
    std::array<int, kYearlyKeys> m_yearly{};     // type 3, by month and day
    bool m_dirty = false;
};

// The day of week, month and day a date value falls on; false for a value that is not a day of
// the years 1..9999 (not a number, infinite or out of range), which falls on no day by recurrence.
struct TDayKey {
    int DayOfWeek = 0; // 1 Monday .. 7 Sunday
    int Month = 0;
    int Day = 0;
};
bool DayKeyOf(TDateValue date, TDayKey& out);
