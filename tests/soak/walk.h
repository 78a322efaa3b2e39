// One machine under the soak: applies events and checks, after each, that
// the verifier found nothing, the touch driver's point queue holds at most
// 10 points, virtual time stayed bounded (nothing waited for ever), and
// the pointer went only where a report put it. Finish() shuts the machine
// down and checks that no pool, request, device or handle was left.
#pragma once

#include "tests/soak/event.h"
#include "tests/soak/point_oracle.h"

#include "machine/machine.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace soak {

struct Finding {
    std::string rule; // a verifier rule, or the soak's own ("queue-overflow", ...)
    std::string detail;
};

struct WalkCounts {
    uint64_t events = 0;
    uint64_t skipped = 0; // events that did not apply in that state
    uint64_t checks = 0;  // invariant checks passed
    uint64_t failedAllocations = 0;
    uint32_t deepestQueue = 0; // the most points the touch driver held
    uint64_t virtualMs = 0;
};

class Walk {
public:
    explicit Walk(platform::win32::OsKind os);
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;

    std::optional<Finding> Step(const Event& event);
    std::optional<Finding> Finish();

    const WalkCounts& Counts() const { return counts_; }
    OracleCounts Oracle() const { return oracle_.Counts(); }
    machine::Machine& Machine() { return machine_; }

private:
    bool Apply(const Event& event); // false: skipped
    bool ApplyScreen(const Event& event);
    bool ApplyControl(const Event& event);
    void Flap();
    void ArmLowResources(uint16_t pass, uint16_t fail);
    std::optional<Finding> Check(uint64_t started);

    // SOAK_TRACE=1 prints each event and the machine's trace, to follow a
    // replayed finding.
    const bool print_ = std::getenv("SOAK_TRACE") != nullptr;
    PointOracle oracle_;
    machine::Machine machine_;
    WalkCounts counts_;
    bool standby_ = false;
    uint64_t allocationsSeen_ = 0;
    uint64_t failFrom_ = 0;
    uint64_t failUntil_ = 0;
};

} // namespace soak
