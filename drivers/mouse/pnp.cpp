// Plug and Play requests, at passive level, serialized by the system.
#include "drivers/mouse/pelmoxp.h"

// A one-entry multi-string: the identifier, its NUL and the list's NUL.
#define QUERY_ID_LENGTH 36
static const WCHAR DeviceIdentifier[] = KTEXT("root\\TouchScreen");

// The request belongs to the lower device from here on.
static NTSTATUS ForwardToLower(PMOUSE_DEVICE_EXTENSION Extension, PIRP Irp) {
    return ForwardToLowerDevice(Extension->LowerDeviceObject, Irp);
}

// What a handler that reports success returns after passing the request
// down: a request still pending below has to be returned as pending.
static NTSTATUS SucceedAfterForward(NTSTATUS Forwarded) {
    return Forwarded == STATUS_PENDING ? STATUS_PENDING : STATUS_SUCCESS;
}

// Waits for power requests still in our dispatch routine, then lets the
// device go.
static NTSTATUS RemoveDevice(PMOUSE_DEVICE_EXTENSION Extension, PIRP Irp) {
    IoAcquireRemoveLock(&Extension->RemoveLock, Irp);
    RemoveFeed(&Extension->Link);
    IoReleaseRemoveLockAndWait(&Extension->RemoveLock, Irp);
    NTSTATUS status = ForwardToLower(Extension, Irp);
    IoDetachDevice(Extension->LowerDeviceObject);
    IoDeleteDevice(Extension->Self);
    return SucceedAfterForward(status);
}

NTSTATUS NTAPI MouseDispatchPnp(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    EXPECT_PASSIVE_LEVEL();
    PMOUSE_DEVICE_EXTENSION extension = (PMOUSE_DEVICE_EXTENSION)DeviceObject->DeviceExtension;
    NTSTATUS status;
    switch (IoGetCurrentIrpStackLocation(Irp)->MinorFunction) {
    case IRP_MN_START_DEVICE:
        // The lower device's answer does not hold the feed back.
        status = ForwardToLower(extension, Irp);
        StartFeed(&extension->Link);
        ConnectTouchDriver(&extension->Link);
        return SucceedAfterForward(status);
    case IRP_MN_REMOVE_DEVICE:
        return RemoveDevice(extension, Irp);
    case IRP_MN_STOP_DEVICE:
        StopFeed(&extension->Link);
        return SucceedAfterForward(ForwardToLower(extension, Irp));
    case IRP_MN_QUERY_ID:
        // Every identifier type gets the same answer.
        return AnswerQueryId(Irp, DeviceIdentifier, sizeof(DeviceIdentifier), QUERY_ID_LENGTH,
                             MOUSE_POOL_TAG);
    case IRP_MN_QUERY_PNP_DEVICE_STATE:
        ConnectTouchDriver(&extension->Link);
        return ForwardToLower(extension, Irp);
    case IRP_MN_SURPRISE_REMOVAL:
        // Answered here; the root device below does not hear of it.
        StopFeed(&extension->Link);
        return CompleteWithStatus(Irp, STATUS_NOT_SUPPORTED);
    default:
        return ForwardToLower(extension, Irp);
    }
}
