#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/DateValue.h"
#include "common/FileStamp.h"
#include "memos/ExchangeImport.h"
#include "memos/Memo.h"
#include "memos/MemoIndex.h"

namespace kestrivel {

struct TLocaleFormats;

// The one list of all memos. Results are exactly those of a linear scan in list order (the last
// match wins), also after a load or import left the list unsorted or with dates taken twice;
// an index kept beside the items makes the queries cost the same at 65,535 memos as at ten.
//
// Recurrence: Weekly, Monthly and Yearly memos fall on the matching days before and after their
// own date. A date that is not a day of the years 1..9999 (only a damaged file can hold one)
// falls on no day by recurrence; a Single memo still matches its exact value. Type codes above 3
// match no FindMemo but are found by IndexOfDate.
class TMemoList {
public:
    static constexpr uint16_t kMaxCount = 65535;
    static constexpr std::string_view Header = "CalendarMemos";
    static constexpr uint16_t Version = 100;
    static constexpr uint16_t MinVersion = 100;

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

    // False (list unchanged) when the date is taken, is not a number, or the list is full.
    bool Add(const std::string& text, uint8_t memoType, TDateValue date);
    void Modify(int index, const std::string& text, uint8_t memoType);
    void Delete(int index);
    void Clear();
    // The list's content becomes `items` as they stand, order and dates unchecked (the result of a
    // merge with Memos.dat). False, with the list unchanged, for more than kMaxCount memos.
    bool assignItems(std::vector<TMemo> items);

    // Every save replaces the file atomically: a failed save leaves the previous file whole. A list
    // whose file would be larger than kDataFileCap is refused, as it could never be read back.
    bool SaveToFile(const std::string& fileName) const;
    // The same; `written` receives the stamp of the file written.
    bool SaveToFile(const std::string& fileName, FileStamp& written) const;
    // The same; the file is built in `bytes` (whose memory is reused), which holds its content
    // once it is written.
    bool SaveToFile(const std::string& fileName, FileStamp& written, std::string& bytes) const;
    // A failure after the memo count was read keeps the memos read completely before it (bytes
    // left behind the counted records are such a failure); a
    // missing file, one that is not a regular file or is larger than kDataFileCap, a failure before
    // the count, or a version out of range leaves the list as it was. Leftovers of interrupted saves
    // are removed first.
    bool LoadFromFile(const std::string& fileName);
    // False when first..last names a memo that does not exist or the file would be larger than
    // kDataFileCap (the file is then not touched), or when a memo's date cannot be written (its
    // line is left out).
    bool ExportToFile(int first, int last, const std::string& fileName, const TLocaleFormats& formats) const;
    // The exchange lines of memos first..last, as ExportToFile writes them; `leftOut` counts the
    // memos whose date no pattern can show (their lines are left out). False for a range naming a
    // memo that does not exist or a text larger than kDataFileCap.
    bool ExchangeText(int first, int last, const TLocaleFormats& formats, std::string& out,
                      int& leftOut) const;
    // ImportExchange on the file's content. A file that is not a regular file or cannot be read
    // stops as Unreadable, one larger than kDataFileCap as TooLarge.
    bool ImportFromFile(const std::string& fileName, const TLocaleFormats& formats);
    TExchangeImport ImportExchangeFile(const std::string& fileName, const TLocaleFormats& formats);
    // Appends one memo per line of an exchange file's content, all or nothing: every date is read
    // with one order, the first of the locale's short date pattern and kExchangeDateOrders that
    // reads every line. A line that does not read in any of them (an empty line too), an unknown
    // type code, or more memos than the list has room for add nothing. A memo the list already
    // holds (same date, type and text) is skipped; texts longer than the editor takes are cut to
    // its length (cutMemoText) and counted.
    TExchangeImport ImportExchange(std::string_view data, const TLocaleFormats& formats);

private:
    enum class ReadResult { NoHead, Damaged, Complete };
    // The records of a memo file's content as LoadFromFile takes them.
    static ReadResult readFileBytes(std::string_view data, std::vector<TMemo>& items);
    friend bool ReadMemoFileBytes(std::string_view data, std::vector<TMemo>& memos);

    // Brings the index up to date after edits that moved indexes; O(n) once, then O(1) queries.
    const TMemoIndex& index() const;
    // Appends a memo read from a file, keeping the index current without a rebuild.
    void appendMemo(TMemo memo);

    std::vector<TMemo> m_items;
    mutable TMemoIndex m_index;
};

// The memos of `data`, a memo file's content, read as LoadFromFile reads the file; false when it
// does not read completely (`memos` then holds the records read whole before the damage).
bool ReadMemoFileBytes(std::string_view data, std::vector<TMemo>& memos);

} // namespace kestrivel
