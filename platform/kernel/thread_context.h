// Per-thread kernel context of the stand-in: the thread's IRQL, the driver
// whose code it is running (for attributing pool and IRPs), and the guard
// used whenever the kernel calls into driver code.
#pragma once

#include "platform/kernel/ntddk.h"

#include <string>

namespace platform::kernel::detail {

// The calling thread's IRQL. Threads start at PASSIVE_LEVEL.
KIRQL& ThreadIrql();

// The driver whose code the calling thread runs, when the kernel knows it.
PDRIVER_OBJECT& ThreadDriver();

// A non-zero word naming the calling thread; spin locks store it when held.
ULONG_PTR ThreadTag();

// Brackets a call into driver code: records the driver for the duration and,
// on exit, checks that the code returned at the IRQL it was entered at (a
// leaked spin lock or an unbalanced KeRaiseIrql), restoring it if not.
class DriverCall {
public:
    DriverCall(PDRIVER_OBJECT driver, const char* what);
    ~DriverCall();
    DriverCall(const DriverCall&) = delete;
    DriverCall& operator=(const DriverCall&) = delete;

    // The IRQL the code must return at, when that differs from the entry IRQL
    // (a cancel routine enters at DISPATCH_LEVEL and returns at CancelIrql).
    void ExpectExitIrql(KIRQL irql) { exitIrql_ = irql; }

private:
    PDRIVER_OBJECT savedDriver_;
    KIRQL exitIrql_;
    const char* what_;
};

// Runs host code at the given IRQL (timed events, work items), restoring the
// thread's IRQL afterwards and reporting code that changed it.
class IrqlScope {
public:
    IrqlScope(KIRQL irql, const char* what);
    ~IrqlScope();
    IrqlScope(const IrqlScope&) = delete;
    IrqlScope& operator=(const IrqlScope&) = delete;

private:
    KIRQL saved_;
    KIRQL irql_;
    PDRIVER_OBJECT savedDriver_;
    const char* what_;
};

} // namespace platform::kernel::detail
