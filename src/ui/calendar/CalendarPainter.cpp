#include "calendar/CalendarPainter.h"

#include "base/QtPlatform.h"

#include <QFontMetrics>
#include <QPainter>

#include <array>
#include <cstring>
#include <vector>

namespace kestrivel {

namespace {

// A zone's fonts and metrics, made once per redraw and shared by all of the zone's texts. The metrics
// are those of the measured font, so smoothing never moves a text.
struct TZoneFont {
    QFont Hard;
    QFont Smooth;
    QFontMetrics Metrics;
    TZoneFont(const TSettings& zone, const QPaintDevice* device, int dpi)
        : Hard(ZoneFont(zone, dpi)), Smooth(Hard), Metrics(Hard, device) {
        Hard.setStyleStrategy(QFont::NoAntialias);
        // Grey smoothing only: coloured subpixel fringes would not suit a window without its own
        // background, and the same text looks alike in both modes.
        Smooth.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    }
};

// Whether no pixel of `area` is the key colour; pixels outside the image do not count.
bool NoKeyUnder(const QImage& image, const QRect& area) {
    const QRect clipped = area.intersected(image.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            if ((row[x] | 0xFF000000) == kKeyColor) {
                return false;
            }
        }
    }
    return true;
}

// `surface` is the image painted on: it decides the smoothing (see SurfaceStyle). The effects lie
// `line` device pixels off the text (one at 96 dpi).
void PaintText(QPainter& painter, const QString& text, const TSettings& zone, const TZoneFont& font, int x,
               int y, bool centred, const QImage& surface, int line) {
    const int advance = font.Metrics.horizontalAdvance(text);
    if (centred) {
        x -= advance / 2;
    }
    const bool effect = zone.Outline || zone.Shadow;
    const bool translucent = surface.hasAlphaChannel();
    bool smooth = translucent;
    if (!translucent && !IsKeyColour(zone.TextColor) && !(effect && IsKeyColour(zone.EffectColor))) {
        // Where the ink reaches, with the effects' pixel and the smoothed edge around it.
        const int margin = effect ? 2 * line : 1;
        const QRect reach = font.Metrics.boundingRect(text)
                                .translated(x, y + font.Metrics.ascent())
                                .adjusted(-margin, -margin, margin, margin);
        smooth = NoKeyUnder(surface, reach);
    }
    painter.setFont(smooth ? font.Smooth : font.Hard);
    // The given point is the top of the line; Qt draws on the baseline.
    const int baseline = y + font.Metrics.ascent();
    const auto ink = [&](TColor color, int dx, int dy) {
        // On a translucent surface the key colour cuts a see-through hole, smoothed like any text.
        if (translucent && IsKeyColour(color)) {
            painter.setCompositionMode(QPainter::CompositionMode_Clear);
            painter.drawText(x + dx, baseline + dy, text);
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
            return;
        }
        painter.setPen(ToQColor(color));
        painter.drawText(x + dx, baseline + dy, text);
    };
    if (zone.Outline) {
        for (int d = 1; d <= line; ++d) {
            ink(zone.EffectColor, d, 0);
            ink(zone.EffectColor, 0, d);
            ink(zone.EffectColor, -d, 0);
            ink(zone.EffectColor, 0, -d);
        }
    } else if (zone.Shadow) {
        ink(zone.EffectColor, line, line);
    }
    ink(zone.TextColor, 0, 0);
}

void FillSpan(QPainter& painter, int x, int y, int width, int height, TColor color, bool translucent) {
    if (translucent && IsKeyColour(color)) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(x, y, width, height, Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        return;
    }
    painter.fillRect(x, y, width, height, ToQColor(color));
}

// Pixels left out at the start and end of the first and second row of a rounded box: the 6 by 6
// corner ellipse cuts two pixels from the outermost row and one from the next. At more dpi each row
// and each pixel of it is `line` device pixels.
constexpr int kCornerInset[2] = {2, 1};

// The box is drawn span by span rather than with the painter's shape routines so the pixels are exact
// and the same on every platform: the outline is the outermost `line` pixels of the shape on every side.
void PaintFrame(QPainter& painter, const TSettings& zone, const QRect& box, int line, bool translucent) {
    const int width = box.width();
    const int height = box.height();
    if (width <= 0 || height <= 0) {
        return;
    }
    const TColor pen = zone.Frame ? zone.FrameColor : zone.BackColor;
    const TColor fill = zone.BackColor;
    auto edgeRow = [&](int row) { return std::min(row, height - 1 - row) < line; };
    auto inset = [&](int row) {
        const int step = std::min(row, height - 1 - row) / line;
        return zone.RoundCorners && step < 2 ? std::min(kCornerInset[step] * line, (width - 1) / 2) : 0;
    };
    for (int row = 0; row < height;) {
        const int x0 = box.left() + inset(row);
        const int x1 = box.right() - inset(row); // inclusive
        const int spanWidth = x1 - x0 + 1;
        // Rows of the same kind and width are painted as one band.
        int rows = 1;
        while (row + rows < height && edgeRow(row + rows) == edgeRow(row) &&
               inset(row + rows) == inset(row)) {
            ++rows;
        }
        const int y = box.top() + row;
        if (edgeRow(row)) {
            FillSpan(painter, x0, y, spanWidth, rows, pen, translucent);
        } else {
            const int side = std::min(line, spanWidth);
            FillSpan(painter, x0, y, side, rows, pen, translucent);
            FillSpan(painter, x1 - side + 1, y, side, rows, pen, translucent);
            if (zone.BackSolid && spanWidth > 2 * line) {
                FillSpan(painter, x0 + line, y, spanWidth - 2 * line, rows, fill, translucent);
            }
        }
        row += rows;
    }
}

bool PaintsBox(const TSettings& zone) {
    return zone.BackSolid || zone.Frame;
}

void AppendRun(std::vector<QRect>& rects, int y, int x0, int x1) {
    rects.emplace_back(x0, y, x1 - x0, 1);
}

bool Shows(QRgb pixel) {
    return qAlpha(pixel) != 0 && (pixel | 0xFF000000) != kKeyColor;
}

} // namespace

QColor ToQColor(TColor color) {
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

QFont ZoneFont(const TSettings& zone, int dpi) {
    QFont font = WindowFont(dpi);
    font.setFamily(TextToQString(zone.FontName));
    if (zone.FontSize > 0) {
        font.setPixelSize(PointsToPixels(zone.FontSize, dpi));
    }
    font.setBold((zone.TextStyle & fsBold) != 0);
    font.setItalic((zone.TextStyle & fsItalic) != 0);
    font.setUnderline((zone.TextStyle & fsUnderline) != 0);
    font.setStrikeOut((zone.TextStyle & fsStrikeOut) != 0);
    return font;
}

void DrawCalendar(QImage& buffer, const TMonthModel& model, const TScheme* scheme,
                  const SurfaceStyle& style) {
    const int width = std::max(model.CalendarWidth, 0);
    const int height = std::max(model.CalendarHeight, 0);
    const QImage::Format format =
        style.Translucent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (buffer.width() != width || buffer.height() != height || buffer.format() != format) {
        buffer = QImage(width, height, format);
        SetSurfaceResolution(buffer);
    }
    buffer.fill(style.Translucent ? 0u : kKeyColor);
    if (scheme == nullptr || buffer.isNull()) {
        return;
    }
    QPainter painter(&buffer);
    painter.setRenderHint(QPainter::Antialiasing, false);
    std::array<std::unique_ptr<TZoneFont>, kZoneCount> fonts;
    auto fontOf = [&](int zone) -> const TZoneFont& {
        if (!fonts[zone]) {
            fonts[zone] = std::make_unique<TZoneFont>(scheme->Settings[zone], &buffer, style.Dpi);
        }
        return *fonts[zone];
    };
    const int line = static_cast<int>(ScaledPixels(1, style.Dpi));
    for (const TCalendarBox& box : model.Boxes) {
        const TSettings& zone = scheme->Settings[box.Zone];
        if (box.Kind != TBoxKind::MemoLine && PaintsBox(zone)) {
            PaintFrame(painter, zone, QRect(QPoint(box.Left, box.Top), QPoint(box.Right - 1, box.Bottom - 1)),
                       line, style.Translucent);
        }
        if (box.Kind == TBoxKind::Calendar || box.Kind == TBoxKind::Memo || box.Text.empty()) {
            continue;
        }
        QString text = TextToQString(box.Text);
        const TZoneFont& font = fontOf(box.Zone);
        // A line of today's memo longer than its box ends in "…" rather than at the box's edge.
        if (box.Kind == TBoxKind::MemoLine && box.Right > box.Left) {
            text =
                font.Metrics.elidedText(text, Qt::ElideRight, std::max(0, box.Right - box.TextX - 2 * line));
        }
        PaintText(painter, text, zone, font, box.TextX, box.TextY, box.Centred, buffer, line);
    }
}

QRegion OpaqueRegion(const QImage& source) {
    const QImage::Format format = source.format();
    const QImage image =
        format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
                format == QImage::Format_ARGB32_Premultiplied
            ? source
            : source.convertToFormat(source.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                              : QImage::Format_RGB32);
    // Runs of each row; a row whose runs repeat the row above widens that band instead of starting one,
    // which keeps the region in the banded form QRegion wants without any merging on its side.
    std::vector<QRect> rects;
    std::vector<std::pair<int, int>> previous;
    std::vector<std::pair<int, int>> current;
    size_t bandStart = 0;
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        // A row like the one above has its runs (memcmp reads far faster than the runs are found).
        if (y > 0 &&
            std::memcmp(row, image.constScanLine(y - 1), static_cast<size_t>(width) * sizeof(QRgb)) == 0) {
            for (size_t i = bandStart; i < rects.size(); ++i) {
                rects[i].setHeight(rects[i].height() + 1);
            }
            continue;
        }
        current.clear();
        for (int x = 0; x < width;) {
            while (x < width && !Shows(row[x])) {
                ++x;
            }
            const int start = x;
            while (x < width && Shows(row[x])) {
                ++x;
            }
            if (x > start) {
                current.emplace_back(start, x);
            }
        }
        if (!current.empty() && current == previous) {
            for (size_t i = bandStart; i < rects.size(); ++i) {
                rects[i].setHeight(rects[i].height() + 1);
            }
        } else {
            bandStart = rects.size();
            for (const auto& [x0, x1] : current) {
                AppendRun(rects, y, x0, x1);
            }
        }
        previous.swap(current);
    }
    QRegion region;
    if (!rects.empty()) {
        region.setRects(rects.data(), static_cast<int>(rects.size()));
    }
    return region;
}

} // namespace kestrivel
