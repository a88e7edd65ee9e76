// Showing the Memos tab of the configuration dialog (refill from the memo list, then painting the
// grid) with 10 memos and with the full 65,535: the grid reads only the rows on screen, so the two
// should cost about the same.
#include <benchmark/benchmark.h>

#include "FigureReporter.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <QApplication>
#include <QPixmap>
#include <QTableView>

#include "base/Services.h"
#include "common/DateFormat.h"
#include "common/DateValue.h"
#include "config/ConfigData.h"
#include "lang/MessageTable.h"
#include "memos/FormMemo.h"
#include "memos/MemosTab.h"
#include "memos/UnitMemo.h"

using namespace kestrivel;

namespace {

// `count` memos of mixed types on consecutive days from 1 January 1900.
void Fill(TMemoList& list, int count) {
    list.Clear();
    TDateValue first = 0;
    TryEncodeDate(1900, 1, 1, first);
    for (int i = 0; i < count; ++i) {
        list.Add("Memo " + std::to_string(i) + ";second line", static_cast<uint8_t>(i % 4), first + i);
    }
}

void BM_ShowMemosTab(benchmark::State& state) {
    TConfigData config{std::string()};
    Fill(config.Memos, static_cast<int>(state.range(0)));
    TServices services(nullptr, nullptr);
    TfrmMemo editor(services);
    const TLocaleFormats formats;
    const TNameValueList valueNames = BuiltInValueNames();
    MemosTab tab(config, services, editor, formats, valueNames);
    tab.resize(417, 175);
    tab.show();
    for (auto _ : state) {
        tab.DisplayMemos();
        const QPixmap shown = tab.grab();
        benchmark::DoNotOptimize(shown.cacheKey());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::RegisterBenchmark("memos_tab_show", BM_ShowMemosTab)
        ->Arg(10)
        ->Arg(65535)
        ->Unit(benchmark::kMillisecond);
    TFigureReporter reporter;
    reporter.RunAll(argc, argv);
    const auto figure = [&](const std::string& run) { return reporter.Milliseconds(run); };
    const double small = figure("memos_tab_show/10");
    const double full = figure("memos_tab_show/65535");
    std::printf("figure: memos_tab_show_10_ms %.4f ms\n", small);
    std::printf("figure: memos_tab_show_65535_ms %.4f ms\n", full);
    std::printf("figure: memos_tab_show_ratio_65535_vs_10 %.3f x\n", small > 0 ? full / small : 0.0);
    return 0;
}
