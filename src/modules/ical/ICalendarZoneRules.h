#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <libical/ical.h>

#include "ICalendarTime.h"

namespace kestrivel {

// One VTIMEZONE's observances, evaluated per window of years around the year asked for.
class ICalendarZoneRules {
public:
    // Null when the block holds no observance that reads.
    static std::unique_ptr<ICalendarZoneRules> read(std::string_view block);

    // The offset of the local time of day `local`, spending at most `work` recurrence steps (less
    // what it spends); false when the time lies outside the years 1..9999.
    bool offsetAt(const icaltimetype& local, int64_t& work, ZoneOffset& out) const;

private:
    struct Observance {
        icaltimetype Start{};
        int64_t StartAt = 0;
        int From = 0;
        int To = 0;
        bool HasRule = false;
        icalrecurrencetype Rule{};
        std::vector<int64_t> Dates; // DTSTART and the RDATEs, sorted
    };
    struct Onset {
        int64_t At;
        int To;
        bool operator<(const Onset& other) const { return At < other.At; }
    };
    struct Window {
        bool Exact = true;
        std::vector<Onset> Onsets;
    };

    bool addObservance(Observance part);
    Window evaluate(int year, int64_t& work) const;
    bool ruleOnsets(const Observance& part, int year, int64_t from, int64_t to, int64_t& steps,
                    Window& out) const;

    std::vector<Observance> m_parts;
    bool m_overflow = false;
    mutable std::unordered_map<int, Window> m_windows;
};

} // namespace kestrivel
