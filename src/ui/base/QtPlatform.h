#pragma once

#include "calendar/MonthModel.h"
#include "common/DateFormat.h"

#include <QFont>
#include <QImage>
#include <QLocale>
#include <QRegion>
#include <QString>

#include <string>

class QScreen;
class QWidget;

namespace kestrivel {

// The resolution the calendar's sizes are given at: there one layout pixel is one device pixel.
static constexpr int kSurfaceDpi = 96;

// A point size as the character height in device pixels at `dpi`, the unit the window's own 13-pixel
// font is given in. On a scaled screen the calendar draws at device resolution with its fonts at
// their 96-dpi pixel size times the scale, as every other length of it.
// The largest character height drawn: a glyph never exceeds the largest calendar side.
static constexpr int kMaxFontPixels = 4096;
int PointsToPixels(int pointSize, int dpi = kSurfaceDpi);
// The drawing surface's resolution, set on every buffer and on the measuring image alike.
void SetSurfaceResolution(QImage& image);

// Bytes of our texts (UTF-8, or Windows-1252 in older files) as a QString.
QString TextToQString(const std::string& text);

// "Arial" at a character height in pixels: the dialogs' fonts as designed at 96 dpi.
QFont ArialFont(int pixels, bool bold = false);

// The calendar window's font: "Arial", bold, 13 pixels (at 96 dpi; more device pixels at more dpi).
QFont WindowFont(int dpi = kSurfaceDpi);

// The tray icon "Tray_Icon" at 16, 32 and 48 pixels, kept as raw RGBA rows since decoding a PNG
// would keep libpng's pages resident for the life of the program; the tray takes the size that fits
// its scale. A size whose resource is missing or damaged is left out.
QList<QImage> TrayIconImages();

// The device resolution of a screen: 96 dpi times the scale Qt gives its windows (Xft.dpi,
// QT_SCALE_FACTOR, a monitor's own scale).
int DeviceDpi(const QScreen* screen);
// Whether windows on `screen` are composited, so a window with an alpha channel shows it: on X11 the
// compositing manager's selection has an owner; Wayland always composites.
bool CompositorActive(const QScreen* screen);

// A top-level window's place and size in device pixels. Qt places windows in scaled units, which
// cannot name every device pixel on a screen scaled by 1.5; these go to the native window directly.
QRect DeviceGeometry(const QWidget& window);
// Gives the window a place and size in device pixels; creates the native window if need be.
void SetDeviceGeometry(QWidget& window, const QRect& rect);
// Puts the window's top-left corner on a device pixel, keeping its size.
void MoveToDevicePixel(QWidget& window, const QPoint& position);
// Cuts the native window to `region` in device pixels (an empty region removes the cut).
void SetDeviceMask(QWidget& window, const QRegion& region);
// A screen rectangle in scaled units as device pixels (the screen's own when it is one of them).
QRect DeviceScreenRect(const QRect& scaled);

// Measures on an image of the drawing surface's resolution, in the window font with only the face,
// the size and (for the memo line step) the style bits changed.
class QtTextMeasurer : public ITextMeasurer {
public:
    explicit QtTextMeasurer(const QFont& baseFont = WindowFont(), int dpi = kSurfaceDpi);
    TTextExtent TextExtent(std::string_view text, const std::string& fontName, int pointSize,
                           uint8_t textStyle) const override;
    int Dpi() const { return m_dpi; }

private:
    QFont m_baseFont;
    int m_dpi;
    QImage m_surface;
};

// A Qt date pattern in ours: d..dddd stay, M..MMMM become m..mmmm, any run of y becomes yyyy (two-digit
// years are widened), quoted text stays literal, and characters our patterns would read as fields
// are quoted.
std::string ConvertQtDatePattern(const QString& pattern);

// The user's date formats and names. The C/POSIX locale writes short dates as yyyy-mm-dd.
TLocaleFormats LocaleFormatsFrom(const QLocale& locale);

// The rectangle of the screen nearest to `windowRect` among `screens`: the one holding most of it,
// else the closest. An empty rectangle when there is no screen.
QRect NearestScreen(const QRect& windowRect, const QList<QRect>& screens);

} // namespace kestrivel
