#include "base/QtPlatform.h"
#include "common/DateFormat.h"
#include "schemes/UnitSchemes.h"

#include <QFontMetrics>
#include <QtTest>

using namespace kestrivel;

namespace {

TDateValue Date(int y, int m, int d) {
    TDateValue v = 0;
    TryEncodeDate(y, m, d, v);
    return v;
}

} // namespace

class TestQtPlatform : public QObject {
    Q_OBJECT

private slots:
    void patternsTranslateField_data() {
        QTest::addColumn<QString>("qt");
        QTest::addColumn<QString>("ours");
        QTest::newRow("us short") << "M/d/yy"
                                  << "m\"/\"d\"/\"yyyy";
        QTest::newRow("german") << "dd.MM.yyyy"
                                << "dd.mm.yyyy";
        QTest::newRow("names") << "dddd, MMMM d, yyyy"
                               << "dddd, mmmm d, yyyy";
        QTest::newRow("short names") << "ddd d MMM y"
                                     << "ddd d mmm yyyy";
        QTest::newRow("quoted") << "d 'de' MMMM 'de' yyyy"
                                << "d \"de\" mmmm \"de\" yyyy";
        QTest::newRow("quote in quotes") << "d 'o''clock' M"
                                         << "d \"o'clock\" m";
        QTest::newRow("lone quote") << "d''M"
                                    << "d\"'\"m";
        QTest::newRow("stray field letters") << "yyyy.MM.dd Y D"
                                             << "yyyy.mm.dd \"Y\" \"D\"";
        QTest::newRow("both quotes") << "d 'say \"o''clock\"'"
                                     << "d 'say \"o'clock\"'";
        QTest::newRow("unterminated quote") << "d 'abc"
                                            << "d \"abc\"";
        QTest::newRow("empty") << ""
                               << "";
    }
    void patternsTranslateField() {
        QFETCH(QString, qt);
        QFETCH(QString, ours);
        QCOMPARE(QString::fromStdString(ConvertQtDatePattern(qt)), ours);
    }

    void localeDatesFormatAndReadBack_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("shortText");
        QTest::addColumn<QString>("longText");
        QTest::newRow("C") << "C"
                           << "2021-02-05"
                           << "Friday, 5 February 2021";
        QTest::newRow("en_US") << "en_US"
                               << "2/5/2021"
                               << "Friday, February 5, 2021";
        QTest::newRow("de_DE") << "de_DE"
                               << "05.02.2021"
                               << "Freitag, 5. Februar 2021";
        QTest::newRow("es_ES") << "es_ES"
                               << "5/2/2021"
                               << "viernes, 5 de febrero de 2021";
        QTest::newRow("ja_JP") << "ja_JP"
                               << "2021/02/05"
                               << "2021年2月5日金曜日";
        QTest::newRow("ru_RU") << "ru_RU"
                               << "05.02.2021"
                               << "пятница, 5 февраля 2021 г.";
    }
    void localeDatesFormatAndReadBack() {
        QFETCH(QString, locale);
        QFETCH(QString, shortText);
        QFETCH(QString, longText);
        const TLocaleFormats formats = LocaleFormatsFrom(QLocale(locale));
        const TDateValue date = Date(2021, 2, 5);
        QCOMPARE(QString::fromStdString(FormatDate("ddddd", date, formats)), shortText);
        QCOMPARE(QString::fromStdString(FormatDate("dddddd", date, formats)), longText);
        // Two-digit years are widened, so every short date reads back as the same day.
        TDateValue back = 0;
        QVERIFY(ParseShortDate(shortText.toStdString(), formats, back));
        QCOMPARE(back, date);
        const TDateValue old = Date(1931, 12, 24);
        QVERIFY(ParseShortDate(FormatDate("ddddd", old, formats), formats, back));
        QCOMPARE(back, old);
    }

    void namesComeFromTheLocale() {
        const TLocaleFormats formats = LocaleFormatsFrom(QLocale(QStringLiteral("fr_FR")));
        QCOMPARE(QString::fromStdString(formats.LongMonthNames[7]), QStringLiteral("août"));
        QCOMPARE(QString::fromStdString(formats.LongDayNames[0]), QStringLiteral("lundi"));
        QCOMPARE(QString::fromStdString(formats.LongDayNames[6]), QStringLiteral("dimanche"));
        QCOMPARE(formats.DateSeparator, '/');
        QCOMPARE(LocaleFormatsFrom(QLocale(QStringLiteral("de_DE"))).DateSeparator, '.');
        QCOMPARE(LocaleFormatsFrom(QLocale::c()).ShortDateFormat, std::string("yyyy-mm-dd"));
    }

    void measurerUsesTheBoldWindowFontWithFaceAndSize() {
        const QtTextMeasurer measurer;
        QImage surface(1, 1, QImage::Format_RGB32);
        SetSurfaceResolution(surface);
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(16); // 12 points at 96 dpi
        font.setBold(true);
        const QFontMetrics bold(font, &surface);
        const TTextExtent e = measurer.TextExtent("88", "Arial", 12, fsBold);
        QCOMPARE(e.Width, bold.horizontalAdvance(QStringLiteral("88")));
        QCOMPARE(e.Height, bold.height());
        font.setBold(false);
        font.setItalic(true);
        const TTextExtent italic = measurer.TextExtent("Wide words", "Arial", 12, fsItalic);
        QCOMPARE(italic.Width, QFontMetrics(font, &surface).horizontalAdvance(QStringLiteral("Wide words")));
        QVERIFY(measurer.TextExtent("Wide words", "Arial", 12, fsBold).Width != italic.Width);
        // Size 0 keeps the window font's 13 pixels.
        QCOMPARE(measurer.TextExtent("88", "Arial", 0, fsBold).Height,
                 measurer.TextExtent("88", "Arial", 10, fsBold).Height);
        QVERIFY(measurer.TextExtent("88", "Arial", 20, fsBold).Width > e.Width);
        QCOMPARE(measurer.TextExtent("", "Arial", 12, fsBold).Width, 0);
    }

    // The raw tray icons hold the drawing's 16, 32 and 48-pixel renderings pixel for pixel, alpha included.
    void trayIconsAreTheDrawingsSizes() {
        const QList<QImage> icons = TrayIconImages();
        QCOMPARE(icons.size(), 3);
        for (const QImage& icon : icons) {
            const QImage png(
                QStringLiteral(KESTRIVEL_SOURCE_DIR "/resources/icons/kestrivel-%1.png").arg(icon.width()));
            QVERIFY(!png.isNull());
            QCOMPARE(icon.size(), png.size());
            QCOMPARE(icon.convertToFormat(QImage::Format_ARGB32), png.convertToFormat(QImage::Format_ARGB32));
        }
        QCOMPARE(icons[0].width(), 16);
        QCOMPARE(icons[2].width(), 48);
    }

    void textBytesAreReadAsUtf8OrWindows1252() {
        QCOMPARE(TextToQString("caf\xC3\xA9"), QStringLiteral("café"));
        QCOMPARE(TextToQString("caf\xE9"), QStringLiteral("café"));
    }
};

QTEST_MAIN(TestQtPlatform)
#include "test_QtPlatform.moc"
