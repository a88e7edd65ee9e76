#include "base/QtPlatform.h"

#include "common/TextCodec.h"
#include "schemes/UnitSchemes.h"

#include <QFontMetrics>
#include <QResource>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>
#include <qpa/qplatformscreen.h>
#include <qpa/qplatformwindow.h>
#include <qpa/qwindowsysteminterface.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace kestrivel {

namespace {

constexpr int kDotsPerMeter = 3780; // 96 dpi
constexpr int kWindowFontPixels = 13;

bool IsFieldLetter(QChar c) {
    const char16_t u = c.unicode();
    return u == 'd' || u == 'D' || u == 'm' || u == 'M' || u == 'y' || u == 'Y';
}

void AppendLiteral(std::string& out, const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    const char quote = text.contains(QLatin1Char('"')) ? '\'' : '"';
    out += quote;
    out += text.toStdString();
    out += quote;
}

} // namespace

int PointsToPixels(int pointSize, int dpi) {
    // No glyph taller than the largest calendar: a font size of thousands of points would have every
    // outline rasterised at full size just to be clipped. Measuring and drawing share this bound.
    // At another resolution the 96-dpi size is scaled like every other length of the calendar, so
    // the calendar keeps its proportions: 10 points are 13 pixels at 96 dpi and 26 at 192.
    const long long atDesign = (static_cast<long long>(pointSize) * kSurfaceDpi + 36) / 72;
    return static_cast<int>(std::min<long long>(ScaledPixels(atDesign, dpi), kMaxFontPixels));
}

void SetSurfaceResolution(QImage& image) {
    image.setDotsPerMeterX(kDotsPerMeter);
    image.setDotsPerMeterY(kDotsPerMeter);
}

QString TextToQString(const std::string& text) {
    return QString::fromStdString(BytesToUtf8(text));
}

QFont ArialFont(int pixels, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QFont WindowFont(int dpi) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize((kWindowFontPixels * dpi + kSurfaceDpi / 2) / kSurfaceDpi);
    font.setBold(true);
    return font;
}

QList<QImage> TrayIconImages() {
    const struct {
        int Side;
        const char* Name;
    } sizes[] = {{16, ":/Tray_Icon.rgba"}, {32, ":/Tray_Icon-32.rgba"}, {48, ":/Tray_Icon-48.rgba"}};
    QList<QImage> images;
    for (const auto& size : sizes) {
        const QByteArray pixels = QResource(QString::fromLatin1(size.Name)).uncompressedData();
        if (pixels.size() == size.Side * size.Side * 4) {
            images.append(QImage(reinterpret_cast<const uchar*>(pixels.constData()), size.Side, size.Side,
                                 QImage::Format_RGBA8888)
                              .copy());
        }
    }
    return images;
}

int DeviceDpi(const QScreen* screen) {
    return screen == nullptr ? kSurfaceDpi
                             : static_cast<int>(std::lround(kSurfaceDpi * screen->devicePixelRatio()));
}

bool CompositorActive(const QScreen* screen) {
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland"))) {
        return true;
    }
    if (platform != QLatin1String("xcb") || screen == nullptr) {
        return false;
    }
    // The xcb platform watches the _NET_WM_CM_S<n> selection of each screen and answers this resource
    // with a non-null pointer while the selection has an owner.
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    return native != nullptr && native->nativeResourceForScreen(QByteArrayLiteral("compositingenabled"),
                                                                const_cast<QScreen*>(screen)) != nullptr;
}

QRect DeviceGeometry(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    if (handle != nullptr && handle->handle() != nullptr) {
        return handle->handle()->geometry();
    }
    const qreal scale = window.devicePixelRatioF();
    return {QPoint(static_cast<int>(std::lround(window.x() * scale)),
                   static_cast<int>(std::lround(window.y() * scale))),
            window.size() * scale};
}

void SetDeviceGeometry(QWidget& window, const QRect& rect) {
    const qreal scale = window.devicePixelRatioF();
    if (scale == 1.0) {
        window.move(rect.topLeft());
        window.resize(rect.size());
        return;
    }
    if (window.windowHandle() == nullptr || window.windowHandle()->handle() == nullptr) {
        // Qt's own idea of the place, as near as its units go; this also marks the place as chosen.
        window.move(static_cast<int>(std::lround(rect.x() / scale)),
                    static_cast<int>(std::lround(rect.y() / scale)));
        window.winId();
    }
    // Only the native window is told: a move or resize through Qt would round the place to its units
    // again. Qt learns the new geometry from the window system's answer.
    if (QPlatformWindow* native = window.windowHandle()->handle()) {
        native->setGeometry(rect);
        // Qt takes the new geometry at once, as it would from the window system's answer, so that
        // nothing in between places the window again from a stale, rounded idea of it.
        QWindowSystemInterface::handleGeometryChange<QWindowSystemInterface::SynchronousDelivery>(
            window.windowHandle(), rect);
    }
}

void MoveToDevicePixel(QWidget& window, const QPoint& position) {
    SetDeviceGeometry(window, QRect(position, DeviceGeometry(window).size()));
}

void SetDeviceMask(QWidget& window, const QRegion& region) {
    window.winId();
    if (QPlatformWindow* native = window.windowHandle()->handle()) {
        native->setMask(region);
    }
}

QRect DeviceScreenRect(const QRect& scaled) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->geometry() == scaled && screen->handle() != nullptr) {
            return screen->handle()->geometry();
        }
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    const qreal scale = primary == nullptr ? 1.0 : primary->devicePixelRatio();
    return {scaled.topLeft() * scale, scaled.size() * scale};
}

QtTextMeasurer::QtTextMeasurer(const QFont& baseFont, int dpi)
    : m_baseFont(baseFont), m_dpi(dpi), m_surface(1, 1, QImage::Format_RGB32) {
    SetSurfaceResolution(m_surface);
}

TTextExtent QtTextMeasurer::TextExtent(std::string_view text, const std::string& fontName, int pointSize,
                                       uint8_t textStyle) const {
    QFont font = m_baseFont;
    font.setFamily(TextToQString(fontName));
    // A zone without a size (zone 0 of the default look) measures in the window font's own size.
    if (pointSize > 0) {
        font.setPixelSize(PointsToPixels(pointSize, m_dpi));
    }
    font.setBold((textStyle & fsBold) != 0);
    font.setItalic((textStyle & fsItalic) != 0);
    font.setUnderline((textStyle & fsUnderline) != 0);
    font.setStrikeOut((textStyle & fsStrikeOut) != 0);
    const QFontMetrics metrics(font, &m_surface);
    return {metrics.horizontalAdvance(TextToQString(std::string(text))), metrics.height()};
}

std::string ConvertQtDatePattern(const QString& pattern) {
    std::string out;
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = pattern[i];
        if (c == QLatin1Char('\'')) {
            // Quoted text; two quotes in a row stand for one quote.
            QString literal;
            ++i;
            if (i < n && pattern[i] == QLatin1Char('\'')) {
                AppendLiteral(out, QStringLiteral("'"));
                ++i;
                continue;
            }
            while (i < n) {
                if (pattern[i] == QLatin1Char('\'')) {
                    if (i + 1 < n && pattern[i + 1] == QLatin1Char('\'')) {
                        literal += QLatin1Char('\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                literal += pattern[i++];
            }
            AppendLiteral(out, literal);
            continue;
        }
        qsizetype run = 1;
        while (i + run < n && pattern[i + run] == c) {
            ++run;
        }
        if (c == QLatin1Char('d')) {
            out += std::string(static_cast<size_t>(std::min<qsizetype>(run, 4)), 'd');
        } else if (c == QLatin1Char('M')) {
            out += std::string(static_cast<size_t>(std::min<qsizetype>(run, 4)), 'm');
        } else if (c == QLatin1Char('y')) {
            out += "yyyy";
        } else if (IsFieldLetter(c) || c == QLatin1Char('"') || c == QLatin1Char('/')) {
            AppendLiteral(out, QString(run, c));
        } else {
            out += QString(run, c).toStdString();
        }
        i += run;
    }
    return out;
}

TLocaleFormats LocaleFormatsFrom(const QLocale& locale) {
    TLocaleFormats formats;
    const QString shortPattern = locale.dateFormat(QLocale::ShortFormat);
    if (locale.language() == QLocale::C) {
        formats.ShortDateFormat = "yyyy-mm-dd";
        formats.DateSeparator = '-';
    } else {
        formats.ShortDateFormat = ConvertQtDatePattern(shortPattern);
        // The separator is the first plain character between the fields of the short pattern.
        for (const QChar c : shortPattern) {
            if (c == QLatin1Char('\'')) {
                break;
            }
            if (!c.isLetter() && !c.isSpace() && c.unicode() < 0x80) {
                formats.DateSeparator = static_cast<char>(c.unicode());
                break;
            }
        }
    }
    formats.LongDateFormat = ConvertQtDatePattern(locale.dateFormat(QLocale::LongFormat));
    for (int m = 1; m <= 12; ++m) {
        formats.ShortMonthNames[m - 1] = locale.monthName(m, QLocale::ShortFormat).toStdString();
        formats.LongMonthNames[m - 1] = locale.monthName(m, QLocale::LongFormat).toStdString();
    }
    for (int d = 1; d <= 7; ++d) {
        formats.ShortDayNames[d - 1] = locale.dayName(d, QLocale::ShortFormat).toStdString();
        formats.LongDayNames[d - 1] = locale.dayName(d, QLocale::LongFormat).toStdString();
    }
    return formats;
}

namespace {

long long DistanceSquared(const QRect& a, const QRect& b) {
    const long long dx = std::max({0, b.left() - a.right(), a.left() - b.right()});
    const long long dy = std::max({0, b.top() - a.bottom(), a.top() - b.bottom()});
    return dx * dx + dy * dy;
}

} // namespace

QRect NearestScreen(const QRect& windowRect, const QList<QRect>& screens) {
    QRect best;
    long long bestArea = 0;
    long long bestDistance = LLONG_MAX;
    for (const QRect& screen : screens) {
        const QRect overlap = screen.intersected(windowRect);
        const long long area =
            overlap.isEmpty() ? 0 : static_cast<long long>(overlap.width()) * overlap.height();
        const long long distance = DistanceSquared(windowRect, screen);
        if (area > bestArea || (bestArea == 0 && area == 0 && distance < bestDistance)) {
            best = screen;
            bestArea = area;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace kestrivel
