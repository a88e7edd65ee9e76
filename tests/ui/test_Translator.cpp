#include "base/Translator.h"

#include "lang/LangSource.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace kestrivel;

// Qt's own texts (here the standard Cancel button) follow the language file, also when it changes
// while the program runs; the translations are Debian's qt6-translations-l10n.
class TestTranslator : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    void WriteLanguage(const QString& name, const std::string& language) {
        std::string bytes;
        TLangSourceError error;
        QVERIFY2(
            CompileLangSource("language = " + language + "\n[frmMain]\nPopMenu_Exit = x\n", bytes, error),
            error.ToString().c_str());
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(bytes));
    }

private slots:
    void qtTextsFollowTheLanguageFile_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("qtLanguage");
        QTest::addColumn<QString>("cancel");
        QTest::newRow("German by name") << "KestriDe.lang"
                                        << "Deutsch"
                                        << "de"
                                        << "Abbrechen";
        QTest::newRow("English") << "KestriEn.lang"
                                 << "English"
                                 << ""
                                 << "Cancel";
        QTest::newRow("French by header") << "Mine.lang"
                                          << "French"
                                          << "fr"
                                          << "Annuler";
        QTest::newRow("unknown") << "Other.lang"
                                 << "Klingon"
                                 << ""
                                 << "Cancel";
        QTest::newRow("Spanish by file name") << "KestriEs.lang"
                                              << ""
                                              << "es"
                                              << "Cancelar";
    }
    void qtTextsFollowTheLanguageFile() {
        QFETCH(QString, file);
        QFETCH(QString, language);
        QFETCH(QString, qtLanguage);
        QFETCH(QString, cancel);
        WriteLanguage(file, language.toStdString());
        // One translator through all rows: each row changes the language of the one before.
        static TTranslator translator([this](const std::string& name) {
            return dir.filePath(QString::fromStdString(name)).toStdString();
        });
        translator.TranslateTo(file.toStdString());
        QCOMPARE(translator.QtLanguage(), qtLanguage);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);
    }
};

QTEST_GUILESS_MAIN(TestTranslator)
#include "test_Translator.moc"
