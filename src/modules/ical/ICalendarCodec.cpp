#include "ICalendarCodec.h"

#include "ICalendarEvent.h"
#include "ICalendarExpand.h"
#include "ICalendarTime.h"
#include "common/BoundedRead.h"
#include "memos/ICalendarText.h"
#include "sync/SyncReconcile.h"

#include <exception>
#include <string_view>
#include <vector>

namespace kestrivel {

namespace {

// Whether every occurrence over two years from its start falls here on a day its memo's repeat
// holds: a timed repeat in another zone moves a day in the weeks when only one side keeps summer time.
bool fallsOnItsMemoDays(const std::string& data, const TMemo& memo) {
    constexpr int kDaysChecked = 2 * 366;
    std::vector<TEventOccurrence> found;
    ExpandEvents(data, memo.Date, memo.Date + kDaysChecked, found);
    const uint32_t slot = RepeatSlot(memo);
    for (const TEventOccurrence& occurrence : found) {
        if (RepeatSlot({occurrence.Date, {}, memo.MemoType}) != slot) {
            return false;
        }
    }
    return !found.empty();
}

} // namespace

std::string EncodeEventMemo(const TMemo& memo, const std::string& uid, int64_t stampUtcSeconds) {
    try {
        QuietLibical();
        const std::string event = MemoEventText(memo, uid, stampUtcSeconds);
        if (event.empty()) {
            return {};
        }
        std::string out(ICalendarHead());
        out += event;
        out += ICalendarTail();
        return out;
    } catch (const std::exception&) {
        return {};
    }
}

bool DecodeEventMemo(const std::string& data, TEventMemo& out) {
    size_t master = 0;
    return DecodeEventMemo(data, out, master);
}

bool DecodeEventMemo(const std::string& data, TEventMemo& out, size_t& master) {
    out = {};
    try {
        QuietLibical();
        if (data.size() > kDataFileCap) {
            return false;
        }
        const std::string text = unfoldICalendar(WithoutByteOrderMark(data));
        std::vector<ICalendarBlock> events;
        std::vector<ICalendarBlock> zoneBlocks;
        if (!findICalendarEvents(text, events, &zoneBlocks) || events.empty()) {
            return false;
        }
        const ICalendarZones zones(text, zoneBlocks);
        const TEventReadOptions options{false, &zones};
        const std::string_view all(text);
        TEventReading chosen;
        bool found = false;
        for (size_t i = 0; i < events.size(); ++i) {
            TEventReading reading;
            const ICalendarBlock& block = events[i];
            if (ReadMemoEvent(all.substr(block.Begin, block.End - block.Begin), reading, options) &&
                (!found || (chosen.Override && !reading.Override))) {
                chosen = std::move(reading);
                master = i;
                found = true;
            }
        }
        if (!found) {
            return false;
        }
        out.Memo = std::move(chosen.Memo);
        out.Uid = std::move(chosen.Uid);
        out.Exact = !chosen.Approximated && !chosen.Timed && !chosen.Override && !chosen.Longer &&
                    !chosen.Extra && !chosen.Semicolon && events.size() == 1;
        out.ExactDays =
            !chosen.Approximated && !chosen.Override && !chosen.Cancelled && !chosen.Semicolon &&
            events.size() == 1 &&
            (!chosen.Timed || out.Memo.MemoType == mtSingle || fallsOnItsMemoDays(data, out.Memo));
        return true;
    } catch (const std::exception&) {
        out = {};
        return false;
    }
}

std::string TICalendarEventCodec::Encode(const TMemo& memo, const std::string& uid, int64_t stampUtcSeconds) {
    return EncodeEventMemo(memo, uid, stampUtcSeconds);
}

bool TICalendarEventCodec::Decode(const std::string& data, TEventMemo& out) {
    return DecodeEventMemo(data, out);
}

std::string TICalendarEventCodec::Patch(const std::string& data, const TMemo& memo, int64_t stampUtcSeconds) {
    return PatchEventMemo(data, memo, stampUtcSeconds);
}

} // namespace kestrivel
