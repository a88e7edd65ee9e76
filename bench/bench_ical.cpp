// Export and import of a full memo list (65,535 memos) as iCalendar, beside the exchange format.
#include <benchmark/benchmark.h>

#include "FigureReporter.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/DateFormat.h"
#include "common/DateValue.h"
#include "memos/ICalendar.h"
#include "memos/UnitMemo.h"

using namespace kestrivel;

namespace {

std::filesystem::path workDir() {
    static const std::filesystem::path dir = [] {
        auto d =
            std::filesystem::temp_directory_path() / ("kestrivel_bench_ical_" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

// A full list: mixed types on distinct random dates between 1950 and 2150, 40-byte texts with a
// line break.
const TMemoList& fullList() {
    static const TMemoList list = [] {
        TMemoList out;
        std::mt19937 rng(65535);
        TDateValue first = 0, last = 0;
        TryEncodeDate(1950, 1, 1, first);
        TryEncodeDate(2150, 12, 31, last);
        std::vector<TDateValue> days;
        for (TDateValue d = first; d <= last; d += 1) {
            days.push_back(d);
        }
        std::shuffle(days.begin(), days.end(), rng);
        days.resize(TMemoList::kMaxCount);
        std::sort(days.begin(), days.end());
        for (TDateValue d : days) {
            out.Add(std::string(20, static_cast<char>('a' + rng() % 26)) + ";" + std::string(19, 'z'),
                    static_cast<uint8_t>(rng() % 4), d);
        }
        return out;
    }();
    return list;
}

const TLocaleFormats kFormats;

void BM_IcalExport(benchmark::State& state) {
    const TMemoList& list = fullList();
    const std::string path = (workDir() / "out.ics").string();
    for (auto _ : state) {
        if (!ExportMemosToICalendar(list, 0, list.Count() - 1, path, 1'800'000'000)) {
            state.SkipWithError("export failed");
            break;
        }
    }
}
BENCHMARK(BM_IcalExport)->Unit(benchmark::kMillisecond);

void BM_IcalImport(benchmark::State& state) {
    const TMemoList& list = fullList();
    const std::string path = (workDir() / "in.ics").string();
    ExportMemosToICalendar(list, 0, list.Count() - 1, path, 1'800'000'000);
    for (auto _ : state) {
        TMemoList back;
        ICalendarImportCounts counts;
        if (!ImportMemosFromICalendar(back, path, counts) || back.Count() != TMemoList::kMaxCount) {
            state.SkipWithError("import did not read the whole file");
            break;
        }
    }
}
BENCHMARK(BM_IcalImport)->Unit(benchmark::kMillisecond);

void BM_ExchangeExport(benchmark::State& state) {
    const TMemoList& list = fullList();
    const std::string path = (workDir() / "out.txt").string();
    for (auto _ : state) {
        if (!list.ExportToFile(0, list.Count() - 1, path, kFormats)) {
            state.SkipWithError("export failed");
            break;
        }
    }
}
BENCHMARK(BM_ExchangeExport)->Unit(benchmark::kMillisecond);

void BM_ExchangeImport(benchmark::State& state) {
    const TMemoList& list = fullList();
    const std::string path = (workDir() / "in.txt").string();
    list.ExportToFile(0, list.Count() - 1, path, kFormats);
    for (auto _ : state) {
        TMemoList back;
        back.ImportFromFile(path, kFormats);
        if (back.Count() != TMemoList::kMaxCount) {
            state.SkipWithError("import did not read the whole file");
            break;
        }
    }
}
BENCHMARK(BM_ExchangeImport)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    kestrivel::TFigureReporter reporter;
    reporter.RunAll(argc, argv);
    const std::pair<const char*, const char*> figures[] = {
        {"BM_IcalExport", "ical_export_65535_ms"},
        {"BM_IcalImport", "ical_import_65535_ms"},
        {"BM_ExchangeExport", "exchange_export_65535_ms"},
        {"BM_ExchangeImport", "exchange_import_65535_ms"},
    };
    for (const auto& [run, figure] : figures) {
        if (const auto it = reporter.milliseconds.find(run); it != reporter.milliseconds.end()) {
            std::printf("figure: %s %.1f ms\n", figure, it->second);
        }
    }
    std::filesystem::remove_all(workDir());
    return 0;
}
