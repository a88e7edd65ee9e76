#pragma once

#include <string>
#include <vector>

namespace kestrivel {

// Why an exchange import added nothing.
enum class TExchangeStop {
    None,
    Unreadable,  // missing, not a regular file, or cannot be opened or read
    TooLarge,    // more than kDataFileCap: no memo file is that large
    NotAMemo,    // a line without a date, a type and a text, or a date no order reads
    UnknownType, // a type code other than 0..3: such a memo would never show
    ListFull,    // the new memos do not all fit into the list
};

// What an exchange import did. Imports are all or nothing: when Stop is not None the list is as it
// was, and Line names the first line (from 1) that stopped it.
struct TExchangeImport {
    TExchangeStop Stop = TExchangeStop::None;
    int Line = 0;
    std::string Detail; // the type code that is unknown
    int Added = 0;
    int Skipped = 0;           // memos the list already held: same date, type and text
    std::vector<int> CutLines; // lines whose text was cut to the editor's length
    // The pattern every date of the file was read with: the locale's short date pattern, or the
    // first of the others that read every line.
    std::string DateOrder;
    bool LocaleOrder = true;

    bool ok() const { return Stop == TExchangeStop::None; }
};

// The date orders an import tries after the locale's own, in this order.
inline constexpr const char* kExchangeDateOrders[] = {"yyyy-mm-dd", "dd-mm-yyyy", "mm-dd-yyyy"};

} // namespace kestrivel
