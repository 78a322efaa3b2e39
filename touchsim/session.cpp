#include "touchsim/session.h"

#include "machine/machine_error.h"
#include "machine/machine_state.h"

namespace touchsim {

machine::Machine& Session::Machine() {
    if (!machine_) {
        const bool kept = !options_.stateDir.empty() && machine::HasMachineState(options_.stateDir);
        machine::MachineConfig config = config_;
        if (kept) {
            config = machine::KeptConfig(options_.stateDir);
            // A `machine` line may only repeat what the kept machine is.
            if (configured_ &&
                (config_.os != config.os || config_.screenWidth != config.screenWidth ||
                 config_.screenHeight != config.screenHeight ||
                 config_.usbdiVersion != config.usbdiVersion))
                throw machine::MachineError("the machine kept in " + options_.stateDir +
                                            " is os=" + machine::OsName(config.os) +
                                            " screen=" + std::to_string(config.screenWidth) + "x" +
                                            std::to_string(config.screenHeight));
        }
        machine_ = std::make_unique<machine::Machine>(config, options_.drivers, options_.programs);
        machine_->SetTraceListener(options_.traceOut);
        if (kept) {
            // It comes up at once, as after a restart, whatever the first line.
            machine::LoadMachineState(*machine_, options_.stateDir);
            machine_->Boot();
        }
    }
    return *machine_;
}

void Session::EndMachine() {
    machine_.reset();
}

} // namespace touchsim
