#include "base/Modules.h"
#include "memos/ICalendarModule.h"
#include "update/HttpModule.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace kestrivel;

// Modules are found by full name in the given folders only, in their order; anything that is not a
// loadable module with the symbol gives null instead of failing the program.
class TestModules : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    QString built = QStringLiteral(KESTRIVEL_BIN_DIR); // where the build puts the modules

private slots:
    void initTestCase() {
        QVERIFY(scratch.isValid());
        QFile garbage(scratch.filePath(QStringLiteral("kestrivel-ical.so")));
        QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write("not a shared object") > 0);
        garbage.close();
        QVERIFY(QDir(scratch.path()).mkpath(QStringLiteral("dir/kestrivel-http.so")));
    }

    void resolve_data() {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QByteArray>("symbol");
        QTest::addColumn<QStringList>("folders"); // "<built>" and "<scratch>" stand for the two folders
        QTest::addColumn<bool>("found");
        const QString ical = QString::fromLatin1(kICalendarModuleName);
        const QString http = QString::fromLatin1(kHttpModuleName);
        QTest::newRow("iCalendar import")
            << ical << QByteArray(kImportICalendarSymbol) << QStringList{"<built>"} << true;
        QTest::newRow("iCalendar export")
            << ical << QByteArray(kExportICalendarSymbol) << QStringList{"<built>"} << true;
        QTest::newRow("HTTP client") << http << QByteArray(kCreateHttpClientSymbol) << QStringList{"<built>"}
                                     << true;
        QTest::newRow("unknown symbol")
            << ical << QByteArray("KestrivelNothing") << QStringList{"<built>"} << false;
        QTest::newRow("core symbols stay hidden")
            << ical << QByteArray("_ZN9kestrivel9TMemoList5ClearEv") << QStringList{"<built>"} << false;
        QTest::newRow("not a shared object, then the real one")
            << ical << QByteArray(kImportICalendarSymbol) << QStringList{"<scratch>", "<built>"} << true;
        QTest::newRow("not a shared object alone")
            << ical << QByteArray(kImportICalendarSymbol) << QStringList{"<scratch>"} << false;
        QTest::newRow("a folder by the module's name")
            << http << QByteArray(kCreateHttpClientSymbol) << QStringList{"<scratch>/dir"} << false;
        QTest::newRow("no folder") << http << QByteArray(kCreateHttpClientSymbol) << QStringList{""} << false;
    }

    void resolve() {
        QFETCH(QString, module);
        QFETCH(QByteArray, symbol);
        QFETCH(QStringList, folders);
        QFETCH(bool, found);
        for (QString& folder : folders) {
            folder.replace(QStringLiteral("<built>"), built)
                .replace(QStringLiteral("<scratch>"), scratch.path());
        }
        QCOMPARE(ResolveModuleFunction(module.toLatin1().constData(), symbol.constData(), folders) != nullptr,
                 found);
    }

    // The program looks beside itself first: the tests, built into the program folder, find them there.
    void programFolderComesFirst() {
        QCOMPARE(ModuleFolders().value(0), QCoreApplication::applicationDirPath());
        QVERIFY(ResolveModuleFunction(kHttpModuleName, kCreateHttpClientSymbol) != nullptr);
    }
};

QTEST_MAIN(TestModules)
#include "test_Modules.moc"
