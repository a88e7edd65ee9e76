#include "FakeServices.h"
#include "base/Reminder.h"
#include "config/ConfigData.h"
#include "memos/UnitMemo.h"

#include <QtTest>

using namespace kestrivel;

// One notification per day with memos, at the first check of the day, while the option is on; each
// memo on its own line, one per type as the hint lists them, ";" a line break too.
class TestReminder : public QObject {
    Q_OBJECT

private slots:
    void oneNoticePerDayWithMemos_data() {
        QTest::addColumn<bool>("remind");
        QTest::addColumn<QList<int>>("days"); // of March 2030, one check each
        QTest::addColumn<QStringList>("bodies");
        const QString first = QStringLiteral("Dentist\n10:00\nSwim");
        QTest::addRow("start") << true << QList<int>{14} << QStringList{first};
        QTest::addRow("the clock set, same day") << true << QList<int>{14, 14} << QStringList{first};
        QTest::addRow("a new day") << true << QList<int>{14, 15} << QStringList{first, "Birthday"};
        QTest::addRow("the clock set back and forth over midnight")
            << true << QList<int>{14, 15, 14, 15, 14, 15} << QStringList{first, "Birthday"};
        QTest::addRow("a day without memos") << true << QList<int>{16} << QStringList{};
        QTest::addRow("option off") << false << QList<int>{14, 15} << QStringList{};
    }
    void oneNoticePerDayWithMemos() {
        QFETCH(bool, remind);
        QFETCH(QList<int>, days);
        QFETCH(QStringList, bodies);
        QTemporaryDir dir;
        TConfigData config(dir.path().toStdString());
        config.Options.Remind = remind;
        TDateValue date = 0;
        TryEncodeDate(2030, 3, 14, date);
        config.Memos.Add("Swim", mtWeekly, date - 7);
        config.Memos.Add("Dentist;10:00", mtSingle, date);
        config.Memos.Add("Birthday", mtYearly, date + 1 - 365 * 40 - 10); // 15 March 1990
        FakeServices services;
        TTodayReminder reminder(config, services);
        for (int day : days) {
            services.Clock = QDateTime(QDate(2030, 3, day), QTime(0, 0, 1));
            reminder.Check();
        }
        QList<QStringList> notices;
        for (const QString& body : bodies) {
            notices.append({"Today's memos", body});
        }
        QCOMPARE(services.Notices, notices);
    }
};

QTEST_MAIN(TestReminder)
#include "test_Reminder.moc"
