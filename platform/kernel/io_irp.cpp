// IRP allocation, reuse and freeing.
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

using namespace platform::kernel::detail;

namespace {

// With the table locked: may the driver free or reuse this IRP now?
bool OwnedByCaller(IrpRecord* record, const char* caller, Findings& findings) {
    if (record->origin != IrpOrigin::Driver) {
        findings.Add("irp-free-not-owner",
                     std::string(caller) + "(" + DescribeRequest(record->irp) +
                         "): the I/O manager owns this IRP; complete it instead");
        return false;
    }
    bool inOwnRoutine = record->state == IrpState::Completing && record->routineDepth > 0;
    if (record->state == IrpState::Dispatched ||
        (record->state == IrpState::Completing && !inOwnRoutine)) {
        findings.Add("irp-free-outstanding", std::string(caller) + "(" +
                                                 DescribeRequest(record->irp) +
                                                 "): a driver still holds it");
        return false;
    }
    return true;
}

} // namespace

PIRP IoAllocateIrp(CCHAR StackSize, BOOLEAN ChargeQuota) {
    UNREFERENCED_PARAMETER(ChargeQuota);
    if (ThreadIrql() > DISPATCH_LEVEL)
        K().verifier.Report("irql-invalid",
                            "IoAllocateIrp at IRQL " + std::to_string(ThreadIrql()));
    return K().irps.Allocate(StackSize, IrpOrigin::Driver);
}

VOID IoFreeIrp(PIRP Irp) {
    auto& k = K();
    Findings findings;
    auto lock = k.irps.Lock();
    IrpRecord* record = k.irps.Admit(lock, Irp, "IoFreeIrp", findings);
    if (!record || !OwnedByCaller(record, "IoFreeIrp", findings))
        return;
    k.irps.Retire(record);
}

VOID IoReuseIrp(PIRP Irp, NTSTATUS Status) {
    auto& k = K();
    Findings findings;
    auto lock = k.irps.Lock();
    IrpRecord* record = k.irps.Admit(lock, Irp, "IoReuseIrp", findings);
    if (!record || !OwnedByCaller(record, "IoReuseIrp", findings))
        return;
    IrpTable::Initialize(Irp, Irp->StackCount);
    Irp->IoStatus.Status = Status;
    record->state = IrpState::Idle;
    record->holder = nullptr;
    for (auto& location : record->locations) {
        location.expectPending = 0;
        location.unwoundGeneration = 0;
    }
}
