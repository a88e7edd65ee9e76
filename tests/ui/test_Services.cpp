#include "base/Services.h"
#include "FakeServices.h"
#include "base/UnitMessages.h"
#include "config/SyncSettings.h"
#include "lang/MessageTable.h"

#include <QWidget>
#include <QtTest>

#include <optional>

using namespace kestrivel;

// What the services add to the windows' reach, and what the fake stands in for.
class TestServices : public QObject {
    Q_OBJECT

private slots:
    void boxesSpeakTheTableInUse() {
        FakeServices services;
        ShowError(services, nullptr, 1);
        QCOMPARE(services.Boxes.back().Text, std::string("The date you entered is invalid!"));

        TNameValueList translated = BuiltInMessages();
        translated.setValue("E0", "Fehler");
        translated.setValue("E1", "Kein Datum ;");
        services.UseMessages(translated);
        ShowError(services, nullptr, 1, "31.02.");
        QCOMPARE(services.Boxes.back().Caption, std::string("Fehler"));
        QCOMPARE(services.Boxes.back().Text, std::string("Kein Datum 31.02."));
        // The table is read where it lives, so a later translation reaches the next box.
        translated.setValue("E1", "Falsch");
        ShowError(services, nullptr, 1);
        QCOMPARE(services.Boxes.back().Text, std::string("Falsch"));
    }

    void fakeEnvironmentIsItsMap() {
        FakeServices services;
        services.Variables["XDG_CONFIG_HOME"] = QStringLiteral("/cfg/here");
        QCOMPARE(services.Environment("XDG_CONFIG_HOME"), QStringLiteral("/cfg/here"));
        // Unset in the map is unset, whatever the test's own environment holds.
        QCOMPARE(services.Environment("PATH"), QString());
    }

    // The password is taken out of the environment at once, so that nothing the calendar starts
    // inherits it; the sync still reads it from the services.
    void passwordVariableLeavesTheEnvironment() {
        qputenv(kSyncPasswordVariable, "pw in env");
        TServices services(nullptr, nullptr);
        QVERIFY(!qEnvironmentVariableIsSet(kSyncPasswordVariable));
        QCOMPARE(services.Environment(kSyncPasswordVariable), QStringLiteral("pw in env"));
    }

    void fakeStandsInForFocusAndCompositor_data() {
        QTest::addColumn<std::optional<bool>>("answer");
        QTest::addColumn<bool>("expected");
        // An offscreen window that never showed is neither active nor composited.
        QTest::newRow("real") << std::optional<bool>() << false;
        QTest::newRow("yes") << std::optional<bool>(true) << true;
        QTest::newRow("no") << std::optional<bool>(false) << false;
    }
    void fakeStandsInForFocusAndCompositor() {
        QFETCH(std::optional<bool>, answer);
        QFETCH(bool, expected);
        FakeServices services;
        QWidget window;
        services.ActiveWindow = answer;
        services.Compositor = answer;
        QCOMPARE(services.IsActiveWindow(window), expected);
        QCOMPARE(services.CompositorActive(window), expected);
    }
};

QTEST_MAIN(TestServices)
#include "test_Services.moc"
