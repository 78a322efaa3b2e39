#include "drivers/common/requests.h"

static IO_COMPLETION_ROUTINE ForwardComplete;
static IO_COMPLETION_ROUTINE SignalLowerDone;

NTSTATUS CompleteWithStatus(PIRP Irp, NTSTATUS Status) {
    Irp->IoStatus.Status = Status;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return Status;
}

NTSTATUS CompleteWithInformation(PIRP Irp, NTSTATUS Status, ULONG_PTR Information) {
    Irp->IoStatus.Information = Information;
    return CompleteWithStatus(Irp, Status);
}

NTSTATUS PassDown(PDEVICE_OBJECT LowerDevice, PIRP Irp) {
    IoSkipCurrentIrpStackLocation(Irp);
    return IoCallDriver(LowerDevice, Irp);
}

NTSTATUS PassPowerDown(PDEVICE_OBJECT LowerDevice, PIRP Irp) {
    IoSkipCurrentIrpStackLocation(Irp);
    return PoCallDriver(LowerDevice, Irp);
}

// Returns the lower device's status unchanged; a pending mark from below
// must reach our stack location on the way up.
static NTSTATUS NTAPI ForwardComplete(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context) {
    UNREFERENCED_PARAMETER(DeviceObject);
    UNREFERENCED_PARAMETER(Context);
    if (Irp->PendingReturned) {
        IoMarkIrpPending(Irp);
    }
    return STATUS_CONTINUE_COMPLETION;
}

NTSTATUS ForwardToLowerDevice(PDEVICE_OBJECT LowerDevice, PIRP Irp) {
    IoCopyCurrentIrpStackLocationToNext(Irp);
    IoSetCompletionRoutine(Irp, ForwardComplete, NULL, TRUE, TRUE, TRUE);
    return IoCallDriver(LowerDevice, Irp);
}

// Hands the request back to the waiter, which completes it: the I/O manager
// stops here.
static NTSTATUS NTAPI SignalLowerDone(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context) {
    UNREFERENCED_PARAMETER(DeviceObject);
    UNREFERENCED_PARAMETER(Irp);
    KeSetEvent((PKEVENT)Context, IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

static NTSTATUS SendAndWait(PDEVICE_OBJECT LowerDevice, PIRP Irp, BOOLEAN Power) {
    EXPECT_PASSIVE_LEVEL();
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(Irp);
    IoSetCompletionRoutine(Irp, SignalLowerDone, &done, TRUE, TRUE, TRUE);
    const NTSTATUS status = Power ? PoCallDriver(LowerDevice, Irp) : IoCallDriver(LowerDevice, Irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, NULL);
    }
    return Irp->IoStatus.Status;
}

NTSTATUS ForwardAndWait(PDEVICE_OBJECT LowerDevice, PIRP Irp) {
    return SendAndWait(LowerDevice, Irp, FALSE);
}

NTSTATUS ForwardPowerAndWait(PDEVICE_OBJECT LowerDevice, PIRP Irp) {
    return SendAndWait(LowerDevice, Irp, TRUE);
}
