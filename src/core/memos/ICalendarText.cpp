#include "memos/ICalendarText.h"

namespace kestrivel {

namespace {

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string_view trimEnd(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

bool isLineBreak(char c) {
    return c == '\r' || c == '\n';
}

} // namespace

std::string unfoldICalendar(std::string_view data) {
    std::string out;
    out.reserve(data.size());
    for (size_t i = 0; i < data.size(); ++i) {
        size_t next = i;
        if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n') {
            next = i + 1;
        }
        if (isLineBreak(data[next]) && next + 1 < data.size() &&
            (data[next + 1] == ' ' || data[next + 1] == '\t')) {
            i = next + 1;
            continue;
        }
        out.push_back(data[i]);
    }
    return out;
}

std::string_view nextICalendarLine(std::string_view text, size_t& pos) {
    const size_t start = pos;
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
        end = text.size();
        pos = end;
    } else {
        pos = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return text.substr(start, end - start);
}

std::string_view icalendarPropertyName(std::string_view line) {
    return line.substr(0, line.find_first_of(":;"));
}

std::string_view icalendarValue(std::string_view line) {
    const size_t colon = line.find(':');
    return colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
}

bool sameICalendarName(std::string_view a, std::string_view b) {
    a = trimEnd(a);
    b = trimEnd(b);
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i])) {
            return false;
        }
    }
    return true;
}

bool isMemoLine(std::string_view line) {
    const std::string_view name = icalendarPropertyName(line);
    for (const std::string_view wanted : {"BEGIN", "END", "DTSTART", "RRULE", "RDATE", "EXDATE", "SUMMARY"}) {
        if (sameICalendarName(name, wanted)) {
            return true;
        }
    }
    return false;
}

bool findICalendarEvents(std::string_view text, std::vector<ICalendarBlock>& events,
                         std::vector<ICalendarBlock>* zones) {
    std::vector<std::string_view> open; // the names of the components we are in, outermost first
    bool sawCalendar = false;
    size_t eventBegin = 0;
    size_t zoneBegin = 0;
    size_t lines = 0;
    for (size_t pos = 0; pos < text.size();) {
        const size_t start = pos;
        const std::string_view line = nextICalendarLine(text, pos);
        if (++lines > kICalendarMaxLines || (line.size() > kICalendarMaxParsedLine && isMemoLine(line))) {
            return false;
        }
        const std::string_view name = icalendarPropertyName(line);
        if (sameICalendarName(name, "BEGIN")) {
            const std::string_view component = icalendarValue(line);
            const bool calendar = sameICalendarName(component, "VCALENDAR");
            const bool event = sameICalendarName(component, "VEVENT");
            if (open.empty() != calendar || (event && open.size() != 1) ||
                open.size() >= kICalendarMaxNesting) {
                return false;
            }
            sawCalendar = sawCalendar || calendar;
            eventBegin = event ? start : eventBegin;
            zoneBegin = open.size() == 1 ? start : zoneBegin;
            open.push_back(component);
        } else if (sameICalendarName(name, "END")) {
            if (open.empty() || !sameICalendarName(icalendarValue(line), open.back())) {
                return false;
            }
            if (open.size() == 2 && sameICalendarName(open.back(), "VEVENT")) {
                events.push_back({eventBegin, pos});
            } else if (zones != nullptr && open.size() == 2 && sameICalendarName(open.back(), "VTIMEZONE")) {
                zones->push_back({zoneBegin, pos});
            }
            open.pop_back();
        } else if (open.empty() && !trimEnd(line).empty()) {
            return false;
        }
    }
    return sawCalendar && open.empty();
}

} // namespace kestrivel
