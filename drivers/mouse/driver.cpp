// Load, AddDevice and unload.
#include "drivers/mouse/pelmoxp.h"

// Passive level. Host tests load the driver many times in one process, so
// driver-wide state is set here, not by static initialisation.
extern "C" NTSTATUS NTAPI MouseDriverEntry(PDRIVER_OBJECT DriverObject,
                                           PUNICODE_STRING RegistryPath) {
    EXPECT_PASSIVE_LEVEL();
    UNREFERENCED_PARAMETER(RegistryPath);
    ResetMouseButtons();
    InitializeTouchLinkDriver(MouseLinkClient.Driver, MOUSE_POOL_TAG);
    DriverObject->MajorFunction[IRP_MJ_CREATE] = MouseCreateClose;
    DriverObject->MajorFunction[IRP_MJ_CLOSE] = MouseCreateClose;
    DriverObject->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = MouseInternalDeviceControl;
    DriverObject->MajorFunction[IRP_MJ_PNP] = MouseDispatchPnp;
    DriverObject->MajorFunction[IRP_MJ_POWER] = MouseDispatchPower;
    DriverObject->DriverExtension->AddDevice = MouseAddDevice;
    DriverObject->DriverUnload = MouseUnload;
    return STATUS_SUCCESS;
}

#if defined(_WIN32)
extern "C" DRIVER_INITIALIZE DriverEntry;
extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath) {
    return MouseDriverEntry(DriverObject, RegistryPath);
}
#endif

// Passive level. The touch driver may be linked from inside the
// registration already; no read goes before the start.
NTSTATUS NTAPI MouseAddDevice(PDRIVER_OBJECT DriverObject, PDEVICE_OBJECT PhysicalDeviceObject) {
    EXPECT_PASSIVE_LEVEL();
    PDEVICE_OBJECT deviceObject;
    NTSTATUS status = IoCreateDevice(DriverObject, sizeof(MOUSE_DEVICE_EXTENSION), NULL,
                                     FILE_DEVICE_UNKNOWN, 0, FALSE, &deviceObject);
    if (!NT_SUCCESS(status)) {
        return status;
    }

    PMOUSE_DEVICE_EXTENSION extension = (PMOUSE_DEVICE_EXTENSION)deviceObject->DeviceExtension;
    RtlZeroMemory(extension, sizeof(MOUSE_DEVICE_EXTENSION));
    extension->DriverObject = DriverObject;
    extension->LowerDeviceObject = IoAttachDeviceToDeviceStack(deviceObject, PhysicalDeviceObject);
    if (extension->LowerDeviceObject == NULL) {
        // Nothing to pass requests down to.
        IoDeleteDevice(deviceObject);
        return STATUS_NO_SUCH_DEVICE;
    }
    extension->PhysicalDeviceObject = PhysicalDeviceObject;
    extension->Self = deviceObject;
    InitializeTouchLink(&extension->Link, &MouseLinkClient);

    deviceObject->Flags &= ~DO_DEVICE_INITIALIZING;
    deviceObject->Flags |= DO_BUFFERED_IO | DO_POWER_PAGABLE;

    IoInitializeRemoveLock(&extension->RemoveLock, MOUSE_POOL_TAG, 0, 10);
    extension->ConnectData.ClassDeviceObject = NULL;
    extension->ConnectData.ClassService = NULL;
    extension->Attributes.MouseIdentifier = 0x0028;
    extension->Attributes.NumberOfButtons = 0;
    extension->Attributes.SampleRate = 0;
    extension->Attributes.InputDataQueueLength = 0;

    // Without the notification the feed still starts through the start and
    // device-state requests, which try to link by name.
    RegisterTouchNotification(&extension->Link, DriverObject);
    return status;
}

VOID NTAPI MouseUnload(PDRIVER_OBJECT DriverObject) {
    EXPECT_PASSIVE_LEVEL();
    UNREFERENCED_PARAMETER(DriverObject);
    ReleaseTouchLinkDriver(MouseLinkClient.Driver);
}

NTSTATUS NTAPI MouseCreateClose(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    UNREFERENCED_PARAMETER(DeviceObject);
    Irp->IoStatus.Information = 0;
    return CompleteWithStatus(Irp, STATUS_SUCCESS);
}
