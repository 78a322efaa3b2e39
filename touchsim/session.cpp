#include "touchsim/session.h"

namespace touchsim {

machine::Machine& Session::Machine() {
    if (!machine_) {
        machine_ = std::make_unique<machine::Machine>(config_, options_.drivers, options_.programs);
        machine_->SetTraceListener(options_.traceOut);
    }
    return *machine_;
}

void Session::EndMachine() {
    machine_.reset();
}

} // namespace touchsim
