// One calendar redraw (month model, painting, mask region, window size) with the built-in scheme and
// with a scheme that paints everything, at no memos and at the full 65,535 memos.
#include <benchmark/benchmark.h>

#include "FigureReporter.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <QApplication>

#include "calendar/CalendarPainter.h"
#include "calendar/FormMain.h"
#include "base/Translator.h"
#include "base/QtPlatform.h"
#include "base/Services.h"
#include "config/ConfigData.h"
#include "common/DateFormat.h"
#include "config/Options.h"
#include "memos/UnitMemo.h"
#include "schemes/UnitSchemes.h"

using namespace kestrivel;

namespace {

constexpr TYmd kToday{2021, 2, 15};

// Every zone with background, frame, round corners and an outline.
TScheme FullScheme() {
    TScheme scheme = DefaultScheme();
    for (int k = 0; k < kZoneCount; ++k) {
        TSettings& zone = scheme.Settings[k];
        zone.BackSolid = true;
        zone.BackColor = 0x00C0E0F0 + static_cast<TColor>(k) * 0x10;
        zone.Frame = true;
        zone.FrameColor = 0x00404040;
        zone.RoundCorners = true;
        zone.Outline = true;
        zone.EffectColor = 0x00FFFFFF;
        zone.TextColor = 0x00200000;
        zone.Padding = k == zoneCalendar ? 4 : 1;
        zone.Spacing = 2;
    }
    return scheme;
}

// The largest values a scheme file can hold where they cost the most: every padding, spacing and font
// size 65535, on the scheme that paints every zone.
TScheme WorstScheme() {
    TScheme scheme = FullScheme();
    for (TSettings& zone : scheme.Settings) {
        zone.Padding = 65535;
        zone.Spacing = 65535;
        zone.FontSize = 65535;
    }
    return scheme;
}

// `count` memos of mixed types on distinct random dates from 1950 to 2150, never today.
void Fill(TMemoList& list, int count) {
    list.Clear();
    if (count == 0) {
        return;
    }
    std::mt19937 rng(12345);
    TDateValue first = 0, last = 0, today = 0;
    TryEncodeDate(1950, 1, 1, first);
    TryEncodeDate(2150, 12, 31, last);
    TryEncodeDate(kToday.Year, kToday.Month, kToday.Day, today);
    std::vector<TDateValue> days;
    for (TDateValue d = first; d <= last; d += 1) {
        if (d != today) {
            days.push_back(d);
        }
    }
    std::shuffle(days.begin(), days.end(), rng);
    days.resize(static_cast<size_t>(count));
    std::sort(days.begin(), days.end());
    for (TDateValue d : days) {
        list.Add("Memo;second line", static_cast<uint8_t>(rng() % 4), d);
    }
}

// Services with a fixed day and one screen; nothing else is asked of them while drawing.
class TBenchServices : public TServices {
public:
    TBenchServices() : TServices(nullptr, nullptr) {}
    QDateTime Now() const override {
        return QDateTime(QDate(kToday.Year, kToday.Month, kToday.Day), QTime(12, 0));
    }
    QList<QRect> ScreenRects() const override { return {QRect(0, 0, 1920, 1080)}; }
    bool CompositorActive(const QWidget& /*window*/) const override { return Compositor; }
    bool Compositor = false;
};

struct TSetup {
    TConfigData config{std::string()};
    TOptions& options = config.Options;
    TScheme& scheme = config.CurrentScheme;
    TMemoList& memos = config.Memos;
    TLocaleFormats formats;
    QtTextMeasurer measurer;
    TBenchServices services;
    TTranslator translator{[](const std::string& file) { return file; }};
};

void BM_Draw(benchmark::State& state, bool full) {
    TSetup setup;
    setup.options.ShowWeekdays = true;
    setup.options.ShowWeekNumbers = full;
    setup.options.ShowTodaysMemo = true;
    setup.scheme = full ? FullScheme() : DefaultScheme();
    Fill(setup.memos, static_cast<int>(state.range(0)));
    setup.memos.IndexOfDate(0.0); // any index is built before timing
    TfrmMain frmMain(setup.config, setup.services, setup.translator, setup.formats, setup.measurer);
    for (auto _ : state) {
        frmMain.DrawCalendar();
        benchmark::DoNotOptimize(frmMain.MaskRegion().rectCount());
    }
}

// The worst scheme, week numbers and initials on, and a memo of 65,535 lines dated today.
void BM_DrawWorst(benchmark::State& state) {
    TSetup setup;
    setup.options.ShowWeekdays = true;
    setup.options.ShowWeekNumbers = true;
    setup.options.ShowTodaysMemo = true;
    setup.scheme = WorstScheme();
    TDateValue today = 0;
    TryEncodeDate(kToday.Year, kToday.Month, kToday.Day, today);
    setup.memos.Add(std::string(65534, ';'), mtSingle, today);
    TfrmMain frmMain(setup.config, setup.services, setup.translator, setup.formats, setup.measurer);
    for (auto _ : state) {
        frmMain.DrawCalendar();
        benchmark::DoNotOptimize(frmMain.MaskRegion().rectCount());
    }
}

// The built-in scheme smoothed everywhere on a translucent window, as where a compositor runs.
void BM_DrawSmoothed(benchmark::State& state) {
    TSetup setup;
    setup.options.ShowTodaysMemo = true;
    Fill(setup.memos, static_cast<int>(state.range(0)));
    setup.memos.IndexOfDate(0.0);
    TfrmMain frmMain(setup.config, setup.services, setup.translator, setup.formats, setup.measurer);
    setup.services.Compositor = true;
    for (auto _ : state) {
        frmMain.DrawCalendar();
        benchmark::DoNotOptimize(frmMain.MaskRegion().rectCount());
    }
}

// The built-in scheme on a screen scaled by 2: the window's model, painting and mask at 192 dpi.
void BM_DrawScaled2x(benchmark::State& state) {
    constexpr int kDpi = 2 * kSurfaceDpi;
    TSetup setup;
    setup.options.ShowTodaysMemo = true;
    Fill(setup.memos, static_cast<int>(state.range(0)));
    setup.memos.IndexOfDate(0.0);
    const QtTextMeasurer measurer(WindowFont(kDpi), kDpi);
    const TNameValueList weekdays = BuiltInWeekdays();
    const std::string initials = weekdays.value(WeekdaysName);
    TMonthModel model;
    QImage buffer;
    for (auto _ : state) {
        TMonthInputs in;
        in.TodayYear = kToday.Year;
        in.TodayMonth = kToday.Month;
        in.TodayDay = kToday.Day;
        in.Options = &setup.options;
        in.Scheme = &setup.scheme;
        in.Memos = &setup.memos;
        in.Weekdays = initials;
        in.Formats = &setup.formats;
        in.Measurer = &measurer;
        GenerateData(in, model);
        DrawCalendar(buffer, model, &setup.scheme, {false, kDpi});
        benchmark::DoNotOptimize(OpaqueRegion(buffer).rectCount());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::RegisterBenchmark("draw_default", BM_Draw, false)
        ->Arg(0)
        ->Arg(65535)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("draw_full", BM_Draw, true)
        ->Arg(0)
        ->Arg(65535)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("draw_worst", BM_DrawWorst)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("draw_smoothed", BM_DrawSmoothed)
        ->Arg(0)
        ->Arg(65535)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("draw_scaled2x", BM_DrawScaled2x)
        ->Arg(0)
        ->Arg(65535)
        ->Unit(benchmark::kMillisecond);
    TFigureReporter reporter;
    reporter.RunAll(argc, argv);
    const auto figure = [&](const std::string& run) { return reporter.Milliseconds(run); };
    const double default0 = figure("draw_default/0");
    const double default65535 = figure("draw_default/65535");
    const double full0 = figure("draw_full/0");
    const double full65535 = figure("draw_full/65535");
    std::printf("figure: draw_default_0_ms %.4f ms\n", default0);
    std::printf("figure: draw_default_65535_ms %.4f ms\n", default65535);
    std::printf("figure: draw_full_0_ms %.4f ms\n", full0);
    std::printf("figure: draw_full_65535_ms %.4f ms\n", full65535);
    // The worse of the two schemes: what a full memo list costs a redraw.
    const double ratio =
        std::max(default0 > 0 ? default65535 / default0 : 0.0, full0 > 0 ? full65535 / full0 : 0.0);
    std::printf("figure: draw_ratio_65535_vs_0 %.3f x\n", ratio);
    // The worst legal scheme and memo against the ordinary calendar: a clipped image, at once.
    const double worst = figure("draw_worst");
    std::printf("figure: redraw_worst_vs_default_ratio %.3f x\n", default0 > 0 ? worst / default0 : 0.0);
    // Smoothing and a doubled resolution against today's default redraw, and what a full memo list
    // costs each of them.
    for (const char* name : {"draw_smoothed", "draw_scaled2x"}) {
        const double at0 = figure(std::string(name) + "/0");
        const double at65535 = figure(std::string(name) + "/65535");
        std::printf("figure: %s_vs_default_ratio %.3f x\n", name, default0 > 0 ? at0 / default0 : 0.0);
        std::printf("figure: %s_ratio_65535_vs_0 %.3f x\n", name, at0 > 0 ? at65535 / at0 : 0.0);
    }
    return 0;
}
