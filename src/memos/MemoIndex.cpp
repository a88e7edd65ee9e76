#include "memos/MemoIndex.h"

#include <bit>
#include <cmath>

#include "memos/UnitMemo.h"

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

void record(std::unordered_map<uint64_t, int>& map, TDateValue date, int index) {
    if (!std::isnan(date)) {
        map[dateKey(date)] = index;
    }
}

int lookup(const std::unordered_map<uint64_t, int>& map, TDateValue date) {
    if (std::isnan(date)) {
        return -1;
    }
    const auto it = map.find(dateKey(date));
    return it == map.end() ? -1 : it->second;
}

} // namespace

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
    m_byDate.clear();
    m_singles.clear();
    m_weekly.fill(-1);
    m_monthly.fill(-1);
    m_yearly.fill(-1);
    m_dirty = false;
}

void TMemoIndex::Rebuild(const std::vector<TMemo>& items) {
    Reset();
    m_byDate.reserve(items.size());
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
