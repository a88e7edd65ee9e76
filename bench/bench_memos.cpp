// The memo queries of one calendar redraw at growing list sizes, and Memos.dat at full size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/DateValue.h"
#include "memos/UnitMemo.h"

using namespace kestrivel;

namespace {

std::filesystem::path WorkDir() {
    static const std::filesystem::path dir = [] {
        auto d =
            std::filesystem::temp_directory_path() / ("kestrivel_bench_memos_" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

// `count` memos of mixed types on distinct random dates between 1950 and 2150, 40-byte texts.
void Fill(TMemoList& list, int count) {
    std::mt19937 rng(static_cast<unsigned>(count));
    TDateValue first = 0, last = 0;
    TryEncodeDate(1950, 1, 1, first);
    TryEncodeDate(2150, 12, 31, last);
    std::vector<TDateValue> days;
    for (TDateValue d = first; d <= last; d += 1) {
        days.push_back(d);
    }
    std::shuffle(days.begin(), days.end(), rng);
    days.resize(static_cast<size_t>(count));
    std::sort(days.begin(), days.end());
    list.Clear();
    for (TDateValue d : days) {
        list.Add(std::string(40, static_cast<char>('a' + rng() % 26)), static_cast<uint8_t>(rng() % 4), d);
    }
}

// What a redraw asks: four types for each day of the month, then today's memo.
void BM_Redraw(benchmark::State& state) {
    TMemoList list;
    Fill(list, static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(list.IndexOfDate(0.0)); // the index is built before timing
    int month = 0;
    for (auto _ : state) {
        const uint16_t year = static_cast<uint16_t>(2000 + month / 12);
        const uint16_t m = static_cast<uint16_t>(month % 12 + 1);
        int found = 0;
        for (uint16_t day = 1; day <= 31; ++day) {
            for (uint8_t type = 0; type < 4; ++type) {
                found += list.FindMemo(year, m, day, type) >= 0;
            }
        }
        found += list.IndexOfDate(year, m, 15) >= 0;
        benchmark::DoNotOptimize(found);
        month = (month + 1) % 600;
    }
}
BENCHMARK(BM_Redraw)->Arg(10)->Arg(1000)->Arg(65535)->Unit(benchmark::kMicrosecond);

std::string FullFile() {
    static const std::string path = [] {
        TMemoList list;
        Fill(list, TMemoList::kMaxCount);
        const std::string p = (WorkDir() / "Memos65535.dat").string();
        list.SaveToFile(p);
        return p;
    }();
    return path;
}

void BM_Load65535(benchmark::State& state) {
    const std::string path = FullFile();
    TMemoList list;
    for (auto _ : state) {
        benchmark::DoNotOptimize(list.LoadFromFile(path));
    }
    if (list.Count() != TMemoList::kMaxCount) {
        state.SkipWithError("the file did not load whole");
    }
}
BENCHMARK(BM_Load65535)->Unit(benchmark::kMillisecond);

// A load followed by the first redraw, which rebuilds the index.
void BM_LoadAndFirstRedraw65535(benchmark::State& state) {
    const std::string path = FullFile();
    TMemoList list;
    for (auto _ : state) {
        list.LoadFromFile(path);
        int found = 0;
        for (uint16_t day = 1; day <= 31; ++day) {
            for (uint8_t type = 0; type < 4; ++type) {
                found += list.FindMemo(2024, 5, day, type) >= 0;
            }
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_LoadAndFirstRedraw65535)->Unit(benchmark::kMillisecond);

// The save includes the fsync of the file and of its folder.
void BM_Save65535(benchmark::State& state) {
    TMemoList list;
    Fill(list, TMemoList::kMaxCount);
    const std::string path = (WorkDir() / "Saved.dat").string();
    for (auto _ : state) {
        if (!list.SaveToFile(path)) {
            state.SkipWithError("save failed");
            break;
        }
    }
}
BENCHMARK(BM_Save65535)->Unit(benchmark::kMillisecond);

// Keeps the mean real time of each run, in the run's own unit, for the figure lines.
class TCollector : public benchmark::ConsoleReporter {
public:
    // No colours: the figure lines that follow must start clean.
    TCollector() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Get(const std::string& name) const {
        const auto it = times.find(name);
        return it == times.end() ? -1.0 : it->second;
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    TCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();

    const double r10 = collector.Get("BM_Redraw/10");
    const double r1000 = collector.Get("BM_Redraw/1000");
    const double r65535 = collector.Get("BM_Redraw/65535");
    if (r10 > 0 && r65535 > 0) {
        std::printf("figure: memo_redraw_10_us %.3f us\n", r10);
        std::printf("figure: memo_redraw_1000_us %.3f us\n", r1000);
        std::printf("figure: memo_redraw_65535_us %.3f us\n", r65535);
        std::printf("figure: memo_query_ratio_65535_vs_10 %.2f x\n", r65535 / r10);
    }
    if (collector.Get("BM_Load65535") >= 0) {
        std::printf("figure: memo_load_65535_ms %.2f ms\n", collector.Get("BM_Load65535"));
    }
    if (collector.Get("BM_LoadAndFirstRedraw65535") >= 0) {
        std::printf("figure: memo_load_first_redraw_65535_ms %.2f ms\n",
                    collector.Get("BM_LoadAndFirstRedraw65535"));
    }
    if (collector.Get("BM_Save65535") >= 0) {
        std::printf("figure: memo_save_65535_ms %.2f ms\n", collector.Get("BM_Save65535"));
    }
    std::filesystem::remove_all(WorkDir());
    return 0;
}
