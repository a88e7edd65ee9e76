#pragma once

#include "calendar/MonthModel.h"
#include "base/QtPlatform.h"
#include "schemes/UnitSchemes.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRegion>

#include <string>

class QPainter;

namespace kestrivel {

// The window colour and transparency key: fuchsia. Every pixel of exactly this colour is see-through.
constexpr QRgb kKeyColor = 0xFFFF00FF;

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

// Paints one box: filled in BackColor when BackSolid, outlined in FrameColor when Frame (else in
// BackColor), square or with 6 by 6 corner ellipses, covering left..right-1 and top..bottom-1.
void DrawFrame(QPainter* painter, const TSettings& zone, int left, int top, int right, int bottom);
// Paints one text whose line starts at y: the outline (or else the shadow) in EffectColor, then the
// text in TextColor. Centred texts are moved left by half their width. On an image the text is
// smoothed by the rules of SurfaceStyle (translucent when the image has an alpha channel).
void DrawText(QPainter* painter, const std::string& text, const TSettings& zone, int x, int y, bool centred);

// Sizes `buffer` to the calendar, fills it with the key colour (or transparency) and, when there is a
// scheme, paints every box and text of the model in order.
void DrawCalendar(QImage& buffer, const TMonthModel& model, const TScheme* scheme,
                  const SurfaceStyle& style = {});

// The pixels of `image` that show: not the key colour, and not fully transparent.
QRegion OpaqueRegion(const QImage& image);

} // namespace kestrivel
