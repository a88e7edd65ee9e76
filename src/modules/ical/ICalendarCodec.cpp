#include "ICalendarCodec.h"

#include "ICalendarEvent.h"
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
    out = {};
    try {
        QuietLibical();
        if (data.size() > kDataFileCap) {
            return false;
        }
        const std::string text = unfoldICalendar(WithoutByteOrderMark(data));
        std::vector<ICalendarBlock> events;
        if (!findICalendarEvents(text, events) || events.empty()) {
            return false;
        }
        const std::string_view all(text);
        auto blockText = [&all](const ICalendarBlock& block) {
            return all.substr(block.Begin, block.End - block.Begin);
        };
        TEventReading master;
        bool found = false;
        for (const ICalendarBlock& block : events) {
            TEventReading reading;
            if (ReadMemoEvent(blockText(block), reading) &&
                (!found || (master.Override && !reading.Override))) {
                master = std::move(reading);
                found = true;
            }
        }
        if (!found) {
            return false;
        }
        out.Memo = std::move(master.Memo);
        out.Uid = std::move(master.Uid);
        out.Exact =
            !master.Approximated && !master.Timed && !master.Override && !master.Longer && events.size() == 1;
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

} // namespace kestrivel
