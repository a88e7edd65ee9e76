#include "base/DayEvents.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

using namespace kestrivel;

namespace {

// Every cached text falls once, on the 10th of the month asked.
class TenthOfTheMonth final : public IEventExpander {
public:
    int Calls = 0;
    bool Expand(std::string_view data, TDateValue first, TDateValue,
                std::vector<TEventOccurrence>& out) override {
        ++Calls;
        out.push_back({first + 9, -1, std::string(data), {}});
        return true;
    }
};

} // namespace

class TestDayEvents : public QObject {
    Q_OBJECT

private slots:
    // Without a cache file nothing is read and no day has an event; the file's events are read when
    // asked, expanded once per month shown, and a reload that finds the same says nothing.
    void readWhenAskedAndExpandedPerMonth() {
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        auto expander = std::make_unique<TenthOfTheMonth>();
        TenthOfTheMonth* calls = expander.get();
        TDayEvents events(folder, std::move(expander));
        QSignalSpy changed(&events, &TDayEvents::changed);
        events.reload();
        QCOMPARE(changed.count(), 0);
        QVERIFY(events.monthNow(2026, 3) == nullptr);
        QVERIFY(!std::filesystem::exists(EventCachePath(folder)));

        TEventCache cache;
        cache.Events = {{"Holidays", "https://h/x.ics", "", "Spring"}};
        QVERIFY(SaveEventCache(folder, cache));
        events.reload();
        QCOMPARE(changed.count(), 1);
        // Expanded off the calendar's thread: drawn without events first, then again with them.
        QVERIFY(events.month(2026, 3) == nullptr);
        QVERIFY(changed.wait());
        const EventDays* march = events.month(2026, 3);
        QVERIFY(march != nullptr);
        TDateValue tenth = 0;
        TryEncodeDate(2026, 3, 10, tenth);
        QCOMPARE(march->onDay(tenth).size(), size_t{1});
        QCOMPARE(march->onDay(tenth)[0].Source, std::string("Holidays"));
        events.monthNow(2026, 3);
        QCOMPARE(calls->Calls, 1);
        events.monthNow(2026, 4);
        QCOMPARE(calls->Calls, 2);
        QCOMPARE(EventLinesOf(&events, 2026, 4, 10),
                 QStringList{QStringLiteral("all day Spring (Holidays)")});
        events.reload();
        QCOMPARE(changed.count(), 2);
    }
};

QTEST_MAIN(TestDayEvents)
#include "test_DayEvents.moc"
