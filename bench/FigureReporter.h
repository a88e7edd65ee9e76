#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace kestrivel {

// The console report, keeping each run's mean wall time by name for the `figure:` lines a benchmark
// program prints at the end.
class TFigureReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> milliseconds;
    void ReportRuns(const std::vector<Run>& runs) override;

    // Reads the command line and runs the registered benchmarks, reporting here.
    void RunAll(int& argc, char** argv);
    // The mean wall time of a run in milliseconds; 0 when it did not run.
    double Milliseconds(const std::string& run) const;
};

} // namespace kestrivel
