#include "calendar/CalendarCursor.h"

#include "calendar/CalendarPainter.h"
#include "schemes/ColourContrast.h"

#include <QPainter>

#include <algorithm>

namespace kestrivel {

void DrawDayCursor(QImage& buffer, const TMonthModel& model, int day, const TScheme& scheme, int dpi) {
    const auto it = std::find_if(model.Boxes.begin(), model.Boxes.end(), [day](const TCalendarBox& b) {
        return b.Kind == TBoxKind::Day && b.Day == day;
    });
    if (it == model.Boxes.end() || buffer.isNull()) {
        return;
    }
    const QRect box(QPoint(it->Left, it->Top), QPoint(it->Right - 1, it->Bottom - 1));
    const int width =
        std::min({static_cast<int>(ScaledPixels(kCursorRingWidth, dpi)), box.width() / 2, box.height() / 2});
    if (width <= 0) {
        return;
    }
    // The ring reaches into the gap around the box, up to half of it so that it never touches the
    // neighbours, and keeps the rest of its width inside: the digits keep their room where it can.
    const int outside = std::clamp(model.DaySpacing / 2, 0, width);
    const QRect cell = box.adjusted(-outside, -outside, outside, outside);
    const TCursorColours colours = DayCursorColours(scheme, it->Zone);
    QPainter painter(&buffer);
    // Bands of one pixel from the outside in, square at the corners: the ring covers the corners a
    // round box leaves see-through, so it shows whole wherever the box lies.
    for (int band = 0; band < width; ++band) {
        const QColor colour = ToQColor(band < (width + 1) / 2 ? colours.Outer : colours.Inner);
        const QRect ring = cell.adjusted(band, band, -band, -band);
        painter.fillRect(ring.left(), ring.top(), ring.width(), 1, colour);
        painter.fillRect(ring.left(), ring.bottom(), ring.width(), 1, colour);
        painter.fillRect(ring.left(), ring.top() + 1, 1, ring.height() - 2, colour);
        painter.fillRect(ring.right(), ring.top() + 1, 1, ring.height() - 2, colour);
    }
}

} // namespace kestrivel
