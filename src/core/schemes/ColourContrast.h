#pragma once

#include "schemes/UnitSchemes.h"

namespace kestrivel {

// Contrast of colours as the Web Content Accessibility Guidelines measure it (WCAG 2.1, relative
// luminance and contrast ratio): 1 for equal colours up to 21 for black on white. Parts that must be
// seen but are not text want 3 or more.
double RelativeLuminance(TColor color);
double ContrastRatio(TColor a, TColor b);

// The day cursor's ring is two bands: the outer one meets what lies around the day's box, the inner
// one the box itself. Each takes, of the colours today's zone uses (its text, its background, its frame
// and its text effect, each where it is painted), the one that stands out most from what it meets: the
// calendar's background around the box; the day zone's background inside it, else the calendar's.
// Where nothing is painted the desktop shows, unknown: the band takes today's text colour. The key
// colour is never taken, as it would show the desktop.
struct TCursorColours {
    TColor Outer = 0;
    TColor Inner = 0;
};
TCursorColours DayCursorColours(const TScheme& scheme, int dayZone);

} // namespace kestrivel
