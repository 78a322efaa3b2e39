// Runs the benchmarks, then prints the ratio of the two sides of the shared
// sample stream (ours / tslib, per sample) and the process's peak resident
// memory.
#include "bench/peak_memory.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

// The console report, remembering the per-sample time of each side.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so that a run kept in a file reads plainly.
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            auto found = run.counters.find("per_sample");
            if (found != run.counters.end() && run.run_type == Run::RT_Iteration)
                perSample_[run.benchmark_name()] = found->second.value * 1e9; // ns
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatio(const std::string& ours, const std::string& theirs) const {
        auto a = perSample_.find(ours), b = perSample_.find(theirs);
        if (a == perSample_.end() || b == perSample_.end() || b->second <= 0)
            return;
        std::printf("ours/tslib per sample: %.3f (%.1f ns / %.1f ns)\n", a->second / b->second,
                    a->second, b->second);
    }

private:
    std::map<std::string, double> perSample_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("BM_StreamOurs", "BM_StreamTslib");
    std::printf("peak resident memory: %.1f MiB\n", bench::PeakResidentMiB());
    benchmark::Shutdown();
    return 0;
}
