// Keeps each benchmark's median real time (in the benchmark's unit) while
// printing as usual, so a program can compare figures of the same run.
#pragma once

#include "zt/testhost.h"

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class MedianReporter : public benchmark::ConsoleReporter {
  public:
    // Plain text: the figures are read in logs as often as on a terminal.
    MedianReporter() : benchmark::ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.aggregate_name == "median" && !run.error_occurred)
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    // The median of `name`, or a negative value when it did not run.
    double median(const std::string& name) const {
        const auto it = medians.find(name);
        return it == medians.end() ? -1.0 : it->second;
    }
    std::map<std::string, double> medians;
};

// Runs the benchmarks the command line names on the test host, keeping
// their medians in `reporter`.
inline void run_benchmarks(int argc, char** argv, MedianReporter& reporter) {
    zt::testhost::install();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
