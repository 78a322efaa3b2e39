// Load, registration with the HID class, AddDevice and unload.
#include "drivers/hid/pelmo98.h"

// Passive level. The HID class takes over the dispatch table and AddDevice
// set here and calls them itself. A failed registration fails the load: the
// class would not create our devices, and ours would misread its extension.
extern "C" NTSTATUS NTAPI HidDriverEntry(PDRIVER_OBJECT DriverObject,
                                         PUNICODE_STRING RegistryPath) {
    EXPECT_PASSIVE_LEVEL();
    DriverObject->MajorFunction[IRP_MJ_CREATE] = BridgeCreateClose;
    DriverObject->MajorFunction[IRP_MJ_CLOSE] = BridgeCreateClose;
    DriverObject->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = BridgeInternalDeviceControl;
    DriverObject->MajorFunction[IRP_MJ_PNP] = BridgeDispatchPnp;
    DriverObject->MajorFunction[IRP_MJ_POWER] = BridgeDispatchPower;
    DriverObject->DriverExtension->AddDevice = BridgeAddDevice;
    DriverObject->DriverUnload = BridgeUnload;
    InitializeTouchLinkDriver(BridgeLinkClient.Driver, BRIDGE_POOL_TAG);

    HID_MINIDRIVER_REGISTRATION registration;
    RtlZeroMemory(&registration, sizeof(registration));
    registration.Revision = HID_REVISION;
    registration.DriverObject = DriverObject;
    registration.RegistryPath = RegistryPath;
    registration.DeviceExtensionSize = sizeof(BRIDGE_DEVICE_EXTENSION);
    registration.DevicesArePolled = TRUE;
    return HidRegisterMinidriver(&registration);
}

#if defined(_WIN32)
extern "C" DRIVER_INITIALIZE DriverEntry;
extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath) {
    return HidDriverEntry(DriverObject, RegistryPath);
}
#endif

// Passive level. FunctionalDeviceObject is the HID class's device, already
// attached above the root device. A running touch driver may be linked from
// inside the registration, after its 100 ms pause; no read goes before the
// start.
NTSTATUS NTAPI BridgeAddDevice(PDRIVER_OBJECT DriverObject, PDEVICE_OBJECT FunctionalDeviceObject) {
    EXPECT_PASSIVE_LEVEL();
    PBRIDGE_DEVICE_EXTENSION extension = BridgeExtension(FunctionalDeviceObject);
    RtlZeroMemory(extension, sizeof(BRIDGE_DEVICE_EXTENSION));
    extension->FunctionalDeviceObject = FunctionalDeviceObject;
    extension->NextDeviceObject =
        ((PHID_DEVICE_EXTENSION)FunctionalDeviceObject->DeviceExtension)->NextDeviceObject;
    extension->DriverObject = DriverObject;
    KeInitializeSpinLock(&extension->FeedLock);
    InitializeListHead(&extension->PendingReadList);
    InitializeTouchLink(&extension->Link, &BridgeLinkClient);

    USBD_VERSION_INFORMATION version;
    RtlZeroMemory(&version, sizeof(version));
    USBD_GetUSBDIVersion(&version);
    extension->UsbdiVersion = version.USBDI_Version;

    FunctionalDeviceObject->Flags &= ~DO_DEVICE_INITIALIZING;
    FunctionalDeviceObject->Flags |= DO_POWER_PAGABLE | DO_BUFFERED_IO;

    // Without the notification nothing links; the device still starts.
    RegisterTouchNotification(&extension->Link, DriverObject);
    return STATUS_SUCCESS;
}

VOID NTAPI BridgeUnload(PDRIVER_OBJECT DriverObject) {
    EXPECT_PASSIVE_LEVEL();
    UNREFERENCED_PARAMETER(DriverObject);
    ReleaseTouchLinkDriver(BridgeLinkClient.Driver);
}

NTSTATUS NTAPI BridgeCreateClose(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    UNREFERENCED_PARAMETER(DeviceObject);
    Irp->IoStatus.Information = 0;
    return CompleteWithStatus(Irp, STATUS_SUCCESS);
}
