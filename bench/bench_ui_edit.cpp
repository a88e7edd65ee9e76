// From the memo editor's "Ok" to the new calendar image: the memo added to the list (with its index),
// Memos.dat written with its syncs, the calendar laid out, painted and cut by its mask. A user who
// adds a memo should see it within a display frame also when the list is full.
#include <benchmark/benchmark.h>

#include "FigureReporter.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <QApplication>
#include <QDateTime>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include "calendar/FormMain.h"
#include "base/Translator.h"
#include "base/QtPlatform.h"
#include "base/Services.h"
#include "common/DateFormat.h"
#include "common/DateValue.h"
#include "config/ConfigData.h"
#include "memos/FormMemo.h"
#include "memos/UnitMemo.h"

using namespace kestrivel;

namespace {

using Clock = std::chrono::steady_clock;

// `count` memos of mixed types on consecutive days from 1 January 1800, far from today's month.
void Fill(TMemoList& list, int count) {
    list.Clear();
    TDateValue first = 0;
    TryEncodeDate(1800, 1, 1, first);
    for (int i = 0; i < count; ++i) {
        list.Add("Memo " + std::to_string(i) + ";second line", static_cast<uint8_t>(i % 4), first + i);
    }
}

// The list holds `memos` once the new memo is in: the one added today is taken out again between
// iterations, untimed.
void BM_EditToRedraw(benchmark::State& state) {
    QTemporaryDir dir;
    TConfigData config{dir.path().toStdString()};
    Fill(config.Memos, static_cast<int>(state.range(0)) - 1);
    TServices services(nullptr, nullptr);
    const TLocaleFormats formats;
    const QtTextMeasurer measurer;
    const TTranslator translator([&config](const std::string& file) { return config.LanguagePath(file); });
    TfrmMain calendar(config, services, translator, formats, measurer);
    calendar.DrawCalendar();
    TfrmMemo editor(services);
    Clock::time_point ok;
    Clock::time_point drawn;
    editor.SetModalLoop([&](TfrmMemo& memo) {
        memo.memText()->setPlainText(QStringLiteral("Dentist at 9\nbring the card"));
        ok = Clock::now();
        memo.btnOkClick();
    });
    const QDate today = services.Now().date();
    for (auto _ : state) {
        EditMemoOfDay(editor, config, services, today.year(), today.month(), today.day(), [&] {
            calendar.DrawCalendar();
            drawn = Clock::now();
        });
        state.SetIterationTime(std::chrono::duration<double>(drawn - ok).count());
        const int added = config.Memos.IndexOfDate(today.year(), today.month(), today.day());
        if (added < 0 || config.Memos.Count() != state.range(0)) {
            state.SkipWithError("the memo was not added");
            break;
        }
        config.Memos.Delete(added);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::RegisterBenchmark("edit_to_redraw", BM_EditToRedraw)
        ->Arg(10)
        ->Arg(65535)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    TFigureReporter reporter;
    reporter.RunAll(argc, argv);
    const auto figure = [&](const std::string& run) { return reporter.Milliseconds(run); };
    const double small = figure("edit_to_redraw/10/manual_time");
    const double full = figure("edit_to_redraw/65535/manual_time");
    std::printf("figure: edit_to_redraw_10_ms %.4f ms\n", small);
    std::printf("figure: edit_to_redraw_65535_ms %.4f ms\n", full);
    std::printf("figure: edit_to_redraw_ratio_65535_vs_10 %.3f x\n", small > 0 ? full / small : 0.0);
    return 0;
}
