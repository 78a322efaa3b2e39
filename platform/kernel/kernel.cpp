#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"
#include "platform/kernel/zw_handles.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace platform::kernel {

namespace detail {
namespace {
std::atomic<Kernel::State*> gCurrent{nullptr};
} // namespace

Kernel::State& K() {
    Kernel::State* state = gCurrent.load(std::memory_order_acquire);
    if (!state) {
        std::fprintf(stderr, "kernel stand-in: a Windows function was called with no Kernel\n");
        std::abort();
    }
    return *state;
}
} // namespace detail

using detail::K;

Kernel::Kernel() : state_(std::make_unique<State>(*this)) {
    State* expected = nullptr;
    if (!detail::gCurrent.compare_exchange_strong(expected, state_.get())) {
        std::fprintf(stderr, "kernel stand-in: only one Kernel may exist at a time\n");
        std::abort();
    }
    detail::ThreadIrql() = PASSIVE_LEVEL;
    detail::ThreadDriver() = nullptr;
}

Kernel::~Kernel() {
    CheckForLeaks();
    state_->clock.DropAll();
    state_.reset();
    detail::gCurrent.store(nullptr, std::memory_order_release);
}

Kernel& Kernel::Current() {
    return K().owner;
}

Kernel* Kernel::Active() {
    Kernel::State* state = detail::gCurrent.load(std::memory_order_acquire);
    return state ? &state->owner : nullptr;
}

uint64_t Kernel::Now() const {
    return state_->clock.Now();
}
ULONG Kernel::TickLength() const {
    return state_->clock.TickLength();
}
void Kernel::SetTickLength(ULONG units) {
    state_->clock.SetTickLength(units);
}
void Kernel::AdvanceTime(uint64_t units) {
    state_->clock.AdvanceTime(units);
}

Kernel::EventId Kernel::Schedule(uint64_t dueTime, std::function<void()> fn, KIRQL irql) {
    return state_->clock.Schedule(dueTime, std::move(fn), irql);
}
void Kernel::Cancel(EventId id) {
    state_->clock.Cancel(id);
}
bool Kernel::RunNextEvent(uint64_t deadline) {
    return state_->clock.RunNextEvent(deadline);
}
void Kernel::RunDueEvents() {
    state_->clock.RunDueEvents();
}

void Kernel::SetLockReleaseHook(std::function<void(PKSPIN_LOCK)> hook) {
    state_->lockReleaseHooked = false;
    state_->lockReleaseHook = std::move(hook);
    state_->lockReleaseHooked = static_cast<bool>(state_->lockReleaseHook);
}

void Kernel::SetRealThreadWaits(bool enable, std::chrono::milliseconds cap) {
    state_->dispatcher.SetRealThreadWaits(enable, cap);
}

void Kernel::SetViolationHandler(ViolationHandler handler) {
    state_->verifier.SetHandler(std::move(handler));
}
void Kernel::ReportViolation(std::string rule, std::string detail) {
    state_->verifier.Report(std::move(rule), std::move(detail));
}
const std::vector<Violation>& Kernel::Violations() const {
    return state_->verifier.All();
}

void Kernel::CheckForLeaks() {
    detail::Findings findings;
    state_->pool.ReportLeaks(nullptr, "at teardown");
    state_->irps.ReportLeaks(nullptr, "at teardown", findings);
    state_->workItems.ReportLeaks(nullptr, "at teardown", findings);
    KeyHandleTable::Of(*this).ReportLeaks(*this);
    std::lock_guard lock(state_->objects.mutex);
    for (auto& [object, device] : state_->objects.devices) {
        if (device->deleted || device->leakReported)
            continue;
        device->leakReported = true;
        findings.Add("device-leak", state_->objects.Describe(object) + " never deleted");
    }
}

void Kernel::SetAllocationFilter(AllocationFilter filter) {
    state_->gate.SetFilter(std::move(filter));
}

SIZE_T Kernel::PoolBytesFrom(const void* address) const {
    return state_->pool.BytesFrom(address);
}

size_t Kernel::OutstandingPoolBlocks(ULONG tag) const {
    return state_->pool.Outstanding(tag);
}
size_t Kernel::OutstandingIrps() const {
    return state_->irps.Outstanding();
}

const std::vector<InterfaceStateChange>& Kernel::InterfaceStateChanges() const {
    return state_->interfaces.changes;
}

registry::Store& Kernel::Registry() {
    return state_->registry;
}

PDEVICE_OBJECT Kernel::FindDevice(const std::string& name) const {
    std::lock_guard lock(state_->objects.mutex);
    return state_->objects.Resolve(name);
}

std::vector<std::pair<std::string, std::string>> Kernel::DosDeviceLinks() const {
    std::lock_guard lock(state_->objects.mutex);
    std::vector<std::pair<std::string, std::string>> links;
    const std::string prefix = "\\??\\";
    for (const auto& [key, entry] : state_->objects.names) {
        if (key.compare(0, prefix.size(), prefix) != 0 || entry.linkTarget.empty())
            continue;
        size_t slash = entry.display.find('\\', 1);
        links.emplace_back(entry.display.substr(slash + 1), entry.linkTarget);
    }
    return links;
}

} // namespace platform::kernel
