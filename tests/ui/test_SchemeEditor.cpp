#include "FakeServices.h"
#include "config/ConfigData.h"
#include "lang/MessageTable.h"
#include "schemes/SchemeEditor.h"

#include <QComboBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace kestrivel;

class TestSchemeEditor : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TConfigData> config;
    std::unique_ptr<FakeServices> services;
    TNameValueList valueNames = BuiltInValueNames();
    std::unique_ptr<TSchemeEditor> editor;

    QComboBox* combo(const char* name) { return editor->findChild<QComboBox*>(name); }
    QTableWidget* grid() { return editor->findChild<QTableWidget*>("ValueList"); }
    void chooseZone(int zone) {
        combo("cmbZone")->setCurrentIndex(zone);
        editor->cmbZoneSelect();
    }
    QStringList schemeNames() {
        QStringList names;
        for (int i = 0; i < combo("cmbSchemes")->count(); ++i) {
            names << combo("cmbSchemes")->itemText(i);
        }
        return names;
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        config = std::make_unique<TConfigData>(dir->path().toStdString());
        services = std::make_unique<FakeServices>();
        for (const char* name : {"Blue", "dark"}) {
            TScheme named = DefaultScheme();
            named.Name = name;
            AddNamedScheme(config->Schemes, config->CurrentScheme, named);
        }
        editor = std::make_unique<TSchemeEditor>(*config, *services, valueNames);
        editor->DisplaySchemes();
        editor->ShowSteps();
        chooseZone(zoneTitle);
    }

    // No scheme is selected after the list is filled, yet the box names what it holds.
    void unselectedListShowsItsNames() {
        auto* list = editor->findChild<QComboBox*>(QStringLiteral("cmbSchemes"));
        QCOMPARE(list->currentIndex(), -1);
        QCOMPARE(list->placeholderText(), QStringLiteral("Blue, dark"));
        config->Schemes.Clear();
        editor->DisplaySchemes();
        QCOMPARE(list->placeholderText(), QString());
    }

    // The names as far as they fit, never cut inside one unless the first alone is too long.
    void placeholderFitsTheBox() {
        const QStringList five{"Default", "Glass", "High contrast", "Midnight", "Paper"};
        const QFontMetrics metrics(editor->font());
        const int room = metrics.horizontalAdvance(QStringLiteral("Glass, "));
        QCOMPARE(FittingNames(five, metrics, 20 * room), five.join(", "));
        QCOMPARE(FittingNames(five, metrics, 3 * room), QStringLiteral("Default, Glass, …"));
        QCOMPARE(FittingNames(five, metrics, 2 * room), QStringLiteral("Default, …"));
    }

    void saveUnderAnExistingNameAsksQuestion1_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("savedSize"); // zone 1 size of the selected scheme
        QTest::newRow("new") << "Green" << 0 << false << QStringList{"Blue", "Green", "dark"} << 1 << 20;
        QTest::newRow("yes") << "Blue" << 6 << true << QStringList{"Blue", "dark"} << 0 << 20;
        QTest::newRow("no") << "Blue" << 7 << true << QStringList{"Blue", "dark"} << 0 << 10;
        QTest::newRow("case") << "DARK" << 6 << true << QStringList{"Blue", "DARK"} << 1 << 20;
    }
    void saveUnderAnExistingNameAsksQuestion1() {
        QFETCH(QString, typed);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(QStringList, names);
        QFETCH(int, selected);
        QFETCH(int, savedSize);
        grid()->item(rowSize, 1)->setText("20");
        services->Inputs.push_back(typed.toStdString());
        services->Answers.push_back(answer);
        editor->btnSaveSchemeClick();
        const auto& boxes = services->Boxes;
        QCOMPARE(boxes.size(), asked ? 2u : 1u);
        if (boxes.size() == 2) {
            QCOMPARE(QString::fromStdString(boxes[1].Text),
                     "A scheme named \"" + typed + "\" already exists, do you want to replace it?");
        }
        QCOMPARE(schemeNames(), names);
        QCOMPARE(editor->SelectedSchemeIndex(), selected);
        QCOMPARE(int(config->Schemes.Get(editor->SelectedSchemeIndex() + 1)->Settings[zoneTitle].FontSize),
                 savedSize);
        QVERIFY(!editor->SchemeModified);
    }

    void importingAppends() {
        const QString file = dir->filePath("blue.dat");
        combo("cmbSchemes")->setCurrentIndex(0);
        editor->cmbSchemesSelect();
        services->FileNames = {file, file, dir->filePath("missing.dat")};
        editor->btnExportSchemeClick();
        editor->btnImportSchemeClick();
        QCOMPARE(schemeNames(), (QStringList{"Blue", "dark", "Blue"}));
        editor->btnImportSchemeClick();
        QCOMPARE(config->Schemes.Count(), 4);
        QCOMPARE(editor->SelectedSchemeIndex(), -1);
    }

    void badIntegerStopsTheStore_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("size") << int(rowSize) << "abc"
                              << "'abc' is not a valid integer value";
        QTest::newRow("colour") << int(rowBackColor) << "12, 34, 56"
                                << "'' is not a valid integer value";
        QTest::newRow("fine") << int(rowSize) << "70000"
                              << "";
    }
    void badIntegerStopsTheStore() {
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(QString, error);
        grid()->item(row, 1)->setText(text);
        QVERIFY(editor->SchemeModified);
        chooseZone(zoneWeek);
        QCOMPARE(services->Boxes.empty() ? QString() : QString::fromStdString(services->Boxes[0].Text),
                 error);
        QCOMPARE(editor->SchemeModified, !error.isEmpty());
        QCOMPARE(grid()->item(row, 1)->text() == text, !error.isEmpty()); // still the old zone's rows
        QCOMPARE(int(config->CurrentScheme.Settings[zoneTitle].FontSize), error.isEmpty() ? 4464 : 10);
    }

    void rowsGreyedPerZone_data() {
        QTest::addColumn<int>("zone");
        QTest::addColumn<QString>("applies"); // rows 0 to 11
        QTest::addColumn<int>("landing");     // current row 2, or 11, after the switch
        QTest::newRow("calendar") << 0 << "------xxxxx-" << 6;
        QTest::newRow("today") << 5 << "xxxxxxxxxx--" << 9;
        QTest::newRow("memo") << 7 << "xxxxxxxxxxxx" << 11;
    }
    void rowsGreyedPerZone() {
        QFETCH(int, zone);
        QFETCH(QString, applies);
        QFETCH(int, landing);
        grid()->setCurrentCell(zone == zoneCalendar ? rowText : rowSpacing, 1);
        chooseZone(zone);
        QCOMPARE(grid()->currentRow(), landing);
        editor->show();
        for (int row = 0; row < kValueRowCount; ++row) {
            QCOMPARE(bool(grid()->item(row, 1)->flags() & Qt::ItemIsSelectable), applies[row] == 'x');
            QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {},
                              grid()->visualItemRect(grid()->item(row, 1)).center());
            QCOMPARE(grid()->currentRow() == row, applies[row] == 'x');
        }
    }

    // The grid by keyboard alone, on the zone of today's memo, where every row applies: a current value from
    // the first focus, arrows between values, Enter or F2 to edit, Escape undoes, Tab to the colour button
    // and Space to the colour dialog. Keys go to whatever has the focus.
    void gridByKeyboard_data() {
        QTest::addColumn<QList<int>>("keys"); // key combinations; 0 types "0,255,0" (green)
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("editing");
        QTest::addColumn<int>("green"); // the text colour row then reads as green (1) or as before (0)
        const int down = Qt::Key_Down;
        QTest::addRow("first focus") << QList<int>{} << 0 << false << 0;
        QTest::addRow("arrows, never the key column")
            << QList<int>{down, down, down, Qt::Key_Left, Qt::Key_Right, Qt::Key_Right} << 3 << false << 0;
        QTest::addRow("enter edits") << QList<int>{down, down, down, Qt::Key_Return} << 3 << true << 0;
        QTest::addRow("escape undoes")
            << QList<int>{down, down,          down, Qt::Key_F2, (Qt::CTRL | Qt::Key_A).toCombined(),
                          0,    Qt::Key_Escape}
            << 3 << false << 0;
        QTest::addRow("enter keeps")
            << QList<int>{down, down,          down, Qt::Key_F2, (Qt::CTRL | Qt::Key_A).toCombined(),
                          0,    Qt::Key_Return}
            << 3 << false << 1;
        QTest::addRow("the colour button")
            << QList<int>{down, down, down, Qt::Key_Return, Qt::Key_Tab, Qt::Key_Space} << 3 << true << 1;
        QTest::addRow("escape on the colour button, then on")
            << QList<int>{down, down, down, Qt::Key_Return, Qt::Key_Tab, Qt::Key_Escape, down} << 4 << false
            << 0;
    }
    void gridByKeyboard() {
        QFETCH(QList<int>, keys);
        QFETCH(int, row);
        QFETCH(bool, editing);
        QFETCH(int, green);
        chooseZone(zoneTodaysMemo);
        services->Colors.push_back(QColor(0, 255, 0));
        const QString before = grid()->item(rowTextColor, 1)->text();
        editor->show();
        QApplication::setActiveWindow(editor.get());
        QVERIFY(QTest::qWaitForWindowActive(editor.get()));
        grid()->setFocus(Qt::TabFocusReason);
        for (int key : keys) {
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus != nullptr);
            if (key == 0) {
                QTest::keyClicks(focus, QStringLiteral("0,255,0"));
            } else {
                const QKeyCombination combination = QKeyCombination::fromCombined(key);
                QTest::keyClick(focus, combination.key(), combination.keyboardModifiers());
            }
        }
        // Enter closes an editor a moment later.
        QCoreApplication::processEvents();
        QCOMPARE(grid()->currentRow(), row);
        QCOMPARE(grid()->currentColumn(), 1);
        QCOMPARE(grid()->isPersistentEditorOpen(grid()->currentIndex()) ||
                     grid()->indexWidget(grid()->currentIndex()) != nullptr,
                 editing);
        TColor color = 0;
        const QString now = grid()->item(rowTextColor, 1)->text();
        QCOMPARE(green == 1 ? TextToColor(now.toStdString(), color) && color == 0x00FF00 : now == before,
                 true);
        QCOMPARE(services->Colors.empty(), keys.contains(Qt::Key_Space));
        QCOMPARE(QApplication::focusWidget() == grid(), !editing);
    }
};

QTEST_MAIN(TestSchemeEditor)
#include "test_SchemeEditor.moc"
