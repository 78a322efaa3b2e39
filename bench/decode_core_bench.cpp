// The decoding core alone (decode, stability window, map, queue, the input
// driver's take), one report at a time and over the shared sample stream.
#include "bench/heap_counter.h"
#include "bench/peak_memory.h"
#include "bench/sample_stream.h"
#include "bench/touch_core.h"

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

namespace bench {
namespace {

using Report = std::array<UCHAR, 8>;

const std::vector<Report>& StreamReports() {
    static const std::vector<Report> reports = [] {
        std::vector<Report> out(SampleStream().size());
        for (size_t i = 0; i < out.size(); ++i)
            ToReport(SampleStream()[i], out[i].data());
        return out;
    }();
    return reports;
}

// The clock moves one report interval per report, as the screen sends them.
void BM_DecodeCore(benchmark::State& state) {
    TouchCore core;
    const std::vector<Report>& reports = StreamReports();
    size_t next = 0;
    int points = 0;
    const uint64_t heapBefore = HeapAllocations();
    for (auto _ : state) {
        core.Kernel().AdvanceTime(TouchCore::kReportInterval);
        points += core.Decode(reports[next].data());
        next = next + 1 == reports.size() ? 0 : next + 1;
    }
    benchmark::DoNotOptimize(points);
    state.counters["heap_allocs_per_report"] = benchmark::Counter(
        static_cast<double>(HeapAllocations() - heapBefore), benchmark::Counter::kAvgIterations);
    state.counters["peak_rss_MiB"] = PeakResidentMiB();
}
BENCHMARK(BM_DecodeCore);

// The same steps without the touch lock, the dispatch level and the held
// reads: what the decoding costs apart from the kernel stand-in's locking.
void BM_DecodeSteps(benchmark::State& state) {
    TouchCore core;
    PTOUCH_DEVICE_EXTENSION device = core.Device();
    const std::vector<Report>& reports = StreamReports();
    size_t next = 0;
    int points = 0;
    for (auto _ : state) {
        core.Kernel().AdvanceTime(TouchCore::kReportInterval);
        const UCHAR* report = reports[next].data();
        USHORT x = static_cast<USHORT>(report[2] | report[3] << 8);
        USHORT y = static_cast<USHORT>(report[4] | report[5] << 8);
        StabilizePoint(device, report[1], &x, &y);
        MapPoint(device, x, y, &x, &y);
        PushPoint(device, report[1] == TOUCH_STATUS_HOLD, x, y);
        TOUCH_POINT point;
        while (PopPoint(device, &point))
            ++points;
        next = next + 1 == reports.size() ? 0 : next + 1;
    }
    benchmark::DoNotOptimize(points);
}
BENCHMARK(BM_DecodeSteps);

// The harness alone: the virtual clock moved one report interval.
void BM_ClockStep(benchmark::State& state) {
    TouchCore core;
    for (auto _ : state)
        core.Kernel().AdvanceTime(TouchCore::kReportInterval);
}
BENCHMARK(BM_ClockStep);

// The whole stream per iteration, for the side-by-side ratio.
void BM_StreamOurs(benchmark::State& state) {
    TouchCore core;
    const std::vector<Report>& reports = StreamReports();
    size_t points = 0;
    for (auto _ : state) {
        for (const Report& report : reports) {
            core.Kernel().AdvanceTime(TouchCore::kReportInterval);
            points += static_cast<size_t>(core.Decode(report.data()));
        }
    }
    if (points == 0)
        state.SkipWithError("no point came out of the decoding core");
    state.counters["per_sample"] = benchmark::Counter(
        static_cast<double>(reports.size()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["peak_rss_MiB"] = PeakResidentMiB();
}
BENCHMARK(BM_StreamOurs)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace bench
