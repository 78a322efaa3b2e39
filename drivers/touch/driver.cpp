// Load, AddDevice and unload: the one device object with its fixed name,
// link and device interface.
#include "drivers/touch/korvex.h"

static const WCHAR DeviceName[] = KTEXT(TOUCH_DEVICE_NAME_TEXT);
static const WCHAR DosDeviceName[] = KTEXT(TOUCH_DOS_NAME_TEXT);

// Keeps a copy of the service key path in the driver-object extension for the
// backup settings key. An empty copy (no memory) means: no backup key.
static VOID CopyRegistryPath(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath) {
    PUNICODE_STRING copy;
    if (!NT_SUCCESS(IoAllocateDriverObjectExtension(DriverObject, TOUCH_REGISTRY_PATH_ID,
                                                    sizeof(UNICODE_STRING), (PVOID*)&copy))) {
        return;
    }
    copy->Length = 0;
    copy->MaximumLength = 0;
    copy->Buffer = NULL;
    if (RegistryPath->Length > 0xFFFF - sizeof(WCHAR)) {
        return;
    }
    USHORT size = (USHORT)(RegistryPath->Length + sizeof(WCHAR));
    copy->Buffer = (PWSTR)ExAllocatePoolWithTag(NonPagedPool, size, TOUCH_POOL_TAG);
    if (copy->Buffer == NULL) {
        return;
    }
    RtlZeroMemory(copy->Buffer, size);
    copy->MaximumLength = size;
    RtlCopyUnicodeString(copy, RegistryPath);
}

// Host tests load the driver many times in one process, so every
// driver-wide item is set here, not by static initialisation.
extern "C" NTSTATUS NTAPI TouchDriverEntry(PDRIVER_OBJECT DriverObject,
                                           PUNICODE_STRING RegistryPath) {
    EXPECT_PASSIVE_LEVEL();
    CopyRegistryPath(DriverObject, RegistryPath);
    InitializePendingReads();
    ResetHoldWindow();

    DriverObject->MajorFunction[IRP_MJ_CREATE] = TouchCreateClose;
    DriverObject->MajorFunction[IRP_MJ_CLOSE] = TouchCreateClose;
    DriverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = TouchDeviceControl;
    DriverObject->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = TouchInternalDeviceControl;
    DriverObject->MajorFunction[IRP_MJ_POWER] = TouchPower;
    DriverObject->MajorFunction[IRP_MJ_PNP] = TouchPnp;
    DriverObject->DriverExtension->AddDevice = TouchAddDevice;
    DriverObject->DriverUnload = TouchUnload;
    return STATUS_SUCCESS;
}

#if defined(_WIN32)
extern "C" DRIVER_INITIALIZE DriverEntry;
extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath) {
    return TouchDriverEntry(DriverObject, RegistryPath);
}
#endif

static VOID SetInitialState(PTOUCH_DEVICE_EXTENSION Extension) {
    // Zeroed before: tables, queue, anchor, flags other than Stopped, handles.
    Extension->Stopped = TRUE;
    Extension->ControlRequests = 1;
    KeInitializeEvent(&Extension->ControlIdleEvent, NotificationEvent, FALSE);
    Extension->doneMode = 1;
    Extension->ReadLength = TOUCH_REPORT_LENGTH;
    Extension->DevicePowerState = PowerDeviceD0;
    KeInitializeEvent(&Extension->ReadDoneEvent, NotificationEvent, FALSE);
    KeInitializeSpinLock(&Extension->ReaderLock);
    KeInitializeEvent(&Extension->RecoveryDoneEvent, NotificationEvent, TRUE);
}

// Passive level. Names are fixed, so a second touch screen fails here with
// the name collision and leaves the first one alone.
NTSTATUS NTAPI TouchAddDevice(PDRIVER_OBJECT DriverObject, PDEVICE_OBJECT PhysicalDeviceObject) {
    EXPECT_PASSIVE_LEVEL();
    UNICODE_STRING deviceName;
    UNICODE_STRING linkName;
    RtlInitUnicodeString(&deviceName, DeviceName);
    RtlInitUnicodeString(&linkName, DosDeviceName);

    PDEVICE_OBJECT deviceObject;
    NTSTATUS status = IoCreateDevice(DriverObject, sizeof(TOUCH_DEVICE_EXTENSION), &deviceName,
                                     FILE_DEVICE_UNKNOWN, 0, FALSE, &deviceObject);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    status = IoCreateSymbolicLink(&linkName, &deviceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(deviceObject);
        return status;
    }

    PTOUCH_DEVICE_EXTENSION extension = (PTOUCH_DEVICE_EXTENSION)deviceObject->DeviceExtension;
    RtlZeroMemory(extension, sizeof(TOUCH_DEVICE_EXTENSION));
    extension->PhysicalDeviceObject = PhysicalDeviceObject;
    extension->DeviceObject = deviceObject;
    extension->DriverObject = DriverObject;
    SetInitialState(extension);
    extension->LowerDeviceObject = IoAttachDeviceToDeviceStack(deviceObject, PhysicalDeviceObject);
    extension->ReadUrb = (PURB)ExAllocatePoolWithTag(
        NonPagedPool, sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER), TOUCH_POOL_TAG);
    if (extension->LowerDeviceObject == NULL) {
        status = STATUS_NO_SUCH_DEVICE;
    } else if (extension->ReadUrb == NULL) {
        status = STATUS_INSUFFICIENT_RESOURCES;
    } else {
        deviceObject->Flags |= DO_BUFFERED_IO | DO_POWER_PAGABLE;
        status = IoRegisterDeviceInterface(PhysicalDeviceObject, &GUID_TOUCH_INTERFACE, NULL,
                                           &extension->InterfaceName);
    }
    if (!NT_SUCCESS(status)) {
        // No interface name was registered; DeleteTouchDevice skips it.
        IoDeleteSymbolicLink(&linkName);
        DeleteTouchDevice(extension);
        return status;
    }

    deviceObject->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

VOID DeleteTouchDevice(PTOUCH_DEVICE_EXTENSION Extension) {
    if (Extension->ReadUrb != NULL) {
        ExFreePool(Extension->ReadUrb);
        Extension->ReadUrb = NULL;
    }
    if (Extension->InterfaceName.Buffer != NULL) {
        RtlFreeUnicodeString(&Extension->InterfaceName);
    }
    if (Extension->LowerDeviceObject != NULL) {
        IoDetachDevice(Extension->LowerDeviceObject);
        Extension->LowerDeviceObject = NULL;
    }
    IoDeleteDevice(Extension->DeviceObject);
}

// Passive level. Held reads are given back before the link goes.
VOID NTAPI TouchUnload(PDRIVER_OBJECT DriverObject) {
    EXPECT_PASSIVE_LEVEL();
    CancelPendingReads();

    UNICODE_STRING linkName;
    RtlInitUnicodeString(&linkName, DosDeviceName);
    IoDeleteSymbolicLink(&linkName);

    PUNICODE_STRING copy =
        (PUNICODE_STRING)IoGetDriverObjectExtension(DriverObject, TOUCH_REGISTRY_PATH_ID);
    if (copy != NULL && copy->Buffer != NULL) {
        ExFreePool(copy->Buffer);
        copy->Buffer = NULL;
        copy->Length = 0;
        copy->MaximumLength = 0;
    }
}
