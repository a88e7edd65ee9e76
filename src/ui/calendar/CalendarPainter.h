#pragma once

#include "calendar/MonthModel.h"
#include "base/QtPlatform.h"
#include "schemes/UnitSchemes.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRegion>

namespace kestrivel {

// The window colour and transparency key: fuchsia. Every pixel of exactly this colour is see-through.
constexpr QRgb kKeyColor = 0xFF000000 | kKeyColour;

// How the finished calendar reaches the screen.
struct SurfaceStyle {
    // A compositor shows the window's alpha: the calendar is painted on transparency, smoothed
    // everywhere, and key-coloured paint cuts see-through holes. Otherwise it is painted opaque on the
    // key colour, and a text is smoothed only where no key pixel lies under it, since edge pixels
    // blended with the key would show as a fuchsia rim once the key is cut away.
    bool Translucent = false;
    // Device resolution for font sizes in points.
    int Dpi = kSurfaceDpi;
};

QColor ToQColor(TColor color);
// The zone's font as it is drawn: face, size at `dpi` and every style bit as they stand.
QFont ZoneFont(const TSettings& zone, int dpi = kSurfaceDpi);

// Sizes `buffer` to the calendar, fills it with the key colour (or transparency) and, when there is a
// scheme, paints every box and text of the model in order.
//
// A box whose zone has a background or a frame is filled in BackColor when BackSolid and outlined in
// FrameColor when Frame (else in BackColor), square or with 6 by 6 corner ellipses, covering
// Left..Right-1 and Top..Bottom-1. A text's line starts at TextY: the outline (or else the shadow) in
// EffectColor, then the text in TextColor; centred texts are moved left by half their width.
void DrawCalendar(QImage& buffer, const TMonthModel& model, const TScheme* scheme,
                  const SurfaceStyle& style = {});

// The pixels of `image` that show: not the key colour, and not fully transparent.
QRegion OpaqueRegion(const QImage& image);

} // namespace kestrivel
