// The HID class's internal requests. Output goes to Irp->UserBuffer
// (METHOD_NEITHER); every request is completed here, except a read report
// that finds no point, which is held (read_reports.cpp).
#include "drivers/hid/pelmo98.h"

static NTSTATUS CopyToCaller(PIRP Irp, const VOID* Data, ULONG Length) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    if (stack->Parameters.DeviceIoControl.OutputBufferLength < Length) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    if (Irp->UserBuffer == NULL) {
        return STATUS_INVALID_USER_BUFFER;
    }
    RtlCopyMemory(Irp->UserBuffer, Data, Length);
    Irp->IoStatus.Information = Length;
    return STATUS_SUCCESS;
}

// The whole buffer is zeroed, the descriptor goes to its start.
static NTSTATUS GetReportDescriptor(PBRIDGE_DEVICE_EXTENSION Extension, PIRP Irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    ULONG length = stack->Parameters.DeviceIoControl.OutputBufferLength;
    if (length < BRIDGE_REPORT_DESCRIPTOR_LENGTH) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    if (Irp->UserBuffer == NULL) {
        return STATUS_INVALID_USER_BUFFER;
    }
    RtlZeroMemory(Irp->UserBuffer, length);
    CopyReportDescriptor(Extension->UsbdiVersion, (PUCHAR)Irp->UserBuffer);
    Irp->IoStatus.Information = BRIDGE_REPORT_DESCRIPTOR_LENGTH;
    return STATUS_SUCCESS;
}

// The same block whichever string is asked for. The caller's input-length
// field gives the byte count, cut to the block and to the output buffer.
static NTSTATUS GetString(PIRP Irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    ULONG length = stack->Parameters.DeviceIoControl.InputBufferLength;
    if (length > BridgeStringBlockLength) {
        length = BridgeStringBlockLength;
    }
    if (length > stack->Parameters.DeviceIoControl.OutputBufferLength) {
        length = stack->Parameters.DeviceIoControl.OutputBufferLength;
    }
    if (Irp->UserBuffer == NULL || length == 0) {
        return STATUS_INVALID_USER_BUFFER;
    }
    RtlCopyMemory(Irp->UserBuffer, BridgeStringBlock, length);
    Irp->IoStatus.Information = length;
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI BridgeInternalDeviceControl(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    PBRIDGE_DEVICE_EXTENSION extension = BridgeExtension(DeviceObject);
    NTSTATUS status;
    Irp->IoStatus.Information = 0;
    switch (IoGetCurrentIrpStackLocation(Irp)->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_HID_READ_REPORT:
        return ReadReport(extension, Irp);
    case IOCTL_HID_GET_DEVICE_DESCRIPTOR:
        status = CopyToCaller(Irp, &BridgeHidDescriptor, sizeof(BridgeHidDescriptor));
        break;
    case IOCTL_HID_GET_REPORT_DESCRIPTOR:
        status = GetReportDescriptor(extension, Irp);
        break;
    case IOCTL_HID_GET_DEVICE_ATTRIBUTES:
        status = CopyToCaller(Irp, &BridgeAttributes, sizeof(BridgeAttributes));
        break;
    case IOCTL_HID_GET_STRING:
        status = GetString(Irp);
        break;
    case IOCTL_HID_WRITE_REPORT:
    case IOCTL_HID_ACTIVATE_DEVICE:
    case IOCTL_HID_DEACTIVATE_DEVICE:
        status = STATUS_SUCCESS;
        break;
    case IOCTL_HID_SET_FEATURE:
    case IOCTL_HID_GET_FEATURE:
    case IOCTL_GET_PHYSICAL_DESCRIPTOR:
        status = STATUS_NOT_SUPPORTED;
        break;
    default:
        status = STATUS_INVALID_DEVICE_REQUEST;
        break;
    }
    return CompleteWithStatus(Irp, status);
}
