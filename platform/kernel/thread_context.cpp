#include "platform/kernel/thread_context.h"

#include "platform/kernel/kernel_state.h"

namespace platform::kernel::detail {

namespace {
thread_local KIRQL tIrql = PASSIVE_LEVEL;
thread_local PDRIVER_OBJECT tDriver = nullptr;
thread_local char tTagAnchor;

void CheckExitIrql(const char* what, KIRQL expected) {
    KIRQL now = tIrql;
    if (now == expected)
        return;
    tIrql = expected;
    K().verifier.Report("irql-not-restored", std::string(what) + " returned at IRQL " +
                                                 std::to_string(now) + ", expected " +
                                                 std::to_string(expected));
}
} // namespace

KIRQL& ThreadIrql() {
    return tIrql;
}
PDRIVER_OBJECT& ThreadDriver() {
    return tDriver;
}
ULONG_PTR ThreadTag() {
    return reinterpret_cast<ULONG_PTR>(&tTagAnchor) | 1;
}

DriverCall::DriverCall(PDRIVER_OBJECT driver, const char* what)
    : savedDriver_(tDriver), exitIrql_(tIrql), what_(what) {
    if (driver)
        tDriver = driver;
}

DriverCall::~DriverCall() {
    tDriver = savedDriver_;
    CheckExitIrql(what_, exitIrql_);
}

IrqlScope::IrqlScope(KIRQL irql, const char* what)
    : saved_(tIrql), irql_(irql), savedDriver_(tDriver), what_(what) {
    tIrql = irql;
    tDriver = nullptr;
}

IrqlScope::~IrqlScope() {
    CheckExitIrql(what_, irql_);
    tIrql = saved_;
    tDriver = savedDriver_;
}

} // namespace platform::kernel::detail
