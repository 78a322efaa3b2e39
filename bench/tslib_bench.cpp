// tslib's dejitter and linear filters over the shared sample stream, read
// from an event device as tslib reads a touch screen.
#include "bench/evdev_file.h"
#include "bench/peak_memory.h"
#include "bench/sample_stream.h"
#include "bench/tslib_chain.h"

#include <benchmark/benchmark.h>

namespace bench {
namespace {

void BM_StreamTslib(benchmark::State& state) {
    EvdevFile device(SampleStream());
    TslibChain chain(device);
    size_t points = 0;
    for (auto _ : state)
        points += chain.ReadAll(256); // its best case: few calls
    if (points == 0)
        state.SkipWithError("no sample came out of tslib");
    state.counters["per_sample"] = benchmark::Counter(
        static_cast<double>(SampleStream().size()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["peak_rss_MiB"] = PeakResidentMiB();
}
BENCHMARK(BM_StreamTslib)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace bench
