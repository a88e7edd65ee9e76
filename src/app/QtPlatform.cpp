#include "app/QtPlatform.h"

#include "common/TextCodec.h"
#include "schemes/UnitSchemes.h"

#include <QFontMetrics>

namespace kestrivel {

namespace {

constexpr int kSurfaceDpi = 96;
constexpr int kDotsPerMeter = 3780; // 96 dpi

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

int PointsToPixels(int pointSize) {
    return (pointSize * kSurfaceDpi + 36) / 72;
}

void SetSurfaceResolution(QImage& image) {
    image.setDotsPerMeterX(kDotsPerMeter);
    image.setDotsPerMeterY(kDotsPerMeter);
}

QString TextToQString(const std::string& text) {
    return QString::fromStdString(BytesToUtf8(text));
}

QFont WindowFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    font.setBold(true);
    return font;
}

QtTextMeasurer::QtTextMeasurer(const QFont& baseFont)
    : m_baseFont(baseFont), m_surface(1, 1, QImage::Format_RGB32) {
    SetSurfaceResolution(m_surface);
}

TTextExtent QtTextMeasurer::TextExtent(std::string_view text, const std::string& fontName, int pointSize,
                                       uint8_t textStyle) const {
    QFont font = m_baseFont;
    font.setFamily(TextToQString(fontName));
    // A zone without a size (zone 0 of the default look) measures in the window font's own size.
    if (pointSize > 0) {
        font.setPixelSize(PointsToPixels(pointSize));
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

} // namespace kestrivel
