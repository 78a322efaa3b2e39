// Starting and stopping the flow of points with the device, and giving back
// the read that the touch driver holds.
#include "drivers/touchlink/link_internal.h"

NTSTATUS SendReleaseReads(PDEVICE_OBJECT Target) {
    EXPECT_PASSIVE_LEVEL();
    KEVENT event;
    IO_STATUS_BLOCK ioStatus;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    PIRP irp = IoBuildDeviceIoControlRequest(IOCTL_TOUCH_RELEASE_READS, Target, NULL, 0, NULL, 0,
                                             TRUE, &event, &ioStatus);
    if (irp == NULL) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    // The touch driver completes our held read before it completes this.
    NTSTATUS status = IoCallDriver(Target, irp);
    if (status == STATUS_PENDING) {
        status = KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, NULL);
    }
    return NT_SUCCESS(status) ? ioStatus.Status : status;
}

NTSTATUS ReleasePointReads(PTOUCH_LINK Link) {
    KIRQL oldIrql;
    KeAcquireSpinLock(&Link->Lock, &oldIrql);
    PDEVICE_OBJECT target = Link->TouchDeviceObject;
    if (target != NULL) {
        BeginSendLocked(Link);
    }
    KeReleaseSpinLock(&Link->Lock, oldIrql);
    if (target == NULL) {
        return STATUS_NO_SUCH_DEVICE;
    }
    NTSTATUS status = SendReleaseReads(target);
    EndSend(Link);
    return status;
}

// A read out while unlinked was sent before an interface removal. The touch
// driver's name still leads to the device that holds it if that device is
// there at all; if it is gone, it gave the read back before it went.
static VOID ReleaseUnlinkedRead(VOID) {
    PFILE_OBJECT file;
    PDEVICE_OBJECT device;
    if (NT_SUCCESS(OpenTouchDriver(&file, &device))) {
        SendReleaseReads(device);
        ObDereferenceObject(file);
    }
}

// Passive level, with reading disabled. Returns when no read of ours is out.
static VOID DrainReads(PTOUCH_LINK Link) {
    // A completion that booked its next read before reading was disabled may
    // still be sending it; a release now would miss it.
    WaitForLinkEvent(Link, &Link->SendIdleEvent);

    KIRQL oldIrql;
    KeAcquireSpinLock(&Link->Lock, &oldIrql);
    BOOLEAN readOut = (BOOLEAN)(Link->ReadIrp != NULL);
    BOOLEAN linked = (BOOLEAN)(Link->TouchDeviceObject != NULL);
    KeReleaseSpinLock(&Link->Lock, oldIrql);
    if (!readOut) {
        return;
    }
    if (linked) {
        ReleasePointReads(Link);
    } else {
        ReleaseUnlinkedRead();
    }
    WaitForLinkEvent(Link, &Link->ReadDoneEvent);
}

NTSTATUS StartFeed(PTOUCH_LINK Link) {
    EXPECT_PASSIVE_LEVEL();
    KIRQL oldIrql;
    KeAcquireSpinLock(&Link->Lock, &oldIrql);
    BOOLEAN wasStarted = Link->Started;
    Link->Started = TRUE;
    if (!wasStarted && Link->TouchDeviceObject != NULL) {
        Link->ReadEnabled = TRUE;
    }
    KeReleaseSpinLock(&Link->Lock, oldIrql);
    if (!wasStarted) {
        StartPointRead(Link);
    }
    return STATUS_SUCCESS;
}

// Passive level. No new read goes after this; returns when none is out.
static VOID StopReads(PTOUCH_LINK Link) {
    KIRQL oldIrql;
    KeAcquireSpinLock(&Link->Lock, &oldIrql);
    Link->Started = FALSE;
    Link->ReadEnabled = FALSE;
    KeReleaseSpinLock(&Link->Lock, oldIrql);
    DrainReads(Link);
}

NTSTATUS StopFeed(PTOUCH_LINK Link) {
    EXPECT_PASSIVE_LEVEL();
    KIRQL oldIrql;
    KeAcquireSpinLock(&Link->Lock, &oldIrql);
    BOOLEAN wasStarted = Link->Started;
    KeReleaseSpinLock(&Link->Lock, oldIrql);
    if (wasStarted) {
        StopReads(Link);
    }
    return STATUS_SUCCESS;
}

// The full stop also on a device that was stopped already.
NTSTATUS RemoveFeed(PTOUCH_LINK Link) {
    EXPECT_PASSIVE_LEVEL();
    StopReads(Link);
    if (Link->NotificationEntry != NULL) {
        IoUnregisterPlugPlayNotification(Link->NotificationEntry);
        Link->NotificationEntry = NULL;
    }
    // A callback under way may still link: only after it the link is dropped.
    RetireLinkNotify(Link);
    DisconnectTouchDriver(Link);
    return STATUS_SUCCESS;
}
