// Memos as iCalendar files through libical. The file is checked against the bounds of
// memos/ICalendarText.h and split into its VEVENT blocks before libical sees any of it; each block
// is parsed on its own, so a file of a million events never becomes one libical tree, and once the
// list is full nothing more is parsed at all.
#include "memos/ICalendar.h"

#include "ICalendarEvent.h"
#include "ICalendarTime.h"
#include "common/BoundedRead.h"
#include "common/DateValue.h"
#include "common/SafeFile.h"
#include "memos/ICalendarText.h"
#include "memos/UnitMemo.h"

#include <cstdio>
#include <exception>
#include <vector>

namespace kestrivel {

namespace {

// 64-bit FNV-1a: a stable fingerprint of a memo for its UID, the same on every run and machine.
uint64_t fingerprint(std::string_view bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

// The exported event's UID: the same memo keeps it across exports.
std::string exportUid(const TMemo& memo) {
    const TYmd ymd = DecodeDate(memo.Date);
    char dateText[16];
    std::snprintf(dateText, sizeof dateText, "%04d%02d%02d", ymd.Year, ymd.Month, ymd.Day);
    const std::string key = std::string(dateText) + "|" + std::to_string(memo.MemoType) + "|" + memo.Text;
    char uid[64];
    std::snprintf(uid, sizeof uid, "%s-%u-%016llx@kestrivel", dateText, unsigned{memo.MemoType},
                  static_cast<unsigned long long>(fingerprint(key)));
    return uid;
}

enum class EventResult { Added, Approximated, Skipped, LeftOut };

EventResult importEvent(TMemoList& memos, std::string_view block, const ICalendarZones& zones) {
    TEventReading event;
    if (!ReadMemoEvent(block, event, {true, &zones}) ||
        !memos.Add(event.Memo.Text, event.Memo.MemoType, event.Memo.Date)) {
        return EventResult::Skipped;
    }
    return event.Approximated ? EventResult::Approximated : EventResult::Added;
}

} // namespace

bool ExportMemosToICalendar(const TMemoList& memos, int first, int last, const std::string& path,
                            int64_t stampUtcSeconds) {
    const int count = memos.Count();
    if (last >= first && (first < 0 || last >= count)) {
        return false;
    }
    try {
        QuietLibical();
        std::string out(ICalendarHead());
        bool all = true;
        for (int i = first; i <= last; ++i) {
            const TMemo& memo = memos.Items()[static_cast<size_t>(i)];
            const std::string event = MemoEventText(memo, exportUid(memo), stampUtcSeconds);
            all = all && !event.empty();
            out += event;
            // An import could not read it back.
            if (out.size() + ICalendarTail().size() > kDataFileCap) {
                return false;
            }
        }
        out += ICalendarTail();
        return WriteFileAtomic(path, out, TNewFileAccess::UserDefault) && all;
    } catch (const std::exception&) {
        return false;
    }
}

bool ImportMemosFromICalendar(TMemoList& memos, const std::string& path, ICalendarImportCounts& counts) {
    counts = {};
    try {
        QuietLibical();
        std::string data;
        if (ReadFileBounded(path, kDataFileCap, data) != TReadResult::Ok) {
            return false;
        }
        const std::string text = unfoldICalendar(WithoutByteOrderMark(data));
        data.clear();
        data.shrink_to_fit();
        std::vector<ICalendarBlock> events;
        std::vector<ICalendarBlock> zoneBlocks;
        if (!findICalendarEvents(text, events, &zoneBlocks)) {
            return false;
        }
        const ICalendarZones zones(text, zoneBlocks);
        const std::string_view all(text);
        for (const ICalendarBlock& block : events) {
            // Once the list is full nothing more can be added; the rest is only counted.
            const EventResult result =
                memos.Count() >= TMemoList::kMaxCount
                    ? EventResult::LeftOut
                    : importEvent(memos, all.substr(block.Begin, block.End - block.Begin), zones);
            ++(result == EventResult::Added          ? counts.Added
               : result == EventResult::Approximated ? counts.Approximated
               : result == EventResult::Skipped      ? counts.Skipped
                                                     : counts.LeftOut);
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace kestrivel
