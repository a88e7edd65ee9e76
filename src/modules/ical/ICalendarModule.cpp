#include "memos/ICalendarModule.h"

#include "ICalendarCodec.h"
#include "ICalendarExpand.h"
#include "sync/EventCodec.h"

using namespace kestrivel;

extern "C" __attribute__((visibility("default"))) bool KestrivelExportICalendar(const TMemoList& memos,
                                                                                int first, int last,
                                                                                const std::string& path,
                                                                                int64_t stampUtcSeconds) {
    return ExportMemosToICalendar(memos, first, last, path, stampUtcSeconds);
}

extern "C" __attribute__((visibility("default"))) bool
KestrivelImportICalendar(TMemoList& memos, const std::string& path, ICalendarImportCounts& counts) {
    return ImportMemosFromICalendar(memos, path, counts);
}

// The sync's codec: memos as calendar object resources and back.
extern "C" __attribute__((visibility("default"))) bool
KestrivelEncodeEvent(const TMemo& memo, const std::string& uid, int64_t stampUtcSeconds, std::string& out) {
    out = EncodeEventMemo(memo, uid, stampUtcSeconds);
    return !out.empty();
}

extern "C" __attribute__((visibility("default"))) bool KestrivelDecodeEvent(const std::string& data,
                                                                            TEventMemo& out) {
    return DecodeEventMemo(data, out);
}

extern "C" __attribute__((visibility("default"))) bool
KestrivelPatchEvent(const std::string& data, const TMemo& memo, int64_t stampUtcSeconds, std::string& out) {
    out = PatchEventMemo(data, memo, stampUtcSeconds);
    return !out.empty();
}

// The events shown beside the memos: their occurrences over the dates shown.
extern "C" __attribute__((visibility("default"))) bool
KestrivelExpandEvent(std::string_view data, TDateValue first, TDateValue last,
                     std::vector<TEventOccurrence>& out) {
    return ExpandEvents(data, first, last, out);
}

// The same, with the events of a cache read once for all the months shown.
extern "C" __attribute__((visibility("default"))) bool
KestrivelPrepareEvents(const TEventCache& cache, std::unique_ptr<IPreparedEvents>& out) {
    out = std::make_unique<TICalendarPreparedEvents>(cache);
    return true;
}

// The module's own symbol types must match what the program resolves.
static_assert(std::is_same_v<decltype(&KestrivelExportICalendar), KestrivelExportICalendarFn>);
static_assert(std::is_same_v<decltype(&KestrivelImportICalendar), KestrivelImportICalendarFn>);
static_assert(std::is_same_v<decltype(&KestrivelEncodeEvent), KestrivelEncodeEventFn>);
static_assert(std::is_same_v<decltype(&KestrivelDecodeEvent), KestrivelDecodeEventFn>);
static_assert(std::is_same_v<decltype(&KestrivelPatchEvent), KestrivelPatchEventFn>);
static_assert(std::is_same_v<decltype(&KestrivelExpandEvent), KestrivelExpandEventFn>);
static_assert(std::is_same_v<decltype(&KestrivelPrepareEvents), KestrivelPrepareEventsFn>);
