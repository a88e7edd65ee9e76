#include "app/CalendarPainter.h"

#include "app/QtPlatform.h"

#include <QFontMetrics>
#include <QPainter>

#include <array>
#include <vector>

namespace kestrivel {

namespace {

// A zone's font and its metrics, made once per redraw and shared by all of the zone's texts.
struct TZoneFont {
    QFont Font;
    QFontMetrics Metrics;
    explicit TZoneFont(const TSettings& zone, const QPaintDevice* device)
        : Font(ZoneFont(zone)), Metrics(Font, device) {}
};

void PaintText(QPainter& painter, const QString& text, const TSettings& zone, const TZoneFont& font, int x,
               int y, bool centred) {
    painter.setFont(font.Font);
    if (centred) {
        x -= font.Metrics.horizontalAdvance(text) / 2;
    }
    // The given point is the top of the line; Qt draws on the baseline.
    const int baseline = y + font.Metrics.ascent();
    painter.setPen(ToQColor(zone.EffectColor));
    if (zone.Outline) {
        painter.drawText(x + 1, baseline, text);
        painter.drawText(x, baseline + 1, text);
        painter.drawText(x - 1, baseline, text);
        painter.drawText(x, baseline - 1, text);
    } else if (zone.Shadow) {
        painter.drawText(x + 1, baseline + 1, text);
    }
    painter.setPen(ToQColor(zone.TextColor));
    painter.drawText(x, baseline, text);
}

// Pixels left out at the start and end of the first and second row of a rounded box: the 6 by 6
// corner ellipse cuts two pixels from the outermost row and one from the next.
constexpr int kCornerInset[2] = {2, 1};

// The box is drawn span by span rather than with the painter's shape routines so the pixels are exact
// and the same on every platform: the outline is the outermost pixel of the shape on every side.
void PaintFrame(QPainter& painter, const TSettings& zone, int left, int top, int right, int bottom) {
    const int width = right - left;
    const int height = bottom - top;
    if (width <= 0 || height <= 0) {
        return;
    }
    const QColor pen = ToQColor(zone.Frame ? zone.FrameColor : zone.BackColor);
    const QColor fill = ToQColor(zone.BackColor);
    auto inset = [&](int row) {
        if (!zone.RoundCorners) {
            return 0;
        }
        const int fromEdge = std::min(row, height - 1 - row);
        return fromEdge < 2 ? std::min(kCornerInset[fromEdge], (width - 1) / 2) : 0;
    };
    for (int row = 0; row < height;) {
        const int x0 = left + inset(row);
        const int x1 = right - 1 - inset(row); // inclusive
        const int spanWidth = x1 - x0 + 1;
        if (row == 0 || row == height - 1) {
            painter.fillRect(x0, top + row, spanWidth, 1, pen);
            ++row;
            continue;
        }
        // Inner rows of the same width are painted as one band: the two side pixels and the fill.
        int rows = 1;
        while (row + rows < height - 1 && inset(row + rows) == inset(row)) {
            ++rows;
        }
        const int y = top + row;
        painter.fillRect(x0, y, 1, rows, pen);
        painter.fillRect(x1, y, 1, rows, pen);
        if (zone.BackSolid && spanWidth > 2) {
            painter.fillRect(x0 + 1, y, spanWidth - 2, rows, fill);
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

} // namespace

QColor ToQColor(TColor color) {
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

QFont ZoneFont(const TSettings& zone) {
    QFont font = WindowFont();
    font.setFamily(TextToQString(zone.FontName));
    if (zone.FontSize > 0) {
        font.setPixelSize(PointsToPixels(zone.FontSize));
    }
    font.setBold((zone.TextStyle & fsBold) != 0);
    font.setItalic((zone.TextStyle & fsItalic) != 0);
    font.setUnderline((zone.TextStyle & fsUnderline) != 0);
    font.setStrikeOut((zone.TextStyle & fsStrikeOut) != 0);
    // Smoothed glyph edges over the key colour would blend with it and leave a fuchsia rim around
    // every text wherever the desktop shows through; whole pixels keep the outline clean.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

void DrawFrame(QPainter* painter, const TSettings& zone, int left, int top, int right, int bottom) {
    if (painter == nullptr || !painter->isActive()) {
        return;
    }
    PaintFrame(*painter, zone, left, top, right, bottom);
}

void DrawText(QPainter* painter, const std::string& text, const TSettings& zone, int x, int y, bool centred) {
    if (painter == nullptr || !painter->isActive()) {
        return;
    }
    const TZoneFont font(zone, painter->device());
    PaintText(*painter, TextToQString(text), zone, font, x, y, centred);
}

void DrawCalendar(QImage& buffer, const TMonthModel& model, const TScheme* scheme) {
    const int width = std::max(model.CalendarWidth, 0);
    const int height = std::max(model.CalendarHeight, 0);
    if (buffer.width() != width || buffer.height() != height || buffer.format() != QImage::Format_RGB32) {
        buffer = QImage(width, height, QImage::Format_RGB32);
        SetSurfaceResolution(buffer);
    }
    buffer.fill(kKeyColor);
    if (scheme == nullptr || buffer.isNull()) {
        return;
    }
    QPainter painter(&buffer);
    painter.setRenderHint(QPainter::Antialiasing, false);
    std::array<std::unique_ptr<TZoneFont>, kZoneCount> fonts;
    auto fontOf = [&](int zone) -> const TZoneFont& {
        if (!fonts[zone]) {
            fonts[zone] = std::make_unique<TZoneFont>(scheme->Settings[zone], &buffer);
        }
        return *fonts[zone];
    };
    for (const TCalendarBox& box : model.Boxes) {
        const TSettings& zone = scheme->Settings[box.Zone];
        if (box.Kind != TBoxKind::MemoLine && PaintsBox(zone)) {
            PaintFrame(painter, zone, box.Left, box.Top, box.Right, box.Bottom);
        }
        if (box.Kind != TBoxKind::Calendar && box.Kind != TBoxKind::Memo && !box.Text.empty()) {
            PaintText(painter, TextToQString(box.Text), zone, fontOf(box.Zone), box.TextX, box.TextY,
                      box.Centred);
        }
    }
}

QRegion OpaqueRegion(const QImage& source) {
    const QImage image = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
                             ? source
                             : source.convertToFormat(QImage::Format_RGB32);
    // Runs of each row; a row whose runs repeat the row above widens that band instead of starting one,
    // which keeps the region in the banded form QRegion wants without any merging on its side.
    std::vector<QRect> rects;
    std::vector<std::pair<int, int>> previous;
    std::vector<std::pair<int, int>> current;
    size_t bandStart = 0;
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        current.clear();
        for (int x = 0; x < width;) {
            while (x < width && (row[x] | 0xFF000000) == kKeyColor) {
                ++x;
            }
            const int start = x;
            while (x < width && (row[x] | 0xFF000000) != kKeyColor) {
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
