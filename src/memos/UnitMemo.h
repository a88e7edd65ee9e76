#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/DateValue.h"

struct TLocaleFormats;

enum TMemoType : uint8_t { mtSingle = 0, mtWeekly = 1, mtMonthly = 2, mtYearly = 3 };

struct TMemo {
    TDateValue Date = 0;
    std::string Text; // one-line form: ";" stands for a line break
    uint8_t MemoType = mtSingle;
};

// The one list of all memos. Results are exactly those of a linear scan in list order (the last
// match wins), also after a load or import left the list unsorted or with dates taken twice;
// an index kept beside the items makes the queries cost the same at 65,535 memos as at ten.
class TMemoList {
public:
    static constexpr uint16_t kMaxCount = 65535;
    const std::string Header = "CalendarMemos";
    const uint16_t Version = 100;
    const uint16_t MinVersion = 100;

    TMemoList();
    ~TMemoList();

    uint16_t Count() const;
    // Copies memo `index` into `out`; `out` untouched for an index out of range.
    void GetMemo(uint16_t index, TMemo& out) const;
    const std::vector<TMemo>& Items() const;

    int IndexOfDate(TDateValue date) const;
    int IndexOfDate(uint16_t year, uint16_t month, uint16_t day) const;
    int FindMemo(uint8_t memoType, TDateValue date) const;
    int FindMemo(uint16_t year, uint16_t month, uint16_t day, uint8_t memoType) const;

    // False (list unchanged) when the date is taken or the list is full.
    bool Add(const std::string& text, uint8_t memoType, TDateValue date);
    void Modify(int index, const std::string& text, uint8_t memoType);
    void Delete(int index);
    void Clear();

    bool SaveToFile(const std::string& fileName) const;
    bool LoadFromFile(const std::string& fileName);
    bool ExportToFile(int first, int last, const std::string& fileName, const TLocaleFormats& formats) const;
    bool ImportFromFile(const std::string& fileName, const TLocaleFormats& formats);
};
