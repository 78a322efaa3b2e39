// The synchronous side of the reader: the port check, selecting the first
// interface's configuration, the start-time requests and unconfiguring.
// Passive level throughout: every request here waits for the lower driver.
#include "drivers/touch/korvex.h"

#define PROBE_BUFFER_BYTES 25     // first configuration descriptor read
#define DESCRIPTOR_SLACK_BYTES 16 // beyond wTotalLength in the second read
#define CLASS_REQUEST_GET_IDLE 2
#define LOWER_CALL_TIMEOUT (-12000000LL) // 1.2 s, relative

static IO_COMPLETION_ROUTINE SignalLowerCallDone;

// The request is ours: the I/O manager stops here, so it stays valid for a
// cancel until CallLowerSynchronously frees it.
static NTSTATUS NTAPI SignalLowerCallDone(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context) {
    UNREFERENCED_PARAMETER(DeviceObject);
    UNREFERENCED_PARAMETER(Irp);
    KeSetEvent((PKEVENT)Context, IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

NTSTATUS CallLowerSynchronously(PTOUCH_DEVICE_EXTENSION Extension, ULONG IoControlCode,
                                PVOID Argument1, PVOID Argument2) {
    EXPECT_PASSIVE_LEVEL();
    PIRP irp = IoAllocateIrp(Extension->LowerDeviceObject->StackSize, FALSE);
    if (irp == NULL) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IoControlCode;
    next->Parameters.Others.Argument1 = Argument1;
    next->Parameters.Others.Argument2 = Argument2;
    IoSetCompletionRoutine(irp, SignalLowerCallDone, &done, TRUE, TRUE, TRUE);

    IoCallDriver(Extension->LowerDeviceObject, irp);
    // Bounded: a hub that never answers must not hold up a stop or a sleep.
    // After the cancel the lower driver must give the request back.
    LARGE_INTEGER timeout;
    timeout.QuadPart = LOWER_CALL_TIMEOUT;
    BOOLEAN timedOut = FALSE;
    if (KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, &timeout) == STATUS_TIMEOUT) {
        timedOut = TRUE;
        IoCancelIrp(irp);
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, NULL);
    }
    const NTSTATUS status = timedOut ? STATUS_IO_TIMEOUT : irp->IoStatus.Status;
    IoFreeIrp(irp);
    return status;
}

static NTSTATUS SubmitUrbSynchronously(PTOUCH_DEVICE_EXTENSION Extension, PURB Urb) {
    return CallLowerSynchronously(Extension, IOCTL_INTERNAL_USB_SUBMIT_URB, Urb, NULL);
}

static NTSTATUS QueryPortStatus(PTOUCH_DEVICE_EXTENSION Extension, PULONG PortStatus) {
    *PortStatus = 0;
    return CallLowerSynchronously(Extension, IOCTL_INTERNAL_USB_GET_PORT_STATUS, PortStatus, NULL);
}

NTSTATUS CheckPort(PTOUCH_DEVICE_EXTENSION Extension) {
    ULONG portStatus;
    NTSTATUS status = QueryPortStatus(Extension, &portStatus);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (!(portStatus & USBD_PORT_CONNECTED)) {
        return STATUS_NO_SUCH_DEVICE;
    }
    if (portStatus & USBD_PORT_ENABLED) {
        return STATUS_SUCCESS;
    }

    // Connected but disabled: enable (whatever it answers), reset, look again.
    CallLowerSynchronously(Extension, IOCTL_INTERNAL_USB_ENABLE_PORT, NULL, NULL);
    status = CallLowerSynchronously(Extension, IOCTL_INTERNAL_USB_RESET_PORT, NULL, NULL);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    status = QueryPortStatus(Extension, &portStatus);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    const ULONG usable = USBD_PORT_CONNECTED | USBD_PORT_ENABLED;
    return (portStatus & usable) == usable ? STATUS_SUCCESS : STATUS_NO_SUCH_DEVICE;
}

static PURB AllocateUrb(USHORT Size) {
    PURB urb = (PURB)ExAllocatePoolWithTag(NonPagedPool, Size, TOUCH_POOL_TAG);
    if (urb != NULL) {
        RtlZeroMemory(urb, Size);
    }
    return urb;
}

static VOID FreePool(PVOID Block) {
    ExFreePool(Block);
}

// One GET_DESCRIPTOR from the device into Buffer. STATUS_UNSUCCESSFUL when
// the request or the URB fails; *Received is what the device sent.
static NTSTATUS GetDescriptor(PTOUCH_DEVICE_EXTENSION Extension, UCHAR Type, PVOID Buffer,
                              ULONG Length, PULONG Received) {
    const USHORT size = sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST);
    PURB urb = AllocateUrb(size);
    if (urb == NULL) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    UsbBuildGetDescriptorRequest(urb, size, Type, 0, 0, Buffer, NULL, Length, NULL);
    NTSTATUS status = SubmitUrbSynchronously(Extension, urb);
    if (NT_SUCCESS(status) && USBD_SUCCESS(urb->UrbHeader.Status)) {
        *Received = urb->UrbControlDescriptorRequest.TransferBufferLength;
        status = STATUS_SUCCESS;
    } else {
        status = STATUS_UNSUCCESSFUL;
    }
    FreePool(urb);
    return status;
}

// The configuration descriptor's total length, from its first 9 bytes.
static NTSTATUS ReadTotalLength(PTOUCH_DEVICE_EXTENSION Extension, PUSHORT TotalLength) {
    PUSB_CONFIGURATION_DESCRIPTOR probe = (PUSB_CONFIGURATION_DESCRIPTOR)ExAllocatePoolWithTag(
        NonPagedPool, PROBE_BUFFER_BYTES, TOUCH_POOL_TAG);
    if (probe == NULL) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    ULONG received = 0;
    NTSTATUS status = GetDescriptor(Extension, USB_CONFIGURATION_DESCRIPTOR_TYPE, probe,
                                    sizeof(USB_CONFIGURATION_DESCRIPTOR), &received);
    // Fewer than 9 bytes hold no total length to trust.
    if (NT_SUCCESS(status) && received < sizeof(USB_CONFIGURATION_DESCRIPTOR)) {
        status = STATUS_UNSUCCESSFUL;
    }
    if (NT_SUCCESS(status)) {
        *TotalLength = probe->wTotalLength;
    }
    FreePool(probe);
    return status;
}

// Selects the configuration with exactly its first interface and keeps the
// handle of that interface's first pipe.
static NTSTATUS SelectFirstInterface(PTOUCH_DEVICE_EXTENSION Extension,
                                     PUSB_CONFIGURATION_DESCRIPTOR Configuration,
                                     USHORT TotalLength) {
    PUSB_INTERFACE_DESCRIPTOR firstInterface = (PUSB_INTERFACE_DESCRIPTOR)USBD_ParseDescriptors(
        Configuration, TotalLength, Configuration, USB_INTERFACE_DESCRIPTOR_TYPE);
    if (firstInterface == NULL) {
        return STATUS_NO_SUCH_DEVICE;
    }
    USBD_INTERFACE_LIST_ENTRY list[2];
    list[0].InterfaceDescriptor = firstInterface;
    list[0].Interface = NULL;
    list[1].InterfaceDescriptor = NULL;
    list[1].Interface = NULL;
    // Allocated by USBD.
    PURB urb = USBD_CreateConfigurationRequestEx(Configuration, list);
    if (urb == NULL) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    NTSTATUS status = SubmitUrbSynchronously(Extension, urb);
    if (NT_SUCCESS(status) && USBD_SUCCESS(urb->UrbHeader.Status) &&
        list[0].Interface->NumberOfPipes > 0) {
        Extension->PipeHandle = list[0].Interface->Pipes[0].PipeHandle;
        status = STATUS_SUCCESS;
    } else {
        status = STATUS_UNSUCCESSFUL;
    }
    ExFreePool(urb);
    return status;
}

static NTSTATUS SelectConfiguration(PTOUCH_DEVICE_EXTENSION Extension) {
    USHORT totalLength = 0;
    NTSTATUS status = ReadTotalLength(Extension, &totalLength);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    const ULONG size = (ULONG)totalLength + DESCRIPTOR_SLACK_BYTES;
    PUSB_CONFIGURATION_DESCRIPTOR configuration =
        (PUSB_CONFIGURATION_DESCRIPTOR)ExAllocatePoolWithTag(NonPagedPool, size, TOUCH_POOL_TAG);
    if (configuration == NULL) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    // Zeroed, so that a device sending less than it announced leaves no
    // stale bytes for the parser: a zero length ends the walk.
    RtlZeroMemory(configuration, size);
    ULONG received = 0;
    status = GetDescriptor(Extension, USB_CONFIGURATION_DESCRIPTOR_TYPE, configuration, totalLength,
                           &received);
    if (NT_SUCCESS(status) && received < sizeof(USB_CONFIGURATION_DESCRIPTOR)) {
        status = STATUS_UNSUCCESSFUL;
    }
    if (NT_SUCCESS(status)) {
        // USBD walks the descriptor by its own wTotalLength: a device that
        // announces more the second time must not send it past the bytes
        // this buffer holds.
        const USHORT held = (USHORT)(received < totalLength ? received : totalLength);
        if (configuration->wTotalLength > held) {
            configuration->wTotalLength = held;
        }
        status = SelectFirstInterface(Extension, configuration, held);
    }
    FreePool(configuration);
    return status;
}

// Read only to see that the device answers.
static NTSTATUS ReadDeviceDescriptor(PTOUCH_DEVICE_EXTENSION Extension) {
    PUSB_DEVICE_DESCRIPTOR descriptor = (PUSB_DEVICE_DESCRIPTOR)ExAllocatePoolWithTag(
        NonPagedPool, sizeof(USB_DEVICE_DESCRIPTOR), TOUCH_POOL_TAG);
    if (descriptor == NULL) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    ULONG received = 0;
    NTSTATUS status = GetDescriptor(Extension, USB_DEVICE_DESCRIPTOR_TYPE, descriptor,
                                    sizeof(USB_DEVICE_DESCRIPTOR), &received);
    FreePool(descriptor);
    return status;
}

// GET_IDLE to the interface; a device that rejects it is not started.
static NTSTATUS SendClassRequest(PTOUCH_DEVICE_EXTENSION Extension) {
    const USHORT size = sizeof(struct _URB_CONTROL_VENDOR_OR_CLASS_REQUEST);
    PURB urb = AllocateUrb(size);
    if (urb == NULL) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    UCHAR idle = 0; // the answer is not used
    UsbBuildVendorRequest(urb, URB_FUNCTION_CLASS_INTERFACE, size, USBD_TRANSFER_DIRECTION_IN, 0,
                          CLASS_REQUEST_GET_IDLE, 0, 0, &idle, NULL, sizeof(idle), NULL);
    NTSTATUS status = SubmitUrbSynchronously(Extension, urb);
    if (NT_SUCCESS(status) && !USBD_SUCCESS(urb->UrbHeader.Status)) {
        status = STATUS_UNSUCCESSFUL;
    }
    FreePool(urb);
    return status;
}

NTSTATUS ConfigureDevice(PTOUCH_DEVICE_EXTENSION Extension) {
    EXPECT_PASSIVE_LEVEL();
    NTSTATUS status = CheckPort(Extension);
    if (NT_SUCCESS(status)) {
        status = SelectConfiguration(Extension);
    }
    if (NT_SUCCESS(status)) {
        status = ReadDeviceDescriptor(Extension);
    }
    if (NT_SUCCESS(status)) {
        status = SendClassRequest(Extension);
    }
    return status;
}

// The device goes back to its unconfigured state; the answer is not used.
VOID UnconfigureDevice(PTOUCH_DEVICE_EXTENSION Extension) {
    EXPECT_PASSIVE_LEVEL();
    const USHORT size = sizeof(struct _URB_SELECT_CONFIGURATION);
    PURB urb = AllocateUrb(size);
    if (urb != NULL) {
        UsbBuildSelectConfigurationRequest(urb, size, NULL);
        SubmitUrbSynchronously(Extension, urb);
        FreePool(urb);
    }
    Extension->PipeHandle = NULL;
}
