#pragma once

#include "base/QtPlatform.h"
#include "calendar/MonthModel.h"
#include "schemes/UnitSchemes.h"

#include <QImage>

namespace kestrivel {

// The ring's width in pixels at 96 dpi; a finer screen widens it in proportion.
static constexpr int kCursorRingWidth = 2;

// Draws the keyboard's day cursor over the painted calendar: a ring along the edge of day `day`'s box
// of `model`, its outer half in the colour that DayCursorColours picks from today's zone against what
// surrounds the box, its inner half in the one against the box, so it stands out on any day of any
// scheme. Nothing for a day the model does not draw.
void DrawDayCursor(QImage& buffer, const TMonthModel& model, int day, const TScheme& scheme,
                   int dpi = kSurfaceDpi);

} // namespace kestrivel
