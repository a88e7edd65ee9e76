#pragma once

#include <cstdint>
#include <string>

#include "common/DateValue.h"

namespace kestrivel {

enum TMemoType : uint8_t { mtSingle = 0, mtWeekly = 1, mtMonthly = 2, mtYearly = 3 };

struct TMemo {
    TDateValue Date = 0;
    std::string Text; // one-line form: ";" stands for a line break
    uint8_t MemoType = mtSingle;
};

} // namespace kestrivel
