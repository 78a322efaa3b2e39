#include "drivers/touchlink/input_requests.h"

static IO_COMPLETION_ROUTINE ForwardComplete;

NTSTATUS CompleteWithStatus(PIRP Irp, NTSTATUS Status) {
    Irp->IoStatus.Status = Status;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return Status;
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

NTSTATUS AnswerQueryId(PIRP Irp, const WCHAR* Identifier, ULONG IdentifierLength, ULONG BlockLength,
                       ULONG PoolTag) {
    if (Irp->IoStatus.Information != 0) {
        return CompleteWithStatus(Irp, STATUS_UNSUCCESSFUL);
    }
    PWCHAR ids = (PWCHAR)ExAllocatePoolWithTag(NonPagedPool, BlockLength, PoolTag);
    if (ids == NULL) {
        return CompleteWithStatus(Irp, STATUS_INSUFFICIENT_RESOURCES);
    }
    RtlZeroMemory(ids, BlockLength);
    // Never past the block, and its last two characters stay zero so that
    // the identifier (a multi-string for hardware IDs) always ends.
    const ULONG terminator = 2 * sizeof(WCHAR);
    ULONG copy = BlockLength > terminator ? BlockLength - terminator : 0;
    if (IdentifierLength < copy) {
        copy = IdentifierLength;
    }
    RtlCopyMemory(ids, Identifier, copy & ~(ULONG)(sizeof(WCHAR) - 1));
    Irp->IoStatus.Information = (ULONG_PTR)ids;
    return CompleteWithStatus(Irp, STATUS_SUCCESS);
}
