// Memos.dat and memo exchange files: loading and importing must never crash, leak or allocate
// past what the file holds, and the queries must answer on whatever was read.
#include <cstddef>
#include <cstdint>

#include "FuzzFile.h"
#include "common/DateFormat.h"
#include "memos/UnitMemo.h"

using namespace kestrivel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = WriteFuzzInput(data, size);
    TMemoList memos;
    memos.LoadFromFile(path);
    TLocaleFormats formats;
    formats.ShortDateFormat = "dd/mm/yyyy";
    formats.DateSeparator = '/';
    memos.ImportFromFile(path, formats);
    for (int day = 1; day <= 31; ++day) {
        for (uint8_t type = 0; type <= 3; ++type) {
            const int i = memos.FindMemo(2024, 1, static_cast<uint16_t>(day), type);
            if (i >= static_cast<int>(memos.Count())) {
                __builtin_trap();
            }
        }
    }
    if (memos.Count() > 0) {
        TMemo memo;
        memos.GetMemo(0, memo);
        // Exact equality finds every date but NaN, which equals nothing.
        if (memo.Date == memo.Date && memos.IndexOfDate(memo.Date) < 0) {
            __builtin_trap();
        }
        memos.Delete(0);
    }
    return 0;
}
