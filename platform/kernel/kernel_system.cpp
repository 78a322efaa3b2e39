// The system the kernel stands for, and the loader's import check.
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/routine_table.h"
#include "platform/trace/trace.h"

#include <cstring>

namespace platform::kernel {

void Kernel::SetSystem(System system) {
    state_->system = system;
}

Kernel::System Kernel::CurrentSystem() const {
    return state_->system;
}

bool Kernel::HasRoutine(const std::string& routine) const {
    const System system = state_->system;
    for (unsigned i = 0; i < detail::kRoutineTableSize; ++i) {
        const detail::RoutineAvailability& row = detail::kRoutineTable[i];
        if (routine != row.routine)
            continue;
        switch (system) {
        case System::Windows98:
            return row.on98;
        case System::Windows2000:
            return row.on2000;
        default:
            return row.onXp;
        }
    }
    return true;
}

namespace detail {

// The loader resolves every import before the entry runs; the first missing
// one refuses the image.
bool RefuseMissingImport(Kernel& kernel, const Kernel::DriverService& service, NTSTATUS* status) {
    for (const std::string& routine : service.imports) {
        if (kernel.HasRoutine(routine))
            continue;
        trace::Emit(kernel.Now(),
                    "driver refused service=" + service.service + " routine=" + routine);
        *status = STATUS_DRIVER_ENTRYPOINT_NOT_FOUND;
        return true;
    }
    return false;
}

} // namespace detail
} // namespace platform::kernel
