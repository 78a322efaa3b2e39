// Plug and Play requests: start and stop the reader, retry the settings on
// query-state, release the device at removal. Passive level, serialized by
// the system. Every request is passed down exactly once.
#include "drivers/touch/korvex.h"

static PTOUCH_DEVICE_EXTENSION ExtensionOf(PDEVICE_OBJECT DeviceObject) {
    return (PTOUCH_DEVICE_EXTENSION)DeviceObject->DeviceExtension;
}

static NTSTATUS PassToLower(PTOUCH_DEVICE_EXTENSION Extension, PIRP Irp) {
    return PassDown(Extension->LowerDeviceObject, Irp);
}

// The device below must have started before the reader touches it, so the
// start is sent down and waited for. A failed reader start leaves the device
// started but silent; the request keeps the lower driver's status.
static NTSTATUS StartDevice(PTOUCH_DEVICE_EXTENSION Extension, PIRP Irp) {
    const NTSTATUS status = ForwardAndWait(Extension->LowerDeviceObject, Irp);
    if (NT_SUCCESS(status)) {
        StartReader(Extension);
    }
    return CompleteWithStatus(Irp, status);
}

// The reader has stopped and given back every held point read before this
// request goes down; nothing of ours is outstanding afterwards. The device is
// unconfigured while the port still serves it, which also ends a transfer
// that outlived the stop's limit, so that ReleaseReader gets it back.
static NTSTATUS RemoveDevice(PTOUCH_DEVICE_EXTENSION Extension, PIRP Irp) {
    WaitForControlRequests(Extension);
    StopReader(Extension);
    UnconfigureDevice(Extension);
    ReleaseReader(Extension);
    Irp->IoStatus.Status = STATUS_SUCCESS;
    NTSTATUS status = PassToLower(Extension, Irp);
    DeleteTouchDevice(Extension);
    return status;
}

// Settings that could not be read at start are tried again here, from the
// global key first and the backup key second.
static VOID RetrySettings(PTOUCH_DEVICE_EXTENSION Extension) {
    if (!Extension->CalibrationLoaded) {
        LoadSettings(Extension);
        if (!Extension->CalibrationLoaded) {
            LoadBackupSettings(Extension);
        }
    }
}

NTSTATUS NTAPI TouchPnp(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    EXPECT_PASSIVE_LEVEL();
    PTOUCH_DEVICE_EXTENSION extension = ExtensionOf(DeviceObject);
    switch (IoGetCurrentIrpStackLocation(Irp)->MinorFunction) {
    case IRP_MN_START_DEVICE:
        return StartDevice(extension, Irp);
    case IRP_MN_REMOVE_DEVICE:
        return RemoveDevice(extension, Irp);
    case IRP_MN_SURPRISE_REMOVAL:
        extension->Gone = TRUE;
        StopReader(extension);
        Irp->IoStatus.Status = STATUS_SUCCESS;
        return PassToLower(extension, Irp);
    case IRP_MN_STOP_DEVICE:
        StopReader(extension);
        Irp->IoStatus.Status = STATUS_SUCCESS;
        return PassToLower(extension, Irp);
    case IRP_MN_QUERY_PNP_DEVICE_STATE:
        RetrySettings(extension);
        return PassToLower(extension, Irp);
    default:
        return PassToLower(extension, Irp);
    }
}
