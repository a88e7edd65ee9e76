#include "ICalendarCodec.h"

#include "ICalendarEvent.h"
#include "ICalendarTime.h"
#include "common/BoundedRead.h"
#include "memos/ICalendarText.h"

#include <exception>
#include <string_view>
#include <vector>

namespace kestrivel {

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
                    !chosen.Extra && events.size() == 1;
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
