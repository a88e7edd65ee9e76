#pragma once

#include "app/MonthModel.h"
#include "common/DateFormat.h"

#include <QFont>
#include <QImage>
#include <QLocale>
#include <QString>

#include <string>

namespace kestrivel {

// Fonts are sized as on a 96-dpi surface without scaling: a point size becomes the character height
// in pixels that the window's own 13-pixel font is given in.
int PointsToPixels(int pointSize);
// The drawing surface's resolution, set on every buffer and on the measuring image alike.
void SetSurfaceResolution(QImage& image);

// Bytes of our texts (UTF-8, or Windows-1252 in older files) as a QString.
QString TextToQString(const std::string& text);

// The calendar window's font: "Arial", bold, 13 pixels.
QFont WindowFont();

// Measures on an image of the drawing surface's resolution, in the window font with only the face,
// the size and (for the memo line step) the style bits changed.
class QtTextMeasurer : public ITextMeasurer {
public:
    explicit QtTextMeasurer(const QFont& baseFont = WindowFont());
    TTextExtent TextExtent(std::string_view text, const std::string& fontName, int pointSize,
                           uint8_t textStyle) const override;

private:
    QFont m_baseFont;
    QImage m_surface;
};

// A Qt date pattern in ours: d..dddd stay, M..MMMM become m..mmmm, any run of y becomes yyyy (two-digit
// years are widened), quoted text stays literal, and characters our patterns would read as fields
// are quoted.
std::string ConvertQtDatePattern(const QString& pattern);

// The user's date formats and names. The C/POSIX locale writes short dates as yyyy-mm-dd.
TLocaleFormats LocaleFormatsFrom(const QLocale& locale);

} // namespace kestrivel
