// One report end to end on the machine: from the screen's report through
// the USB transfer's completion, the touch driver and the input driver to the
// pointer event (2000/XP: the mouse class; 98: the HID class's report and its
// pointer event). Counts the allocations the kernel is asked for on that
// path (pool, requests, work items) and the host heap allocations.
#include "bench/heap_counter.h"
#include "bench/peak_memory.h"
#include "bench/sample_stream.h"
#include "machine/machine.h"
#include "platform/trace/trace.h"
#include "platform/win32/input.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace bench {
namespace {

using platform::win32::OsKind;

// Arguments: the system (0: xp, 1: 98) and whether the trace is kept (1) or
// its sink removed (0), which leaves the report path without the machine's
// record of it.
void BM_ReportEndToEnd(benchmark::State& state) {
    const OsKind os = state.range(0) == 0 ? OsKind::WindowsXP : OsKind::Windows98;
    machine::MachineConfig config;
    config.os = os;
    machine::Machine m(config);
    m.PlugScreen();
    if (state.range(1) == 0)
        platform::trace::SetSink({});
    using Kind = platform::kernel::AllocationRequest::Kind;
    uint64_t irps = 0, pool = 0, other = 0;
    m.Kernel().SetAllocationFilter([&](const platform::kernel::AllocationRequest& request) {
        ++(request.kind == Kind::Irp ? irps : request.kind == Kind::Pool ? pool : other);
        return false;
    });
    const std::vector<Sample>& stream = SampleStream();
    size_t next = 0;
    const POINT start = platform::win32::PointerPosition();
    const uint64_t heapBefore = HeapAllocations();
    for (auto _ : state) {
        const Sample& sample = stream[next];
        m.SendReport(sample.status, sample.x, sample.y);
        next = next + 1 == stream.size() ? 0 : next + 1;
    }
    const uint64_t heap = HeapAllocations() - heapBefore;
    m.Kernel().SetAllocationFilter(nullptr);
    // A path that never reaches the pointer would be measured cheap.
    const POINT end = platform::win32::PointerPosition();
    if (end.x == start.x && end.y == start.y)
        state.SkipWithError("the reports never moved the pointer");
    else if (!m.Violations().empty())
        state.SkipWithError(("verifier: " + m.Violations().front().rule).c_str());
    auto perReport = [](uint64_t count) {
        return benchmark::Counter(static_cast<double>(count), benchmark::Counter::kAvgIterations);
    };
    state.counters["irps_per_report"] = perReport(irps);
    state.counters["pool_per_report"] = perReport(pool);
    state.counters["other_kernel_per_report"] = perReport(other);
    state.counters["heap_per_report"] = perReport(heap);
    state.counters["peak_rss_MiB"] = PeakResidentMiB();
}
BENCHMARK(BM_ReportEndToEnd)
    ->ArgNames({"os98", "traced"})
    ->Args({0, 1})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Args({1, 0});

} // namespace
} // namespace bench
