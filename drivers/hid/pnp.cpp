// Plug and Play requests, at passive level, serialized by the system. The
// HID class passes them on to us; detaching and deleting the device is its
// business.
#include "drivers/hid/pelmo98.h"

// The request belongs to the lower device from here on.
static NTSTATUS ForwardToLower(PBRIDGE_DEVICE_EXTENSION Extension, PIRP Irp) {
    return ForwardToLowerDevice(Extension->NextDeviceObject, Irp);
}

NTSTATUS NTAPI BridgeDispatchPnp(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    EXPECT_PASSIVE_LEVEL();
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
        RemoveBridgeFeed(extension);
        return ForwardToLower(extension, Irp);
    case IRP_MN_STOP_DEVICE:
        StopBridgeFeed(extension);
        return ForwardToLower(extension, Irp);
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
        return CompleteWithStatus(Irp, STATUS_SUCCESS);
    case IRP_MN_QUERY_ID:
        // Every identifier type gets the same answer.
        return AnswerQueryId(Irp, BridgeDeviceIdentifier, BRIDGE_DEVICE_IDENTIFIER_LENGTH,
                             BRIDGE_DEVICE_IDENTIFIER_LENGTH, BRIDGE_POOL_TAG);
    case IRP_MN_QUERY_PNP_DEVICE_STATE:
        Irp->IoStatus.Information = 0;
        return CompleteWithStatus(Irp, STATUS_SUCCESS);
    default:
        return ForwardToLower(extension, Irp);
    }
}
