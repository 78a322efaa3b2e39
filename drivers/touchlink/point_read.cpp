// The chain of point reads: one IOCTL_TOUCH_READ_POINT out at a time, built
// and freed by us, re-issued from its own completion.
#include "drivers/touchlink/link_internal.h"

// Caller holds the lock. Builds the next read and books it as out, or
// returns NULL when no read may go now.
static PIRP ClaimRead(PTOUCH_LINK Link) {
    if (!Link->Started || !Link->ReadEnabled || Link->ReadIrp != NULL ||
        Link->TouchDeviceObject == NULL) {
        return NULL;
    }
    PIRP irp = IoAllocateIrp(TOUCH_LINK_READ_STACK_SIZE, FALSE);
    if (irp == NULL) {
        return NULL;
    }
    RtlZeroMemory(Link->PointBuffer, sizeof(Link->PointBuffer));
    irp->AssociatedIrp.SystemBuffer = Link->PointBuffer;
    irp->UserBuffer = NULL;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_TOUCH_READ_POINT;
    next->Parameters.DeviceIoControl.OutputBufferLength = sizeof(Link->PointBuffer);
    next->Parameters.DeviceIoControl.InputBufferLength = 0;
    IoSetCompletionRoutine(irp, PointReadComplete, Link, TRUE, TRUE, TRUE);

    Link->ReadIrp = irp;
    Link->ReadGeneration = Link->Generation;
    KeClearEvent(&Link->ReadDoneEvent);
    BeginSendLocked(Link);
    return irp;
}

static NTSTATUS SendRead(PTOUCH_LINK Link, PIRP Irp, PDEVICE_OBJECT Target) {
    // May complete at once and re-arm from inside, up to the depth of the
    // touch driver's point queue.
    NTSTATUS status = IoCallDriver(Target, Irp);
    EndSend(Link);
    return status;
}

NTSTATUS StartPointRead(PTOUCH_LINK Link) {
    KIRQL oldIrql;
    KeAcquireSpinLock(&Link->Lock, &oldIrql);
    PDEVICE_OBJECT target = Link->TouchDeviceObject;
    PIRP irp = ClaimRead(Link);
    KeReleaseSpinLock(&Link->Lock, oldIrql);
    if (irp == NULL) {
        return STATUS_UNSUCCESSFUL;
    }
    return SendRead(Link, irp, target);
}

// IRQL <= DISPATCH_LEVEL, on whatever thread the touch driver completes in.
// The request is ours: it is freed here and never goes further up.
NTSTATUS NTAPI PointReadComplete(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context) {
    UNREFERENCED_PARAMETER(DeviceObject);
    PTOUCH_LINK link = (PTOUCH_LINK)Context;
    NTSTATUS status = Irp->IoStatus.Status;
    ULONG_PTR count = Irp->IoStatus.Information;
    IoFreeIrp(Irp);

    // ReadIrp is still booked, so nobody stops or deletes the link meanwhile,
    // and PointBuffer is not reused before the point is delivered.
    if (status == STATUS_SUCCESS && count != 0) {
        const UCHAR* point = link->PointBuffer;
        link->Client->DeliverPoint(link, point[0], (USHORT)(point[1] | (point[2] << 8)),
                                   (USHORT)(point[3] | (point[4] << 8)));
    }

    KIRQL oldIrql;
    KeAcquireSpinLock(&link->Lock, &oldIrql);
    // A read sent before the last link or unlink says nothing about the
    // current link: its end does not end the chain.
    BOOLEAN stale = (BOOLEAN)(link->ReadGeneration != link->Generation);
    BOOLEAN carryOn = (BOOLEAN)(status == STATUS_SUCCESS || status == STATUS_IO_TIMEOUT || stale);
    link->ReadIrp = NULL;
    PDEVICE_OBJECT target = link->TouchDeviceObject;
    PIRP next = carryOn ? ClaimRead(link) : NULL;
    if (next == NULL) {
        KeSetEvent(&link->ReadDoneEvent, IO_NO_INCREMENT, FALSE);
    }
    KeReleaseSpinLock(&link->Lock, oldIrql);

    if (next != NULL) {
        SendRead(link, next, target);
    }
    return STATUS_MORE_PROCESSING_REQUIRED;
}
