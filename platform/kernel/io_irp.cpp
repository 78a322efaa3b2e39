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

// With the table locked: the record of a request that its driver may free or
// re-initialise now, or nullptr (reported).
template <typename Lock>
IrpRecord* AdmitOwned(Lock& lock, PIRP Irp, const char* caller, Findings& findings) {
    IrpRecord* record = K().irps.Admit(lock, Irp, caller, findings);
    return record && OwnedByCaller(record, caller, findings) ? record : nullptr;
}

// With the table locked: rebuilds a driver's own request for its next use.
void Reinitialize(IrpRecord* record, PIRP Irp, CCHAR StackSize, NTSTATUS Status) {
    IrpTable::Initialize(Irp, StackSize);
    Irp->IoStatus.Status = Status;
    record->state = IrpState::Idle;
    record->holder = nullptr;
    for (auto& location : record->locations) {
        location.expectPending = 0;
        location.unwoundGeneration = 0;
    }
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
    Findings findings;
    auto lock = K().irps.Lock();
    if (IrpRecord* record = AdmitOwned(lock, Irp, "IoFreeIrp", findings))
        K().irps.Retire(record);
}

VOID IoReuseIrp(PIRP Irp, NTSTATUS Status) {
    Findings findings;
    auto lock = K().irps.Lock();
    if (IrpRecord* record = AdmitOwned(lock, Irp, "IoReuseIrp", findings))
        Reinitialize(record, Irp, Irp->StackCount, Status);
}

VOID IoInitializeIrp(PIRP Irp, USHORT PacketSize, CCHAR StackSize) {
    Findings findings;
    auto lock = K().irps.Lock();
    IrpRecord* record = AdmitOwned(lock, Irp, "IoInitializeIrp", findings);
    if (!record)
        return;
    // More locations than the packet was allocated with would write past it.
    const size_t allocated = record->locations.size() - 2;
    if (StackSize < 1 || static_cast<size_t>(StackSize) > allocated ||
        PacketSize < IoSizeOfIrp(StackSize)) {
        findings.Add("irp-invalid", "IoInitializeIrp(" + DescribeRequest(Irp) + ", " +
                                        std::to_string(PacketSize) + ", " +
                                        std::to_string(StackSize) + "): does not fit the packet");
        return;
    }
    Reinitialize(record, Irp, StackSize, STATUS_SUCCESS);
}
