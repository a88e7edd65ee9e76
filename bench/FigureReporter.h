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
};

} // namespace kestrivel
