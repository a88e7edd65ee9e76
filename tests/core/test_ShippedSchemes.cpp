#include "schemes/UnitSchemes.h"

#include <gtest/gtest.h>

#include <string>

using namespace kestrivel;

namespace {

// The schemes shipped in the schemes folder import as exported scheme files and each shows off a
// frame with round corners, a text effect and a visible memo box.
TEST(ShippedSchemes, ImportAndUseTheZoneStyles) {
    const std::string names[] = {"Paper", "Midnight", "Glass", "High contrast"};
    const std::string files[] = {"Paper", "Midnight", "Glass", "HighContrast"};
    TSchemeList list;
    for (size_t i = 0; i < std::size(files); ++i) {
        SCOPED_TRACE(files[i]);
        ASSERT_TRUE(list.ImportFromFile(std::string(KESTRIVEL_SOURCE_DIR) + "/schemes/" + files[i] + ".dat"));
        const TScheme& scheme = *list.Get(static_cast<uint16_t>(i));
        EXPECT_EQ(scheme.Name, names[i]);
        bool rounded = false, effect = false;
        for (const TSettings& zone : scheme.Settings) {
            rounded = rounded || (zone.Frame && zone.RoundCorners);
            effect = effect || zone.Outline || zone.Shadow;
            EXPECT_NE(zone.BackColor, 0xFF00FFu); // the window's transparency key
        }
        EXPECT_TRUE(rounded && effect);
        EXPECT_TRUE(scheme.Settings[zoneTodaysMemo].BackSolid || scheme.Settings[zoneTodaysMemo].Frame);
    }
}

// An outline is the text drawn a pixel off in each direction under the text itself: in the text's own
// colour it fills the holes of bold digits, so an outlined zone's colours differ.
TEST(ShippedSchemes, OutlinesKeepTheHolesOfTheLetters) {
    const std::string files[] = {"Paper", "Midnight", "Glass", "HighContrast"};
    TSchemeList list;
    for (size_t i = 0; i < std::size(files); ++i) {
        SCOPED_TRACE(files[i]);
        ASSERT_TRUE(list.ImportFromFile(std::string(KESTRIVEL_SOURCE_DIR) + "/schemes/" + files[i] + ".dat"));
        const TScheme& scheme = *list.Get(static_cast<uint16_t>(i));
        for (size_t z = 0; z < std::size(scheme.Settings); ++z) {
            SCOPED_TRACE(z);
            const TSettings& zone = scheme.Settings[z];
            if (zone.Outline) {
                EXPECT_NE(zone.EffectColor, zone.TextColor);
            }
        }
    }
}

} // namespace
