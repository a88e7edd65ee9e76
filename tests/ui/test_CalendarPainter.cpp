#include "calendar/CalendarPainter.h"
#include "calendar/MonthModel.h"
#include "base/QtPlatform.h"
#include "common/DateFormat.h"
#include "memos/UnitMemo.h"
#include "schemes/UnitSchemes.h"

#include <QFontMetrics>
#include <QtTest>

using namespace kestrivel;

namespace {

constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;
constexpr TColor kWhite = 0xFFFFFF;
constexpr TColor kBlack = 0x000000;
constexpr TColor kKey = 0xFF00FF; // fuchsia as a scheme colour

QImage KeyImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    SetSurfaceResolution(image);
    image.fill(kKeyColor);
    return image;
}

bool IsKey(const QImage& image, int x, int y) {
    return image.pixel(x, y) == kKeyColor;
}

QRgb Rgb(TColor color) {
    return ToQColor(color).rgb();
}

// A calendar made by hand: every box and text gets a zone of its own, so one picture holds
// differently styled boxes and texts, and DrawCalendar paints them exactly as it paints a month.
class HandMade {
public:
    HandMade(int width, int height) {
        m_model.CalendarWidth = width;
        m_model.CalendarHeight = height;
    }
    // A box without text, as the calendar's own box is.
    void Box(const TSettings& zone, int left, int top, int right, int bottom) {
        TCalendarBox box;
        box.Kind = TBoxKind::Calendar;
        box.Zone = addZone(zone);
        box.Left = left;
        box.Top = top;
        box.Right = right;
        box.Bottom = bottom;
        m_model.Boxes.push_back(box);
    }
    // A text without a box, as a memo line is.
    void Text(const TSettings& zone, const std::string& text, int x, int y, bool centred = false) {
        TCalendarBox box;
        box.Kind = TBoxKind::MemoLine;
        box.Zone = addZone(zone);
        box.Text = text;
        box.TextX = x;
        box.TextY = y;
        box.Centred = centred;
        m_model.Boxes.push_back(box);
    }
    QImage Draw() const {
        QImage buffer;
        DrawCalendar(buffer, m_model, &m_scheme);
        return buffer;
    }

private:
    int addZone(const TSettings& zone) {
        if (m_zones == kZoneCount) {
            qFatal("a hand-made calendar holds at most %d styles", kZoneCount);
        }
        m_scheme.Settings[m_zones] = zone;
        return m_zones++;
    }

    TMonthModel m_model;
    TScheme m_scheme;
    int m_zones = 0;
};

} // namespace

class TestCalendarPainter : public QObject {
    Q_OBJECT

    TScheme scheme;
    TOptions options;
    TMemoList memos;
    TLocaleFormats formats;
    QtTextMeasurer measurer;

    TMonthModel Generate(int y = 2021, int m = 2, int d = 15) {
        TMonthInputs in;
        in.TodayYear = y;
        in.TodayMonth = m;
        in.TodayDay = d;
        in.Options = &options;
        in.Scheme = &scheme;
        in.Memos = &memos;
        in.Formats = &formats;
        in.Measurer = &measurer;
        TMonthModel model;
        if (!GenerateData(in, model)) {
            qFatal("GenerateData failed");
        }
        return model;
    }

    // White digits in a small bold font with a black effect.
    static TSettings EffectZone() {
        TSettings zone = DefaultScheme().Settings[zoneDays];
        zone.FontSize = 8;
        zone.TextStyle = fsBold;
        zone.TextColor = kWhite;
        zone.EffectColor = kBlack;
        return zone;
    }
    static QImage DrawOnce(const TSettings& zone, int x, int y) { return DrawAlone(zone, "28", x, y); }
    // What the effect should give: the text drawn alone in the effect colour at each offset, then
    // alone in the text colour at the point itself.
    static QImage Compose(const TSettings& zone, int x, int y, const std::vector<QPoint>& offsets) {
        TSettings plain = zone;
        plain.Outline = false;
        plain.Shadow = false;
        HandMade calendar(60, 40);
        TSettings effect = plain;
        effect.TextColor = zone.EffectColor;
        for (const QPoint& o : offsets) {
            calendar.Text(effect, "28", x + o.x(), y + o.y());
        }
        calendar.Text(plain, "28", x, y);
        return calendar.Draw();
    }
    static QRect InkBounds(const QImage& image) {
        QRect bounds;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (!IsKey(image, x, y)) {
                    bounds |= QRect(x, y, 1, 1);
                }
            }
        }
        return bounds;
    }
    // Pixels the effect changed against the text drawn alone.
    static int EffectPixels(const QImage& image) {
        const QImage alone = Compose(EffectZone(), 20, 10, {});
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                count += image.pixel(x, y) != alone.pixel(x, y) ? 1 : 0;
            }
        }
        return count;
    }
    static QImage DrawAlone(const TSettings& zone, const std::string& text, int x, int y) {
        HandMade calendar(60, 40);
        calendar.Text(zone, text, x, y);
        return calendar.Draw();
    }
    // One box covering left..right-1 and top..bottom-1 on a calendar of the given size.
    static QImage DrawBox(const TSettings& zone, QSize size, int left, int top, int right, int bottom) {
        HandMade calendar(size.width(), size.height());
        calendar.Box(zone, left, top, right, bottom);
        return calendar.Draw();
    }

private slots:
    void init() {
        scheme = DefaultScheme();
        options = TOptions();
        options.ShowWeekNumbers = false;
        options.ShowWeekdays = true;
        memos.Clear();
    }

    void keyColourWhereNothingIsPainted() {
        const TMonthModel model = Generate();
        QImage buffer;
        DrawCalendar(buffer, model, &scheme);
        QCOMPARE(buffer.width(), model.CalendarWidth);
        QCOMPARE(buffer.height(), model.CalendarHeight);
        QVERIFY(IsKey(buffer, 0, 0));
        QVERIFY(IsKey(buffer, buffer.width() - 1, buffer.height() - 1));
        // Every painted pixel lies inside a box that carries a text: only the texts show.
        int painted = 0;
        for (int y = 0; y < buffer.height(); ++y) {
            for (int x = 0; x < buffer.width(); ++x) {
                if (IsKey(buffer, x, y)) {
                    continue;
                }
                ++painted;
                bool inTextBox = false;
                for (const TCalendarBox& box : model.Boxes) {
                    if (!box.Text.empty() && box.Kind != TBoxKind::Calendar && x >= box.Left &&
                        x < box.Right && y >= box.Top && y < box.Bottom) {
                        inTextBox = true;
                    }
                }
                QVERIFY2(inTextBox, qPrintable(QStringLiteral("stray pixel at %1,%2").arg(x).arg(y)));
            }
        }
        QVERIFY(painted > 100);
        // The blank boxes before 1 February 2021 (a Monday) do not exist; those after the 28th stay key.
        const TCalendarBox& last = model.Boxes.back();
        QCOMPARE(last.Day, 28);
        for (int x = last.Right; x < buffer.width(); ++x) {
            QVERIFY(IsKey(buffer, x, last.Top + 5));
        }
    }

    // Texts over the see-through key colour must not blend into it: every painted pixel of the
    // default look is the text colour itself, so no fuchsia rim shows on the desktop.
    void textOverKeyColourHasNoBlendedEdges() {
        scheme.Settings[zoneTitle].TextColor = kWhite;
        scheme.Settings[zoneDays].TextColor = kWhite;
        const TMonthModel model = Generate();
        QImage buffer;
        DrawCalendar(buffer, model, &scheme);
        for (int y = 0; y < buffer.height(); ++y) {
            for (int x = 0; x < buffer.width(); ++x) {
                const QRgb p = buffer.pixel(x, y);
                QVERIFY2(IsKey(buffer, x, y) || p == qRgb(0, 0, 0) || p == qRgb(255, 255, 255),
                         qPrintable(QStringLiteral("blended pixel at %1,%2").arg(x).arg(y)));
            }
        }
    }

    // Text on solid boxes is smoothed into them; text straight over the key colour keeps hard edges
    // on the mask and is smoothed into transparency when translucent. Every scheme colour here has
    // red equal to green and the key has not, so a pixel mixed with the key would break that.
    void smoothingNeverMixesWithTheKey_data() {
        QTest::addColumn<bool>("translucent");
        QTest::newRow("mask") << false;
        QTest::newRow("translucent") << true;
    }
    void smoothingNeverMixesWithTheKey() {
        QFETCH(bool, translucent);
        for (const int zone : {int(zoneTitle), int(zoneToday)}) {
            scheme.Settings[zone].BackSolid = true;
            scheme.Settings[zone].BackColor = kBlue;
            scheme.Settings[zone].TextColor = kWhite;
            scheme.Settings[zone].TextStyle = fsItalic;
        }
        scheme.Settings[zoneDays].TextColor = kWhite;
        scheme.Settings[zoneDays].Outline = true;
        scheme.Settings[zoneDays].EffectColor = kBlack;
        const TMonthModel model = Generate();
        QImage buffer;
        DrawCalendar(buffer, model, &scheme, {translucent, kSurfaceDpi});
        QCOMPARE(buffer.hasAlphaChannel(), translucent);
        int blended = 0;
        int partlyTransparent = 0;
        for (int y = 0; y < buffer.height(); ++y) {
            for (int x = 0; x < buffer.width(); ++x) {
                const QRgb p = buffer.pixel(x, y);
                if (translucent ? qAlpha(p) == 0 : p == kKeyColor) {
                    continue;
                }
                const QString where = QStringLiteral("%1,%2").arg(x).arg(y);
                QVERIFY2(std::abs(qRed(p) - qGreen(p)) <= 1,
                         qPrintable(QStringLiteral("key mixed in at ") + where));
                partlyTransparent += qAlpha(p) < 255 ? 1 : 0;
                if (p == Rgb(kWhite) || p == Rgb(kBlack) || p == Rgb(kBlue)) {
                    continue;
                }
                ++blended;
                bool onSolid = false;
                for (const TCalendarBox& box : model.Boxes) {
                    onSolid = onSolid || (scheme.Settings[box.Zone].BackSolid && x >= box.Left &&
                                          x < box.Right && y >= box.Top && y < box.Bottom);
                }
                QVERIFY2(translucent || onSolid,
                         qPrintable(QStringLiteral("smoothed over the key at ") + where));
            }
        }
        QVERIFY(blended > 50);
        QCOMPARE(partlyTransparent > 50, translucent);
    }

    void noSchemePaintsNothing() {
        const TMonthModel model = Generate();
        QImage buffer;
        DrawCalendar(buffer, model, nullptr);
        QCOMPARE(buffer.size(), QSize(model.CalendarWidth, model.CalendarHeight));
        QVERIFY(OpaqueRegion(buffer).isEmpty());
    }

    void frameOnlyBoxIsHollow() {
        TSettings zone;
        zone.Frame = true;
        zone.FrameColor = kRed;
        zone.BackColor = kBlue;
        const QImage image = DrawBox(zone, {20, 12}, 2, 1, 15, 10);
        for (int x = 2; x <= 14; ++x) {
            QCOMPARE(image.pixel(x, 1), Rgb(kRed));
            QCOMPARE(image.pixel(x, 9), Rgb(kRed));
            QVERIFY(IsKey(image, x, 10));
            QVERIFY(IsKey(image, x, 0));
        }
        for (int y = 1; y <= 9; ++y) {
            QCOMPARE(image.pixel(2, y), Rgb(kRed));
            QCOMPARE(image.pixel(14, y), Rgb(kRed));
            QVERIFY(IsKey(image, 15, y));
            QVERIFY(IsKey(image, 1, y));
        }
        for (int y = 2; y <= 8; ++y) {
            for (int x = 3; x <= 13; ++x) {
                QVERIFY(IsKey(image, x, y));
            }
        }
    }

    void filledBoxWithoutFrameIsOutlinedInItsFill() {
        TSettings zone;
        zone.BackSolid = true;
        zone.BackColor = kBlue;
        zone.FrameColor = kRed; // not used without Frame
        const QImage image = DrawBox(zone, {12, 12}, 1, 2, 11, 9);
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 12; ++x) {
                const bool inside = x >= 1 && x < 11 && y >= 2 && y < 9;
                QCOMPARE(image.pixel(x, y), inside ? Rgb(kBlue) : kKeyColor);
            }
        }
    }

    void roundCornersLeaveTheCornerPixelsTransparent() {
        TSettings zone;
        zone.BackSolid = true;
        zone.BackColor = kBlue;
        zone.Frame = true;
        zone.FrameColor = kRed;
        zone.RoundCorners = true;
        QImage image = DrawBox(zone, {30, 20}, 0, 0, 30, 20);
        for (const QPoint corner : {QPoint(0, 0), QPoint(29, 0), QPoint(0, 19), QPoint(29, 19)}) {
            QVERIFY2(IsKey(image, corner.x(), corner.y()),
                     qPrintable(QStringLiteral("corner %1,%2").arg(corner.x()).arg(corner.y())));
        }
        // Straight edges away from the corners are the frame, the middle is the fill.
        QCOMPARE(image.pixel(15, 0), Rgb(kRed));
        QCOMPARE(image.pixel(15, 19), Rgb(kRed));
        QCOMPARE(image.pixel(0, 10), Rgb(kRed));
        QCOMPARE(image.pixel(29, 10), Rgb(kRed));
        QCOMPARE(image.pixel(15, 10), Rgb(kBlue));
        // The 6 by 6 corner ellipse: two pixels off the outermost row and column, one off the next.
        const char* corner[] = {"..F", ".Fb", "Fbb"};
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 3; ++x) {
                const QRgb expected = corner[y][x] == '.'   ? kKeyColor
                                      : corner[y][x] == 'F' ? Rgb(kRed)
                                                            : Rgb(kBlue);
                QCOMPARE(image.pixel(x, y), expected);
                QCOMPARE(image.pixel(29 - x, 19 - y), expected); // the opposite corner mirrors it
                QCOMPARE(image.pixel(29 - x, y), expected);
                QCOMPARE(image.pixel(x, 19 - y), expected);
            }
        }
        // Without fill the rounded box stays hollow.
        zone.BackSolid = false;
        image = DrawBox(zone, {30, 20}, 0, 0, 30, 20);
        QVERIFY(IsKey(image, 2, 2));
        QVERIFY(IsKey(image, 15, 10));
        QCOMPARE(image.pixel(1, 1), Rgb(kRed));
        zone.BackSolid = true;
        // Square corners paint the corner pixel.
        zone.RoundCorners = false;
        image = DrawBox(zone, {30, 20}, 0, 0, 30, 20);
        QCOMPARE(image.pixel(0, 0), Rgb(kRed));
        QCOMPARE(image.pixel(29, 19), Rgb(kRed));
    }

    void roundedCalendarBoxKeepsItsCornersSeeThrough() {
        scheme.Settings[zoneCalendar].BackSolid = true;
        scheme.Settings[zoneCalendar].RoundCorners = true;
        scheme.Settings[zoneCalendar].BackColor = kWhite;
        scheme.Settings[zoneCalendar].Padding = 4;
        const TMonthModel model = Generate();
        QImage buffer;
        DrawCalendar(buffer, model, &scheme);
        const QRegion region = OpaqueRegion(buffer);
        QVERIFY(!region.contains(QPoint(0, 0)));
        QVERIFY(!region.contains(QPoint(buffer.width() - 1, buffer.height() - 1)));
        QVERIFY(region.contains(QPoint(buffer.width() / 2, 1)));
        QCOMPARE(buffer.pixel(2, buffer.height() / 2), Rgb(kWhite));
    }

    void keyColouredZoneIsSeeThrough_data() { smoothingNeverMixesWithTheKey_data(); }
    void keyColouredZoneIsSeeThrough() {
        QFETCH(bool, translucent);
        scheme.Settings[zoneDays].BackSolid = true;
        scheme.Settings[zoneDays].BackColor = kKey;
        scheme.Settings[zoneDays].TextColor = kKey;
        scheme.Settings[zoneDays].FontSize = 8;
        const TMonthModel model = Generate();
        QImage buffer;
        DrawCalendar(buffer, model, &scheme, {translucent, kSurfaceDpi});
        const QRegion region = OpaqueRegion(buffer);
        for (const TCalendarBox& box : model.Boxes) {
            if (box.Kind == TBoxKind::Day && box.Zone == zoneDays) {
                QCOMPARE(qAlpha(buffer.pixel(box.Left + 1, box.Top + 1)), translucent ? 0 : 255);
                QVERIFY(!region.contains(QPoint(box.Left, box.Top)));
                QVERIFY(!region.contains(QPoint(box.Right - 1, box.Top + 1)));
            }
        }
    }

    void outlineRimsTheTextOnAllFourSides() {
        TSettings zone = EffectZone();
        zone.Outline = true;
        zone.Shadow = true; // the outline wins
        const QImage drawn = DrawOnce(zone, 20, 10);
        const QImage expected = Compose(zone, 20, 10, {{1, 0}, {0, 1}, {-1, 0}, {0, -1}});
        QCOMPARE(drawn, expected);
        // Each offset matters: leaving out any one of them changes the picture.
        QVERIFY(drawn != Compose(zone, 20, 10, {{1, 0}, {0, 1}, {-1, 0}}));
        QVERIFY(drawn != Compose(zone, 20, 10, {{0, 1}, {-1, 0}, {0, -1}}));
        QVERIFY(drawn != Compose(zone, 20, 10, {{1, 1}}));
        // A rim shows beyond the text on all four sides.
        const QRect ink = InkBounds(Compose(zone, 20, 10, {}));
        const QRect rimmed = InkBounds(drawn);
        QCOMPARE(rimmed, ink.adjusted(-1, -1, 1, 1));
        QVERIFY(EffectPixels(drawn) > 20);
    }

    void shadowIsOneRightAndOneDown() {
        TSettings zone = EffectZone();
        zone.Shadow = true;
        const QImage drawn = DrawOnce(zone, 20, 10);
        QCOMPARE(drawn, Compose(zone, 20, 10, {{1, 1}}));
        QVERIFY(drawn != Compose(zone, 20, 10, {{1, 0}}));
        const QRect ink = InkBounds(Compose(zone, 20, 10, {}));
        QCOMPARE(InkBounds(drawn), ink.adjusted(0, 0, 1, 1));
        QVERIFY(EffectPixels(drawn) > 5);
    }

    void plainTextHasNoEffect() {
        TSettings zone = EffectZone();
        const QImage drawn = DrawOnce(zone, 20, 10);
        QCOMPARE(drawn, Compose(zone, 20, 10, {}));
        QCOMPARE(EffectPixels(drawn), 0);
    }

    void centringMovesLeftByHalfTheWidth() {
        TSettings zone = DefaultScheme().Settings[zoneDays];
        zone.TextColor = kWhite;
        const QImage left = DrawAlone(zone, "88", 10, 5);
        const QImage surface = KeyImage(60, 40);
        const int width = QFontMetrics(ZoneFont(zone), &surface).horizontalAdvance(QStringLiteral("88"));
        HandMade centred(60, 40);
        centred.Text(zone, "88", 10 + width / 2, 5, true);
        QCOMPARE(centred.Draw(), left);
    }

    void textStyleBitsReachTheFont() {
        TSettings zone;
        zone.FontName = "Arial";
        zone.FontSize = 10;
        zone.TextStyle = fsBold | fsItalic | fsUnderline | fsStrikeOut;
        const QFont all = ZoneFont(zone);
        QVERIFY(all.bold() && all.italic() && all.underline() && all.strikeOut());
        QCOMPARE(all.pixelSize(), 13);
        zone.TextStyle = 0;
        const QFont none = ZoneFont(zone);
        QVERIFY(!none.bold() && !none.italic() && !none.underline() && !none.strikeOut());
        QCOMPARE(PointsToPixels(12), 16);
        QCOMPARE(PointsToPixels(8), 11);
        // At a scaled screen's resolution the 96-dpi size is scaled: 10 pt at 192 dpi is 2 x 13
        // pixels, 9 pt at 144 dpi 1.5 x 12.
        QCOMPARE(ZoneFont(zone, 192).pixelSize(), 26);
        QCOMPARE(PointsToPixels(9, 144), 18);
        QCOMPARE(WindowFont(144).pixelSize(), 20); // 13 pixels at 96 dpi, 19.5 at 144
    }

    void paddingGrowsDayBoxesAndKeepsDigitsTwoBelowTheTop() {
        scheme.Settings[zoneDays].BackSolid = true;
        scheme.Settings[zoneDays].BackColor = kWhite;
        scheme.Settings[zoneDays].TextColor = kBlack;
        scheme.Settings[zoneDays].Spacing = 2;
        auto measure = [this](int padding, int& boxWidth, int& boxHeight, int& inkOffset) {
            scheme.Settings[zoneDays].Padding = static_cast<uint16_t>(padding);
            const TMonthModel model = Generate(2021, 2, 15);
            QImage buffer;
            DrawCalendar(buffer, model, &scheme);
            const TCalendarBox* day = nullptr;
            for (const TCalendarBox& box : model.Boxes) {
                if (box.Kind == TBoxKind::Day && box.Day == 16) {
                    day = &box;
                }
            }
            QVERIFY(day != nullptr);
            QCOMPARE(day->Zone, int(zoneDays));
            const int midY = day->Top + 1;
            int x0 = day->Left;
            while (x0 > 0 && buffer.pixel(x0 - 1, midY) == Rgb(kWhite)) {
                --x0;
            }
            int x1 = day->Left;
            while (x1 < buffer.width() && buffer.pixel(x1, midY) == Rgb(kWhite)) {
                ++x1;
            }
            int y1 = day->Top;
            while (y1 < buffer.height() && buffer.pixel(day->Left, y1) == Rgb(kWhite)) {
                ++y1;
            }
            QCOMPARE(x0, day->Left);
            boxWidth = x1 - x0;
            boxHeight = y1 - day->Top;
            inkOffset = -1;
            for (int y = day->Top; y < day->Bottom && inkOffset < 0; ++y) {
                for (int x = day->Left; x < day->Right; ++x) {
                    if (buffer.pixel(x, y) != Rgb(kWhite)) {
                        inkOffset = y - day->Top;
                        break;
                    }
                }
            }
        };
        int w0 = 0, h0 = 0, ink0 = 0, w3 = 0, h3 = 0, ink3 = 0;
        measure(0, w0, h0, ink0);
        measure(3, w3, h3, ink3);
        QCOMPARE(w3, w0 + 6);
        QCOMPARE(h3, h0 + 6);
        QVERIFY(ink0 >= 2);
        QCOMPARE(ink3, ink0);
    }

    // Digits sit 2 pixels below the top of their box whatever the padding, so any padding of the
    // day zone only widens the gap below them: a shipped tile keeps its digits in the middle.
    void shippedTilesHoldTheirDigitsInTheMiddle_data() {
        QTest::addColumn<QString>("file");
        for (const char* file : {"Paper", "Midnight", "Glass", "HighContrast"}) {
            QTest::newRow(file) << QString(file);
        }
    }
    void shippedTilesHoldTheirDigitsInTheMiddle() {
        QFETCH(QString, file);
        TSchemeList list;
        QVERIFY(list.ImportFromFile(std::string(KESTRIVEL_SOURCE_DIR) + "/schemes/" + file.toStdString() +
                                    ".dat"));
        scheme = *list.Get(0);
        const TMonthModel model = Generate(2021, 2, 18);
        QImage buffer;
        DrawCalendar(buffer, model, &scheme);
        int tiles = 0;
        for (const TCalendarBox& box : model.Boxes) {
            const TSettings& zone = scheme.Settings[box.Zone];
            if (box.Kind != TBoxKind::Day || !(zone.BackSolid || zone.Frame)) {
                continue;
            }
            // Ink: what is neither the tile's fill nor its rim, looked for away from the rounded corners.
            const QRgb fill = Rgb(zone.BackSolid ? zone.BackColor : scheme.Settings[zoneCalendar].BackColor);
            const QRgb rim = Rgb(zone.Frame ? zone.FrameColor : zone.BackColor);
            int first = -1, last = -1;
            for (int y = box.Top + 1; y < box.Bottom - 1; ++y) {
                for (int x = box.Left + 2; x < box.Right - 2; ++x) {
                    const QRgb pixel = buffer.pixel(x, y);
                    if (pixel != fill && pixel != rim) {
                        first = first < 0 ? y : first;
                        last = y;
                        break;
                    }
                }
            }
            QVERIFY2(first >= 0, qPrintable(QString("day %1 shows no digits").arg(box.Day)));
            const int above = first - box.Top;
            const int below = box.Bottom - 1 - last;
            QVERIFY2(std::abs(above - below) <= 1,
                     qPrintable(QString("day %1: %2 above, %3 below").arg(box.Day).arg(above).arg(below)));
            ++tiles;
        }
        QVERIFY(tiles > 0);
    }

    void wideTitleWidensTheWindowWithItsFrame() {
        options.DateFormat = "dddddd";
        scheme.Settings[zoneTitle].FontSize = 16;
        scheme.Settings[zoneTitle].BackSolid = true;
        scheme.Settings[zoneTitle].BackColor = kWhite;
        scheme.Settings[zoneTitle].Frame = true;
        scheme.Settings[zoneTitle].FrameColor = kRed;
        const TMonthModel model = Generate(2021, 9, 29); // "Wednesday 29 September 2021"
        QVERIFY(model.CalendarWidth == model.TitleWidth && model.TitleWidth > model.GridWidth);
        QImage buffer;
        DrawCalendar(buffer, model, &scheme);
        QCOMPARE(buffer.width(), model.CalendarWidth);
        const int right = buffer.width() - 1;
        for (int y = 0; y < model.TitleHeight; ++y) {
            QCOMPARE(buffer.pixel(right, y), Rgb(kRed)); // the title's right edge is whole
        }
        bool textNearTheEdge = false; // the text ends inside the box, which is no wider than it needs
        for (int y = 1; y < model.TitleHeight - 1; ++y) {
            QVERIFY(buffer.pixel(right - 1, y) == Rgb(kWhite));
            for (int x = right - 12; x < right - 2; ++x) {
                textNearTheEdge = textNearTheEdge || buffer.pixel(x, y) != Rgb(kWhite);
            }
        }
        QVERIFY(textNearTheEdge);
    }

    void memoLinesAreDrawnBelowTheGrid() {
        TDateValue today = 0;
        QVERIFY(TryEncodeDate(2021, 2, 15, today));
        QVERIFY(memos.Add("Hello;World", mtSingle, today));
        scheme.Settings[zoneTodaysMemo].TextColor = kRed;
        const TMonthModel model = Generate();
        QVERIFY(model.MemoHeight > 0);
        QImage buffer;
        DrawCalendar(buffer, model, &scheme);
        const int top = model.GridTop + model.GridHeight;
        int redRows = 0;
        for (int y = top; y < buffer.height(); ++y) {
            for (int x = 0; x < buffer.width(); ++x) {
                if (qRed(buffer.pixel(x, y)) > 200 && qBlue(buffer.pixel(x, y)) < 60) {
                    ++redRows;
                    break;
                }
            }
        }
        QVERIFY(redRows > 12); // two lines of text
        // The memo box without background or frame paints nothing of its own.
        QVERIFY(IsKey(buffer, buffer.width() - 1, buffer.height() - 1));
    }

    // A line longer than the memo box ends in an ellipsis short of the box's right edge, where the
    // text used to run on to the calendar's edge.
    void longMemoLinesEndInAnEllipsis() {
        QVERIFY(memos.Add(std::string(60, 'M'), mtSingle, 44242)); // 15 February 2021
        const TMonthModel model = Generate();
        QImage buffer;
        DrawCalendar(buffer, model, &scheme);
        const TCalendarBox& line = model.Boxes.back();
        const auto inked = [&](int from, int to) {
            const QRect area = QRect(from, line.Top, to - from, line.Bottom - line.Top) & buffer.rect();
            return !InkBounds(buffer.copy(area)).isEmpty();
        };
        QVERIFY(!inked(line.Right - 2, buffer.width()));
        QVERIFY(inked(line.Right - 24, line.Right - 2)); // the ellipsis
    }

    void regionHoldsExactlyThePixelsThatAreNotKey() {
        // Rows come in threes, and key rows follow shown ones, so runs repeated from the row above meet
        // every kind of row before and after them.
        QImage image = KeyImage(37, 69);
        for (int y = 0; y < image.height(); ++y) {
            const int r = y / 3;
            for (int x = 0; x < image.width(); ++x) {
                if (r % 4 != 3 && ((x * 7 + r * 13) % 5 == 0 || (r >= 5 && r < 9 && x > 3 && x < 30))) {
                    image.setPixel(x, y, qRgb(255, (x + r) % 2, 255)); // one step from the key
                }
            }
        }
        image.setPixel(36, 68, qRgb(0, 0, 0));
        const QRegion region = OpaqueRegion(image);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                QCOMPARE(region.contains(QPoint(x, y)), !IsKey(image, x, y));
            }
        }
        QVERIFY(OpaqueRegion(KeyImage(10, 10)).isEmpty());
        QVERIFY(OpaqueRegion(QImage()).isEmpty());
    }

    // Boxes and texts of a calendar without area have no surface to land on.
    void calendarWithoutAreaPaintsNothing() {
        TSettings zone = EffectZone();
        zone.BackSolid = true;
        for (const QSize size : {QSize(0, 10), QSize(10, 0), QSize(-5, -5)}) {
            HandMade calendar(size.width(), size.height());
            calendar.Box(zone, 0, 0, 10, 10);
            calendar.Text(zone, "x", 0, 0);
            QVERIFY(calendar.Draw().isNull());
        }
    }
};

QTEST_MAIN(TestCalendarPainter)
#include "test_CalendarPainter.moc"
