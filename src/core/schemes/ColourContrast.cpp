#include "schemes/ColourContrast.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kestrivel {

namespace {

double Linear(unsigned channel) {
    const double c = channel / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

} // namespace

double RelativeLuminance(TColor color) {
    return 0.2126 * Linear(color & 0xFF) + 0.7152 * Linear((color >> 8) & 0xFF) +
           0.0722 * Linear((color >> 16) & 0xFF);
}

double ContrastRatio(TColor a, TColor b) {
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TCursorColours DayCursorColours(const TScheme& scheme, int dayZone) {
    const TSettings& today = scheme.Settings[zoneToday];
    std::vector<TColor> candidates = {today.TextColor};
    if (today.BackSolid) {
        candidates.push_back(today.BackColor);
    }
    if (today.Frame) {
        candidates.push_back(today.FrameColor);
    }
    if (today.Outline || today.Shadow) {
        candidates.push_back(today.EffectColor);
    }
    const auto painted = [](const TSettings& zone) { return zone.BackSolid && !IsKeyColour(zone.BackColor); };
    // The candidate that stands out most from `under` (none: the desktop).
    const auto against = [&](const TSettings* under) {
        TColor best = today.TextColor;
        double bestRatio = -1;
        for (const TColor colour : candidates) {
            const double ratio = under == nullptr ? 0 : ContrastRatio(colour, under->BackColor);
            if (!IsKeyColour(colour) && ratio > bestRatio) {
                best = colour;
                bestRatio = ratio;
            }
        }
        return best;
    };
    const TSettings& calendar = scheme.Settings[zoneCalendar];
    const TSettings& day = scheme.Settings[std::clamp(dayZone, 0, kZoneCount - 1)];
    const TSettings* around = painted(calendar) ? &calendar : nullptr;
    return {against(around), against(painted(day) ? &day : around)};
}

} // namespace kestrivel
