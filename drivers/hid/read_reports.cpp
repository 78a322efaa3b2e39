// The HID class's read-report requests: answered at once from PointQueue,
// or held in PendingReadList until a point arrives, the device stops, or the
// sender cancels the request.
//
// A held request carries a cancel routine: the HID class cancels its reads
// when it stops or removes the device, before it passes that request down,
// and waits for them. The routine and the answering paths meet under
// FeedLock: whoever clears the routine owns the request; a node whose routine
// is already running stays in the list until that routine takes it out.
#include "drivers/hid/pelmo98.h"

static DRIVER_CANCEL CancelHeldRead;

// The report is the TOUCH_POINT byte for byte: button, X and Y little-endian.
static VOID WriteReport(PIRP Irp, const TOUCH_POINT* Point) {
    PUCHAR report = (PUCHAR)Irp->UserBuffer;
    report[0] = Point->Status;
    report[1] = (UCHAR)(Point->X & 0xFF);
    report[2] = (UCHAR)(Point->X >> 8);
    report[3] = (UCHAR)(Point->Y & 0xFF);
    report[4] = (UCHAR)(Point->Y >> 8);
    Irp->IoStatus.Information = BRIDGE_REPORT_LENGTH;
}

// Caller holds FeedLock. Takes the oldest held request that is not being
// cancelled out of the list, its cancel routine cleared; NULL if none.
static PHELD_READ PopHeldRead(PBRIDGE_DEVICE_EXTENSION Extension) {
    for (PLIST_ENTRY entry = Extension->PendingReadList.Flink; entry != &Extension->PendingReadList;
         entry = entry->Flink) {
        PHELD_READ held = CONTAINING_RECORD(entry, HELD_READ, Links);
        if (IoSetCancelRoutine(held->Irp, NULL) != NULL) {
            RemoveEntryList(entry);
            return held;
        }
    }
    return NULL;
}

NTSTATUS ReadReport(PBRIDGE_DEVICE_EXTENSION Extension, PIRP Irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    if (stack->Parameters.DeviceIoControl.OutputBufferLength != BRIDGE_REPORT_LENGTH) {
        return CompleteWithStatus(Irp, STATUS_BUFFER_TOO_SMALL);
    }
    if (Irp->UserBuffer == NULL) {
        return CompleteWithStatus(Irp, STATUS_INVALID_USER_BUFFER);
    }

    TOUCH_POINT point;
    KIRQL oldIrql;
    KeAcquireSpinLock(&Extension->FeedLock, &oldIrql);
    if (TakePoint(Extension, &point)) {
        KeReleaseSpinLock(&Extension->FeedLock, oldIrql);
        WriteReport(Irp, &point);
        return CompleteWithStatus(Irp, STATUS_SUCCESS);
    }
    PHELD_READ held =
        (PHELD_READ)ExAllocatePoolWithTag(NonPagedPool, sizeof(HELD_READ), BRIDGE_POOL_TAG);
    if (held == NULL) {
        KeReleaseSpinLock(&Extension->FeedLock, oldIrql);
        return CompleteWithStatus(Irp, STATUS_NO_MEMORY);
    }
    held->Irp = Irp;
    Irp->Tail.Overlay.DriverContext[0] = held;
    IoSetCancelRoutine(Irp, CancelHeldRead);
    if (Irp->Cancel && IoSetCancelRoutine(Irp, NULL) != NULL) {
        // Cancelled before it could be held.
        KeReleaseSpinLock(&Extension->FeedLock, oldIrql);
        ExFreePool(held);
        return CompleteWithStatus(Irp, STATUS_CANCELLED);
    }
    // If the cancel routine is already running, it waits for FeedLock and
    // finds the node in the list.
    IoMarkIrpPending(Irp);
    InsertTailList(&Extension->PendingReadList, &held->Links);
    KeReleaseSpinLock(&Extension->FeedLock, oldIrql);
    return STATUS_PENDING;
}

// Entered holding the cancel spin lock, at DISPATCH_LEVEL.
static VOID NTAPI CancelHeldRead(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    IoReleaseCancelSpinLock(Irp->CancelIrql);
    PBRIDGE_DEVICE_EXTENSION extension = BridgeExtension(DeviceObject);
    PHELD_READ held = (PHELD_READ)Irp->Tail.Overlay.DriverContext[0];
    KIRQL oldIrql;
    KeAcquireSpinLock(&extension->FeedLock, &oldIrql);
    RemoveEntryList(&held->Links);
    KeReleaseSpinLock(&extension->FeedLock, oldIrql);
    ExFreePool(held);
    Irp->IoStatus.Information = 0;
    CompleteWithStatus(Irp, STATUS_CANCELLED);
}

// A held request is answered only together with a point: one that arrived
// while the request was on its way may already have been taken by a newer
// request, and the held one then waits for the next.
VOID CompleteOnePendingRead(PBRIDGE_DEVICE_EXTENSION Extension) {
    TOUCH_POINT point;
    PHELD_READ held = NULL;
    KIRQL oldIrql;
    KeAcquireSpinLock(&Extension->FeedLock, &oldIrql);
    if (Extension->QueueCount != 0) {
        held = PopHeldRead(Extension);
        if (held != NULL) {
            TakePoint(Extension, &point);
        }
    }
    KeReleaseSpinLock(&Extension->FeedLock, oldIrql);
    if (held == NULL) {
        return;
    }
    WriteReport(held->Irp, &point);
    CompleteWithStatus(held->Irp, STATUS_SUCCESS);
    ExFreePool(held);
}

VOID FlushPendingReads(PBRIDGE_DEVICE_EXTENSION Extension) {
    for (;;) {
        KIRQL oldIrql;
        KeAcquireSpinLock(&Extension->FeedLock, &oldIrql);
        PHELD_READ held = PopHeldRead(Extension);
        KeReleaseSpinLock(&Extension->FeedLock, oldIrql);
        if (held == NULL) {
            return;
        }
        CompleteWithStatus(held->Irp, STATUS_NO_SUCH_DEVICE);
        ExFreePool(held);
    }
}
