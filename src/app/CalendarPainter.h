#pragma once

#include "app/MonthModel.h"
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

QColor ToQColor(TColor color);
// The zone's font as it is drawn: face, size and every style bit as they stand.
QFont ZoneFont(const TSettings& zone);

// Paints one box: filled in BackColor when BackSolid, outlined in FrameColor when Frame (else in
// BackColor), square or with 6 by 6 corner ellipses, covering left..right-1 and top..bottom-1.
void DrawFrame(QPainter* painter, const TSettings& zone, int left, int top, int right, int bottom);
// Paints one text whose line starts at y: the outline (or else the shadow) in EffectColor, then the
// text in TextColor. Centred texts are moved left by half their width.
void DrawText(QPainter* painter, const std::string& text, const TSettings& zone, int x, int y, bool centred);

// Sizes `buffer` to the calendar, fills it with the key colour and, when there is a scheme, paints
// every box and text of the model in order.
void DrawCalendar(QImage& buffer, const TMonthModel& model, const TScheme* scheme);

// The pixels of `image` that are not the key colour, as a region.
QRegion OpaqueRegion(const QImage& image);

} // namespace kestrivel
