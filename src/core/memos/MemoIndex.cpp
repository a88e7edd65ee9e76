#include "memos/MemoIndex.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "memos/Memo.h"

namespace kestrivel {

namespace {

// 1 January 0001 and the day after 31 December 9999 as date values.
constexpr double kFirstDay = -693593.0;
constexpr double kPastLastDay = 2958466.0;

// Equal dates must give equal keys: -0.0 equals 0.0. NaN equals nothing and is never recorded.
uint64_t dateKey(TDateValue date) {
    return std::bit_cast<uint64_t>(date == 0.0 ? 0.0 : date);
}

size_t yearlySlot(const TDayKey& key) {
    return static_cast<size_t>((key.Month - 1) * 31 + (key.Day - 1));
}

// A NaN pattern: no recorded key has it.
constexpr uint64_t kEmptyKey = ~uint64_t{0};

void record(TDateTable& table, TDateValue date, int index) {
    if (!std::isnan(date)) {
        table.Set(dateKey(date), index);
    }
}

int lookup(const TDateTable& table, TDateValue date) {
    return std::isnan(date) ? -1 : table.Get(dateKey(date));
}

} // namespace

// The slots stay: a list rebuilt after a deletion and then given one memo more does not grow and
// rehash its tables on the way.
void TDateTable::Clear() {
    std::fill(m_slots.begin(), m_slots.end(), TSlot{kEmptyKey, -1});
    m_used = 0;
}

void TDateTable::Reserve(size_t count) {
    size_t capacity = 16;
    while (capacity < 2 * count) {
        capacity *= 2;
    }
    if (capacity > m_slots.size()) {
        grow(capacity);
    }
}

size_t TDateTable::slotOf(uint64_t key) const {
    // Fibonacci hashing: whole-day dates differ only in their high bits, the product spreads them.
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> m_shift);
}

void TDateTable::grow(size_t capacity) {
    std::vector<TSlot> old = std::move(m_slots);
    m_slots.assign(capacity, TSlot{kEmptyKey, -1});
    m_shift = 64 - std::countr_zero(capacity);
    m_used = 0;
    for (const TSlot& slot : old) {
        if (slot.Key != kEmptyKey) {
            Set(slot.Key, slot.Index);
        }
    }
}

void TDateTable::Set(uint64_t key, int index) {
    if (2 * (m_used + 1) > m_slots.size()) {
        grow(m_slots.empty() ? 16 : 2 * m_slots.size());
    }
    const size_t mask = m_slots.size() - 1;
    for (size_t i = slotOf(key);; i = (i + 1) & mask) {
        TSlot& slot = m_slots[i];
        if (slot.Key == key) {
            slot.Index = index;
            return;
        }
        if (slot.Key == kEmptyKey) {
            slot = TSlot{key, index};
            ++m_used;
            return;
        }
    }
}

int TDateTable::Get(uint64_t key) const {
    if (m_slots.empty()) {
        return -1;
    }
    const size_t mask = m_slots.size() - 1;
    for (size_t i = slotOf(key);; i = (i + 1) & mask) {
        const TSlot& slot = m_slots[i];
        if (slot.Key == key) {
            return slot.Index;
        }
        if (slot.Key == kEmptyKey) {
            return -1;
        }
    }
}

bool DayKeyOf(TDateValue date, TDayKey& out) {
    // The comparisons are false for NaN, so it fails here as well.
    if (!(date >= kFirstDay && date < kPastLastDay)) {
        return false;
    }
    const TYmd ymd = DecodeDate(date);
    out.DayOfWeek = DayOfWeek(date);
    out.Month = ymd.Month;
    out.Day = ymd.Day;
    return true;
}

TMemoIndex::TMemoIndex() {
    Reset();
}

void TMemoIndex::Reset() {
    m_byDate.Clear();
    m_singles.Clear();
    m_weekly.fill(-1);
    m_monthly.fill(-1);
    m_yearly.fill(-1);
    m_dirty = false;
}

void TMemoIndex::Rebuild(const std::vector<TMemo>& items) {
    Reset();
    m_byDate.Reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        Append(items[i], static_cast<int>(i));
    }
}

void TMemoIndex::Append(const TMemo& memo, int index) {
    if (m_dirty) {
        return;
    }
    record(m_byDate, memo.Date, index);
    if (memo.MemoType == mtSingle) {
        record(m_singles, memo.Date, index);
        return;
    }
    if (memo.MemoType > mtYearly) {
        return;
    }
    TDayKey key;
    if (!DayKeyOf(memo.Date, key)) {
        return;
    }
    switch (memo.MemoType) {
    case mtWeekly:
        m_weekly[static_cast<size_t>(key.DayOfWeek - 1)] = index;
        break;
    case mtMonthly:
        m_monthly[static_cast<size_t>(key.Day - 1)] = index;
        break;
    default:
        m_yearly[yearlySlot(key)] = index;
        break;
    }
}

int TMemoIndex::LastOfDate(TDateValue date) const {
    return lookup(m_byDate, date);
}

int TMemoIndex::LastFalling(uint8_t memoType, TDateValue date) const {
    if (memoType == mtSingle) {
        return lookup(m_singles, date);
    }
    if (memoType > mtYearly) {
        return -1;
    }
    TDayKey key;
    if (!DayKeyOf(date, key)) {
        return -1;
    }
    switch (memoType) {
    case mtWeekly:
        return m_weekly[static_cast<size_t>(key.DayOfWeek - 1)];
    case mtMonthly:
        return m_monthly[static_cast<size_t>(key.Day - 1)];
    default:
        return m_yearly[yearlySlot(key)];
    }
}

} // namespace kestrivel
