#include "schemes/ColourContrast.h"

#include <gtest/gtest.h>

#include <string>

using namespace kestrivel;

namespace {

// Ratios as WebAIM's contrast checker gives them (colours 0x00BBGGRR).
TEST(ContrastRatio, MatchesTheGuidelinesFigures) {
    const struct {
        TColor A, B;
        double Ratio;
    } cases[] = {
        {0x000000, 0xFFFFFF, 21.0}, {0xFFFFFF, 0xFFFFFF, 1.0}, {0x777777, 0xFFFFFF, 4.48},
        {0xFF0000, 0xFFFFFF, 8.59}, {0x0000FF, 0xFFFFFF, 4.0}, {0x00FF00, 0x000000, 15.3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.A);
        EXPECT_NEAR(ContrastRatio(c.A, c.B), c.Ratio, 0.01);
        EXPECT_NEAR(ContrastRatio(c.B, c.A), c.Ratio, 0.01);
    }
}

// On every day of every shipped scheme the ring is seen: each band reaches 3:1, the guidelines' figure
// for parts that are not text, against what it meets.
TEST(DayCursorColours, EveryShippedSchemeGivesEnoughContrast) {
    TSchemeList list;
    for (const char* file : {"Paper", "Midnight", "Glass", "HighContrast"}) {
        ASSERT_TRUE(list.ImportFromFile(std::string(KESTRIVEL_SOURCE_DIR) + "/schemes/" + file + ".dat"));
    }
    for (uint16_t i = 0; i < list.Count(); ++i) {
        const TScheme& scheme = *list.Get(i);
        const TSettings& calendar = scheme.Settings[zoneCalendar];
        ASSERT_TRUE(calendar.BackSolid) << scheme.Name;
        for (const int zone : {zoneDays, zoneWeekends, zoneToday, zoneMemoDays}) {
            SCOPED_TRACE(scheme.Name + " zone " + std::to_string(zone));
            const TSettings& day = scheme.Settings[zone];
            const TCursorColours ring = DayCursorColours(scheme, zone);
            EXPECT_GE(ContrastRatio(ring.Outer, calendar.BackColor), 3.0);
            EXPECT_GE(ContrastRatio(ring.Inner, day.BackSolid ? day.BackColor : calendar.BackColor), 3.0);
        }
    }
}

} // namespace
