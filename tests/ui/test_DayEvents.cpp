#include "base/DayEvents.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <filesystem>
#include <memory>

using namespace kestrivel;

namespace {

TDateValue DateOfDay(int year, int month, int day) {
    TDateValue date = 0;
    TryEncodeDate(year, month, day, date);
    return date;
}

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

// Reads each text once (noting the thread) and then falls on the 20th of each month asked; its own
// Expand from the text is counted apart, so a test sees which way a month was expanded.
class ReadOnce final : public IEventExpander {
public:
    struct Counts {
        std::atomic<int> Prepared = 0;
        std::atomic<int> FromText = 0;
        std::atomic<int> FromPrepared = 0;
        std::atomic<bool> PreparedOnGuiThread = false;
    };
    explicit ReadOnce(std::shared_ptr<Counts> counts) : m_counts(std::move(counts)) {}
    bool Expand(std::string_view, TDateValue, TDateValue, std::vector<TEventOccurrence>&) override {
        ++m_counts->FromText;
        return true;
    }
    std::unique_ptr<IPreparedEvents> Prepare(const TEventCache& cache) override {
        ++m_counts->Prepared;
        m_counts->PreparedOnGuiThread = QThread::currentThread() == qApp->thread();
        return std::make_unique<Prepared>(m_counts, cache.Events.size());
    }

private:
    class Prepared final : public IPreparedEvents {
    public:
        Prepared(std::shared_ptr<Counts> counts, size_t size) : m_counts(std::move(counts)), m_size(size) {}
        void Expand(size_t index, TDateValue first, TDateValue,
                    std::vector<TEventOccurrence>& out) const override {
            ++m_counts->FromPrepared;
            out.push_back({first + 19, 9 * 60, "event " + std::to_string(index), {}});
        }
        size_t size() const override { return m_size; }

    private:
        std::shared_ptr<Counts> m_counts;
        size_t m_size;
    };
    std::shared_ptr<Counts> m_counts;
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

    // Nothing is read before the calendar's first paint; then the cache is read and its events read
    // once off the GUI thread, and every month is expanded from that reading. A month asked at once
    // while the worker expands it is waited for, not expanded twice.
    void readOnceAfterTheFirstPaintOffTheGuiThread() {
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        TEventCache cache;
        cache.Events = {{"", "1", "", "a"}, {"Work", "2", "", "b"}};
        QVERIFY(SaveEventCache(folder, cache));
        auto counts = std::make_shared<ReadOnce::Counts>();
        TDayEvents events(folder, std::make_unique<ReadOnce>(counts));
        QSignalSpy loaded(&events, &TDayEvents::loaded);
        QWidget window;
        window.resize(50, 50);
        events.reloadAfterPaint(window);
        QCoreApplication::processEvents();
        QCOMPARE(loaded.count(), 0);
        QVERIFY(events.empty());

        window.show();
        QVERIFY(loaded.wait());
        QCOMPARE(counts->Prepared.load(), 1);
        QVERIFY(!counts->PreparedOnGuiThread);
        QVERIFY(!events.empty());

        QSignalSpy changed(&events, &TDayEvents::changed);
        QVERIFY(events.month(2026, 5) == nullptr);
        const EventDays* may = events.monthNow(2026, 5);
        QVERIFY(may != nullptr);
        QVERIFY(changed.wait()); // the worker's month is done and said
        QCOMPARE(counts->FromPrepared.load(), 2);
        QCOMPARE(may->onDay(DateOfDay(2026, 5, 20)).size(), size_t{2});
        QCOMPARE(QString::fromStdString(may->onDay(DateOfDay(2026, 5, 20))[1].Source),
                 QStringLiteral("Work"));
        events.monthNow(2026, 6);
        QCOMPARE(counts->FromPrepared.load(), 4);
        QCOMPARE(counts->FromText.load(), 0);

        events.reloadLater();
        QVERIFY(loaded.wait());
        QCOMPARE(counts->Prepared.load(), 1); // the same cache is not read again
    }
};

QTEST_MAIN(TestDayEvents)
#include "test_DayEvents.moc"
