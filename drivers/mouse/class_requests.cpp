// The requests of the mouse class driver above us. Each is completed here;
// none goes down.
#include "drivers/mouse/pelmoxp.h"

static NTSTATUS QueryAttributes(PMOUSE_DEVICE_EXTENSION Extension, PIRP Irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    if (stack->Parameters.DeviceIoControl.OutputBufferLength < sizeof(MOUSE_ATTRIBUTES)) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    RtlCopyMemory(Irp->AssociatedIrp.SystemBuffer, &Extension->Attributes,
                  sizeof(MOUSE_ATTRIBUTES));
    Irp->IoStatus.Information = sizeof(MOUSE_ATTRIBUTES);
    return STATUS_SUCCESS;
}

// The first connection stays for the life of the device. The input must hold
// a whole CONNECT_DATA: 8 bytes on 32-bit Windows, 16 on 64-bit.
static NTSTATUS ConnectClass(PMOUSE_DEVICE_EXTENSION Extension, PIRP Irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    if (Extension->ConnectData.ClassService != NULL) {
        return STATUS_SHARING_VIOLATION;
    }
    PCONNECT_DATA connectData = (PCONNECT_DATA)stack->Parameters.DeviceIoControl.Type3InputBuffer;
    if (stack->Parameters.DeviceIoControl.InputBufferLength < sizeof(CONNECT_DATA) ||
        connectData == NULL) {
        return STATUS_INVALID_PARAMETER;
    }
    Extension->ConnectData = *connectData;
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI MouseInternalDeviceControl(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    PMOUSE_DEVICE_EXTENSION extension = (PMOUSE_DEVICE_EXTENSION)DeviceObject->DeviceExtension;
    NTSTATUS status;
    Irp->IoStatus.Information = 0;
    switch (IoGetCurrentIrpStackLocation(Irp)->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_MOUSE_QUERY_ATTRIBUTES:
        status = QueryAttributes(extension, Irp);
        break;
    case IOCTL_INTERNAL_MOUSE_CONNECT:
        status = ConnectClass(extension, Irp);
        break;
    case IOCTL_INTERNAL_MOUSE_DISCONNECT:
        status = STATUS_NOT_IMPLEMENTED;
        break;
    case IOCTL_INTERNAL_MOUSE_ENABLE:
    case IOCTL_INTERNAL_MOUSE_DISABLE:
        status = STATUS_NOT_SUPPORTED;
        break;
    default:
        status = STATUS_INVALID_DEVICE_REQUEST;
        break;
    }
    return CompleteWithStatus(Irp, status);
}
