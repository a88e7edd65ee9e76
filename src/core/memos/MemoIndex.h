#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/DateValue.h"
#include "memos/Memo.h"

namespace kestrivel {

// Date value bits to list index, open addressing with linear probing: one cache line per lookup
// at any size, where a node-based map costs two or three misses once it outgrows the caches.
class TDateTable {
public:
    void Clear();
    void Reserve(size_t count);
    // Records `index` for `key`, replacing what the key held.
    void Set(uint64_t key, int index);
    // -1 when the key holds nothing.
    int Get(uint64_t key) const;

private:
    struct TSlot {
        uint64_t Key;
        int Index;
    };
    size_t slotOf(uint64_t key) const;
    void grow(size_t capacity);

    std::vector<TSlot> m_slots;
    size_t m_used = 0;
    int m_shift = 64;
};

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

    TDateTable m_byDate;                     // every type, exact date
    TDateTable m_singles;                    // type 0, exact date
    std::array<int, 7> m_weekly{};           // type 1, by day of week
    std::array<int, 31> m_monthly{};         // type 2, by day of month
    std::array<int, kYearlyKeys> m_yearly{}; // type 3, by month and day
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

} // namespace kestrivel
