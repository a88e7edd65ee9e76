// Drawing a month with 20,000 events cached beside the memos (2,000 of them repeating by rules with
// exceptions, changed occurrences and zones) against drawing it with none: a month shown anew (its
// events expanded on the worker meanwhile) and a redraw of the month shown; and the expansion of a
// month itself, as the editor and the reminder wait for it, from the events read once (and that reading,
// which the loader does off the GUI thread).
#include <benchmark/benchmark.h>

#include "FigureReporter.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include <QApplication>
#include <QTemporaryDir>

#include "base/DayEvents.h"
#include "base/QtPlatform.h"
#include "base/Services.h"
#include "base/Translator.h"
#include "calendar/FormMain.h"
#include "common/DateFormat.h"
#include "config/ConfigData.h"
#include "ical/ICalendarExpand.h"
#include "schemes/UnitSchemes.h"

using namespace kestrivel;

namespace {

constexpr int kEvents = 20'000;
constexpr int kRepeating = 2'000;

class TBenchServices : public TServices {
public:
    TBenchServices() : TServices(nullptr, nullptr) {}
    QDateTime Now() const override { return QDateTime(QDate(2026, 3, 15), QTime(12, 0)); }
    QList<QRect> ScreenRects() const override { return {QRect(0, 0, 1920, 1080)}; }
    bool CompositorActive(const QWidget& /*window*/) const override { return false; }
};

std::string object(const std::string& body) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Bench//EN\r\n" + body + "END:VCALENDAR\r\n";
}

// Single events at random times from 2016 to 2035 in a few zones; repeating ones as phones write them.
TEventCache makeCache() {
    std::mt19937 rng(2026);
    const char* zones[] = {"Europe/Berlin", "America/New_York", "Asia/Tokyo", "Australia/Sydney"};
    const char* rules[] = {"FREQ=WEEKLY;BYDAY=MO,WE,FR",
                           "FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-1",
                           "FREQ=WEEKLY;INTERVAL=2;BYDAY=TU",
                           "FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU",
                           "FREQ=DAILY;COUNT=400",
                           "FREQ=WEEKLY;UNTIL=20300101T000000Z"};
    TEventCache cache;
    for (int i = 0; i < kEvents; ++i) {
        char start[64];
        std::snprintf(start, sizeof start, "%04d%02d%02dT%02d%02d00", 2016 + static_cast<int>(rng() % 20),
                      1 + static_cast<int>(rng() % 12), 1 + static_cast<int>(rng() % 28),
                      static_cast<int>(rng() % 24), static_cast<int>(rng() % 4) * 15);
        const std::string zone = zones[rng() % 4];
        const std::string uid = "e" + std::to_string(i);
        std::string body = "BEGIN:VEVENT\r\nUID:" + uid +
                           "\r\nDTSTAMP:20260101T000000Z\r\nDTSTART;TZID=" + zone + ":" + start +
                           "\r\nSUMMARY:Event " + std::to_string(i) + "\r\n";
        if (i < kRepeating) {
            body += std::string("RRULE:") + rules[i % 6] + "\r\nEXDATE;TZID=" + zone + ":" + start + "\r\n";
            body += "END:VEVENT\r\nBEGIN:VEVENT\r\nUID:" + uid + "\r\nRECURRENCE-ID;TZID=" + zone + ":" +
                    start + "\r\nDTSTART;TZID=" + zone + ":" + start + "\r\nSUMMARY:Moved\r\n";
        }
        body += "END:VEVENT\r\n";
        cache.Events.push_back({"", "https://h/c/" + uid + ".ics", "\"1\"", object(body)});
    }
    return cache;
}

struct TSetup {
    QTemporaryDir dir;
    TConfigData config{dir.path().toStdString()};
    TLocaleFormats formats;
    QtTextMeasurer measurer;
    TBenchServices services;
    TTranslator translator{[](const std::string& file) { return file; }};
    std::unique_ptr<TDayEvents> events;
    std::unique_ptr<TfrmMain> frmMain;

    explicit TSetup(bool withEvents) {
        config.CurrentScheme = DefaultScheme();
        if (withEvents) {
            SaveEventCache(config.ProgramFolder(), makeCache());
            events = std::make_unique<TDayEvents>(config.ProgramFolder(),
                                                  std::make_unique<TICalendarEventExpander>());
            events->reload();
        }
        frmMain = std::make_unique<TfrmMain>(config, services, translator, formats, measurer);
        frmMain->SetDayEvents(events.get());
    }
};

// Each iteration shows the next month, whose events are expanded then.
void BM_MonthShown(benchmark::State& state, bool withEvents) {
    TSetup setup(withEvents);
    int month = 0;
    for (auto _ : state) {
        setup.frmMain->SetOffsets(0, ++month % 24);
        benchmark::DoNotOptimize(setup.frmMain->MaskRegion().rectCount());
    }
}

void BM_MonthExpanded(benchmark::State& state) {
    TSetup setup(true);
    int month = 0;
    for (auto _ : state) {
        ++month;
        benchmark::DoNotOptimize(setup.events->monthNow(2026 + month / 12 % 3, 1 + month % 12));
    }
}

// Reading the 20,000 events once, as the loader does off the GUI thread after each change of the cache.
void BM_Prepare(benchmark::State& state) {
    const TEventCache cache = makeCache();
    TICalendarEventExpander expander;
    for (auto _ : state) {
        benchmark::DoNotOptimize(expander.Prepare(cache));
    }
}

void BM_Redraw(benchmark::State& state, bool withEvents) {
    TSetup setup(withEvents);
    setup.frmMain->DrawCalendar();
    for (auto _ : state) {
        setup.frmMain->DrawCalendar();
        benchmark::DoNotOptimize(setup.frmMain->MaskRegion().rectCount());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::RegisterBenchmark("month_shown_none", BM_MonthShown, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("month_shown_events", BM_MonthShown, true)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("month_expanded", BM_MonthExpanded)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("events_prepared", BM_Prepare)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("redraw_none", BM_Redraw, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("redraw_events", BM_Redraw, true)->Unit(benchmark::kMillisecond);
    TFigureReporter reporter;
    reporter.RunAll(argc, argv);
    const auto ratio = [&](const char* with, const char* without) {
        const double base = reporter.Milliseconds(without);
        return base > 0 ? reporter.Milliseconds(with) / base : 0.0;
    };
    std::printf("figure: events_month_query_ratio %.3f x\n", ratio("month_shown_events", "month_shown_none"));
    std::printf("figure: events_redraw_ratio %.3f x\n", ratio("redraw_events", "redraw_none"));
    std::printf("figure: events_month_expand_ms %.1f ms\n", reporter.Milliseconds("month_expanded"));
    std::printf("figure: events_read_once_ms %.1f ms\n", reporter.Milliseconds("events_prepared"));
    return 0;
}
