// The kernel's state, private to the stand-in: one instance of each part, and
// the accessor through which the free Windows functions reach the current
// kernel.
#pragma once

#include "platform/kernel/clock.h"
#include "platform/kernel/device_interfaces.h"
#include "platform/kernel/dispatcher.h"
#include "platform/kernel/irp_table.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/object_table.h"
#include "platform/kernel/pnp_manager.h"
#include "platform/kernel/pool.h"
#include "platform/kernel/resource_gate.h"
#include "platform/kernel/verifier.h"
#include "platform/kernel/work_items.h"

#include <atomic>
#include <functional>

namespace platform::kernel {

struct Kernel::State {
    explicit State(Kernel& kernel) : owner(kernel) {}

    Kernel& owner;
    detail::Verifier verifier;
    detail::ResourceGate gate;
    detail::Clock clock;
    detail::Dispatcher dispatcher;
    detail::Pool pool;
    detail::ObjectTable objects;
    detail::IrpTable irps;
    detail::DeviceInterfaces interfaces;
    detail::WorkItems workItems;
    detail::PnpManager pnp;
    registry::Store registry;
    KSPIN_LOCK cancelLock = 0;
    // Set by one-threaded tests only; the flag keeps other threads off the function.
    std::function<void(PKSPIN_LOCK)> lockReleaseHook;
    std::atomic<bool> lockReleaseHooked{false};
    std::atomic<Kernel::System> system{Kernel::System::WindowsXP};
};

namespace detail {
// The current kernel's state; aborts when there is no kernel.
Kernel::State& K();
} // namespace detail

} // namespace platform::kernel
