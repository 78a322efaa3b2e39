// What a script run carries from line to line: the machine (made with the
// defaults, as the first line's `machine` verb says, or as the state folder
// kept it, when first needed) and where the next `expect` starts looking in
// the trace.
#pragma once

#include "machine/machine.h"

#include <functional>
#include <memory>
#include <string>

namespace touchsim {

struct RunOptions {
    machine::DriverCatalogue drivers = machine::DriverCatalogue::Product();
    machine::ProgramCatalogue programs = machine::ProgramCatalogue::Product();
    // Each trace line as it is emitted.
    std::function<void(const std::string&)> traceOut;
    // A host folder keeping the machine between runs (machine/machine_state.h):
    // when it holds one, the machine is loaded from it and booted when first
    // needed; saved back after a run that ended well. Empty: none.
    std::string stateDir;
};

class Session {
public:
    explicit Session(const RunOptions& options) : options_(options) {}

    bool HasMachine() const { return machine_ != nullptr; }
    void Configure(const machine::MachineConfig& config) {
        config_ = config;
        configured_ = true;
    }
    machine::Machine& Machine();
    // Destroys the machine (its teardown runs first); safe without one.
    void EndMachine();

    size_t expectFrom = 0; // index into the machine's trace

private:
    const RunOptions& options_;
    machine::MachineConfig config_;
    bool configured_ = false;
    std::unique_ptr<machine::Machine> machine_;
};

} // namespace touchsim
