// iCalendar import: any file must import or fail without crashing, leaking or changing the memos
// already in the list, and whatever it added must export and import again in full.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "FuzzFile.h"
#include "memos/ICalendar.h"
#include "memos/UnitMemo.h"

using namespace kestrivel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = WriteFuzzInput(data, size);
    TMemoList memos;
    memos.Add("kept", mtWeekly, 45000);
    ICalendarImportCounts counts;
    const bool ok = ImportMemosFromICalendar(memos, path, counts);
    if (memos.Count() != 1 + counts.Added + counts.Approximated || memos.IndexOfDate(45000) < 0 ||
        (!ok && memos.Count() != 1)) {
        __builtin_trap();
    }
    const TMemo& kept = memos.Items()[static_cast<size_t>(memos.IndexOfDate(45000))];
    if (kept.Text != "kept" || kept.MemoType != mtWeekly) {
        __builtin_trap();
    }
    const std::string copy = path + ".ics";
    if (!ExportMemosToICalendar(memos, 0, memos.Count() - 1, copy, 0)) {
        __builtin_trap();
    }
    TMemoList back;
    if (!ImportMemosFromICalendar(back, copy, counts) || back.Count() != memos.Count() ||
        counts.Added != memos.Count()) {
        __builtin_trap();
    }
    std::remove(copy.c_str());
    return 0;
}
