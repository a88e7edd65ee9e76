#include "FigureReporter.h"

namespace kestrivel {

void TFigureReporter::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
            milliseconds[run.benchmark_name()] = run.real_accumulated_time / run.iterations * 1e3;
        }
    }
}

void TFigureReporter::RunAll(int& argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(this);
    benchmark::Shutdown();
}

double TFigureReporter::Milliseconds(const std::string& run) const {
    const auto it = milliseconds.find(run);
    return it == milliseconds.end() ? 0.0 : it->second;
}

} // namespace kestrivel
