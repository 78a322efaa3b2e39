// What the machine throws when asked for something it cannot do (a verb
// that needs the screen plugged in, an operating system it cannot run yet).
// Driver faults are not errors: they show in the trace and the verifier.
#pragma once

#include <stdexcept>
#include <string>

namespace machine {

class MachineError : public std::runtime_error {
public:
    explicit MachineError(const std::string& what) : std::runtime_error(what) {}
};

} // namespace machine
