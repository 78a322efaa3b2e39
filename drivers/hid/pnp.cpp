// Plug and Play requests, at passive level, serialized by the system. The
// HID class passes them on to us; detaching and deleting the device is its
// business.
#include "drivers/hid/pelmo98.h"

static IO_COMPLETION_ROUTINE ForwardComplete;

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

// The request belongs to the lower device from here on.
static NTSTATUS ForwardToLower(PBRIDGE_DEVICE_EXTENSION Extension, PIRP Irp) {
    IoCopyCurrentIrpStackLocationToNext(Irp);
    IoSetCompletionRoutine(Irp, ForwardComplete, NULL, TRUE, TRUE, TRUE);
    return IoCallDriver(Extension->NextDeviceObject, Irp);
}

static NTSTATUS CompletePnp(PIRP Irp, NTSTATUS Status) {
    Irp->IoStatus.Status = Status;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return Status;
}

// Every identifier type gets the same answer. The block is the caller's to free.
static NTSTATUS AnswerQueryId(PIRP Irp) {
    if (Irp->IoStatus.Information != 0) {
        return CompletePnp(Irp, STATUS_UNSUCCESSFUL);
    }
    PWCHAR ids = (PWCHAR)ExAllocatePoolWithTag(NonPagedPool, BRIDGE_DEVICE_IDENTIFIER_LENGTH,
                                               BRIDGE_POOL_TAG);
    if (ids == NULL) {
        return CompletePnp(Irp, STATUS_INSUFFICIENT_RESOURCES);
    }
    RtlZeroMemory(ids, BRIDGE_DEVICE_IDENTIFIER_LENGTH);
    RtlCopyMemory(ids, BridgeDeviceIdentifier, BRIDGE_DEVICE_IDENTIFIER_LENGTH);
    Irp->IoStatus.Information = (ULONG_PTR)ids;
    return CompletePnp(Irp, STATUS_SUCCESS);
}

NTSTATUS NTAPI BridgeDispatchPnp(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    PBRIDGE_DEVICE_EXTENSION extension = BridgeExtension(DeviceObject);
    NTSTATUS status;
    switch (IoGetCurrentIrpStackLocation(Irp)->MinorFunction) {
    case IRP_MN_START_DEVICE:
        // The lower device's answer does not hold the feed back.
        status = ForwardToLower(extension, Irp);
        StartFeed(&extension->Link);
        ConnectTouchDriver(&extension->Link);
        return status == STATUS_PENDING ? STATUS_PENDING : STATUS_SUCCESS;
    case IRP_MN_REMOVE_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL:
        RemoveFeed(extension);
        return ForwardToLower(extension, Irp);
    case IRP_MN_STOP_DEVICE:
        StopFeed(extension);
        return ForwardToLower(extension, Irp);
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
        return CompletePnp(Irp, STATUS_SUCCESS);
    case IRP_MN_QUERY_ID:
        return AnswerQueryId(Irp);
    case IRP_MN_QUERY_PNP_DEVICE_STATE:
        Irp->IoStatus.Information = 0;
        return CompletePnp(Irp, STATUS_SUCCESS);
    default:
        return ForwardToLower(extension, Irp);
    }
}
