#include "memos/UnitMemo.h"

#include <cmath>
#include <utility>

namespace kestrivel {

TMemoList::TMemoList() = default;
TMemoList::~TMemoList() = default;

uint16_t TMemoList::Count() const {
    return static_cast<uint16_t>(m_items.size());
}

void TMemoList::GetMemo(uint16_t index, TMemo& out) const {
    if (index < m_items.size()) {
        out = m_items[index];
    }
}

const std::vector<TMemo>& TMemoList::Items() const {
    return m_items;
}

const TMemoIndex& TMemoList::index() const {
    if (m_index.Dirty()) {
        m_index.Rebuild(m_items);
    }
    return m_index;
}

int TMemoList::IndexOfDate(TDateValue date) const {
    return index().LastOfDate(date);
}

int TMemoList::IndexOfDate(uint16_t year, uint16_t month, uint16_t day) const {
    TDateValue date = 0;
    if (!TryEncodeDate(year, month, day, date)) {
        return -1;
    }
    return IndexOfDate(date);
}

int TMemoList::FindMemo(uint8_t memoType, TDateValue date) const {
    return index().LastFalling(memoType, date);
}

int TMemoList::FindMemo(uint16_t year, uint16_t month, uint16_t day, uint8_t memoType) const {
    TDateValue date = 0;
    if (!TryEncodeDate(year, month, day, date)) {
        return -1;
    }
    return FindMemo(memoType, date);
}

bool TMemoList::Add(const std::string& text, uint8_t memoType, TDateValue date) {
    // A full list refuses like a taken date: the 16-bit count must never wrap. A date that is not
    // a number could never be found again.
    if (m_items.size() >= kMaxCount || std::isnan(date)) {
        return false;
    }
    // While the index waits for a rebuild, one comparison per memo is cheaper than rebuilding it
    // for every memo of a run of additions.
    bool taken = false;
    if (m_index.Dirty()) {
        for (const TMemo& memo : m_items) {
            taken = taken || memo.Date == date;
        }
    } else {
        taken = m_index.LastOfDate(date) >= 0;
    }
    if (taken) {
        return false;
    }
    // From the end down, past every memo with a later date; a list left unsorted by a load or an
    // import gets the new memo where this walk stops, as it always has.
    size_t place = m_items.size();
    while (place > 0 && m_items[place - 1].Date > date) {
        --place;
    }
    m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(place), TMemo{date, text, memoType});
    if (place + 1 == m_items.size()) {
        m_index.Append(m_items.back(), static_cast<int>(place));
    } else {
        m_index.MarkDirty();
    }
    return true;
}

void TMemoList::Modify(int index, const std::string& text, uint8_t memoType) {
    if (index < 0 || static_cast<size_t>(index) >= m_items.size()) {
        return;
    }
    TMemo& memo = m_items[static_cast<size_t>(index)];
    memo.Text = text;
    if (memo.MemoType != memoType) {
        memo.MemoType = memoType;
        m_index.MarkDirty();
    }
}

void TMemoList::Delete(int index) {
    if (index < 0 || static_cast<size_t>(index) >= m_items.size()) {
        return;
    }
    m_items.erase(m_items.begin() + index);
    m_index.MarkDirty();
}

void TMemoList::Clear() {
    m_items.clear();
    m_index.Reset();
}

bool TMemoList::assignItems(std::vector<TMemo> items) {
    if (items.size() > kMaxCount) {
        return false;
    }
    m_items = std::move(items);
    m_index.MarkDirty();
    return true;
}

void TMemoList::appendMemo(TMemo memo) {
    m_items.push_back(std::move(memo));
    m_index.Append(m_items.back(), static_cast<int>(m_items.size() - 1));
}

} // namespace kestrivel
