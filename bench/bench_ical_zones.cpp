// What a server's object costs when it holds many zones, or a very long line: time per event with
// ten times the zones and events, and time per byte with a ten times longer SEQUENCE line. Both
// ratios stay near 1 when no step grows with the square of the input.
#include <benchmark/benchmark.h>

#include "FigureReporter.h"

#include <cstdio>
#include <map>
#include <vector>
#include <string>

#include "ical/ICalendarCodec.h"

using namespace kestrivel;

namespace {

// One object: `count` zones and `count` events, the master and its changed occurrences, each in
// its own zone, the last zone first.
std::string manyZones(int count) {
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Bench//EN\r\n";
    for (int i = 0; i < count; ++i) {
        text += "BEGIN:VTIMEZONE\r\nTZID:Zone " + std::to_string(i) +
                "\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0100\r\n"
                "END:STANDARD\r\nEND:VTIMEZONE\r\n";
    }
    for (int i = count - 1; i >= 0; --i) {
        text += "BEGIN:VEVENT\r\nUID:many@bench\r\n";
        if (i > 0) {
            text += "RECURRENCE-ID:20260101T120000Z\r\n";
        }
        text += "DTSTART;TZID=Zone " + std::to_string(i) + ":20260101T120000\r\nSUMMARY:E\r\nEND:VEVENT\r\n";
    }
    return text + "END:VCALENDAR\r\n";
}

void BM_ZonesPerEvent(benchmark::State& state) {
    const std::string data = manyZones(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TEventMemo read;
        if (!DecodeEventMemo(data, read)) {
            state.SkipWithError("the object did not read");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ZonesPerEvent)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_PatchLongSequence(benchmark::State& state) {
    const std::string data =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Bench//EN\r\nBEGIN:VEVENT\r\nUID:s@bench\r\n"
        "DTSTART;VALUE=DATE:20260101\r\nSUMMARY:E\r\nSEQUENCE:" +
        std::string(static_cast<size_t>(state.range(0)), '7') + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    TEventMemo read;
    DecodeEventMemo(data, read);
    TMemo edited = read.Memo;
    edited.Text = "F";
    for (auto _ : state) {
        if (PatchEventMemo(data, edited, 1'800'000'000).empty()) {
            state.SkipWithError("the patch failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PatchLongSequence)->Arg(2 << 20)->Arg(20 << 20)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    kestrivel::TFigureReporter reporter;
    reporter.RunAll(argc, argv);
    // Ten times the input in ten times the time: a ratio of 1.
    struct Ratio {
        const char* Large;
        const char* Small;
        const char* Figure;
    };
    const Ratio ratios[] = {
        {"BM_ZonesPerEvent/20000", "BM_ZonesPerEvent/2000", "ical_zones_20000_per_2000_ratio"},
        {"BM_PatchLongSequence/20971520", "BM_PatchLongSequence/2097152", "ical_patch_20mb_per_2mb_ratio"},
    };
    for (const Ratio& ratio : ratios) {
        const auto large = reporter.milliseconds.find(ratio.Large),
                   small = reporter.milliseconds.find(ratio.Small);
        if (large != reporter.milliseconds.end() && small != reporter.milliseconds.end() &&
            small->second > 0) {
            std::printf("figure: %s %.2f x\n", ratio.Figure, large->second / (10 * small->second));
        }
    }
    return 0;
}
