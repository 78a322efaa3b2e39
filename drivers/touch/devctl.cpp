// The device control interface: the control panel's commands and point polls,
// the input drivers' held point reads, and the touch lock.
#include "drivers/touch/korvex.h"

// Held IOCTL_TOUCH_READ_POINT requests (TOUCH_PENDING_READ nodes, oldest
// first). PendingPointReadsLock is the one touch lock: it guards this list,
// every TouchPointQueue, and the decode state a command changes (RawMode,
// HoldCount, InputDriverSeen). Requests are never completed under it.
static LIST_ENTRY PendingPointReads;
static KSPIN_LOCK PendingPointReadsLock;

// One held IOCTL_TOUCH_READ_POINT; non-paged, tagged. The request belongs to
// the input driver that sent it; we only complete it.
typedef struct _TOUCH_PENDING_READ {
    LIST_ENTRY Link;
    PIRP Irp;
} TOUCH_PENDING_READ, *PTOUCH_PENDING_READ;

VOID InitializePendingReads(VOID) {
    InitializeListHead(&PendingPointReads);
    KeInitializeSpinLock(&PendingPointReadsLock);
}

KIRQL AcquireTouchLock(VOID) {
    KIRQL oldIrql;
    KeAcquireSpinLock(&PendingPointReadsLock, &oldIrql);
    return oldIrql;
}

VOID ReleaseTouchLock(KIRQL OldIrql) {
    KeReleaseSpinLock(&PendingPointReadsLock, OldIrql);
}

static PTOUCH_DEVICE_EXTENSION ExtensionOf(PDEVICE_OBJECT DeviceObject) {
    return (PTOUCH_DEVICE_EXTENSION)DeviceObject->DeviceExtension;
}

// Completes a point read with success: with the point when there is one.
static NTSTATUS CompletePointRead(PIRP Irp, const TOUCH_POINT* Point) {
    if (Point == NULL) {
        return CompleteWithInformation(Irp, STATUS_SUCCESS, 0);
    }
    RtlCopyMemory(Irp->AssociatedIrp.SystemBuffer, Point, sizeof(TOUCH_POINT));
    return CompleteWithInformation(Irp, STATUS_SUCCESS, sizeof(TOUCH_POINT));
}

static ULONG OutputLength(PIRP Irp) {
    return IoGetCurrentIrpStackLocation(Irp)->Parameters.DeviceIoControl.OutputBufferLength;
}

// Caller holds the touch lock. Returns the oldest held read, or NULL.
static PIRP RemoveOldestRead(VOID) {
    if (IsListEmpty(&PendingPointReads)) {
        return NULL;
    }
    PTOUCH_PENDING_READ node =
        CONTAINING_RECORD(RemoveHeadList(&PendingPointReads), TOUCH_PENDING_READ, Link);
    PIRP irp = node->Irp;
    ExFreePool(node);
    return irp;
}

VOID ServePendingRead(PTOUCH_DEVICE_EXTENSION Extension) {
    TOUCH_POINT point;
    BOOLEAN havePoint = FALSE;
    KIRQL oldIrql = AcquireTouchLock();
    PIRP irp = RemoveOldestRead();
    if (irp != NULL && OutputLength(irp) >= sizeof(TOUCH_POINT)) {
        havePoint = PopPoint(Extension, &point);
    }
    ReleaseTouchLock(oldIrql);

    if (irp != NULL) {
        CompletePointRead(irp, havePoint ? &point : NULL);
    }
}

VOID CancelPendingReads(VOID) {
    for (;;) {
        KIRQL oldIrql = AcquireTouchLock();
        PIRP irp = RemoveOldestRead();
        ReleaseTouchLock(oldIrql);
        if (irp == NULL) {
            return;
        }
        CompleteWithInformation(irp, STATUS_CANCELLED, 0);
    }
}

// Answers at once with the oldest point, or holds the request until a report
// is decoded or the reads are given back. The pop and the hold happen under
// one lock acquisition, so a point pushed meanwhile is never missed.
static NTSTATUS ReadPoint(PTOUCH_DEVICE_EXTENSION Extension, PIRP Irp) {
    KIRQL oldIrql = AcquireTouchLock();
    Extension->InputDriverSeen = TRUE;
    ReleaseTouchLock(oldIrql);

    if (OutputLength(Irp) < sizeof(TOUCH_POINT)) {
        return CompleteWithInformation(Irp, STATUS_INVALID_PARAMETER, 0);
    }

    PTOUCH_PENDING_READ node = (PTOUCH_PENDING_READ)ExAllocatePoolWithTag(
        NonPagedPool, sizeof(TOUCH_PENDING_READ), TOUCH_POOL_TAG);
    TOUCH_POINT point;
    oldIrql = AcquireTouchLock();
    BOOLEAN havePoint = PopPoint(Extension, &point);
    BOOLEAN held = (!havePoint && node != NULL);
    if (held) {
        node->Irp = Irp;
        IoMarkIrpPending(Irp);
        InsertTailList(&PendingPointReads, &node->Link);
    }
    ReleaseTouchLock(oldIrql);

    if (held) {
        return STATUS_PENDING; // ServePendingRead or CancelPendingReads completes it
    }
    if (node != NULL) {
        ExFreePool(node);
    }
    if (!havePoint) {
        return CompleteWithInformation(Irp, STATUS_NO_MEMORY, 0);
    }
    return CompletePointRead(Irp, &point);
}

static NTSTATUS RunCommand(PTOUCH_DEVICE_EXTENSION Extension, PIRP Irp) {
    KIRQL oldIrql = AcquireTouchLock();
    BOOLEAN inputDriverSeen = Extension->InputDriverSeen;
    ReleaseTouchLock(oldIrql);
    if (!inputDriverSeen) {
        // Announce the interface again: an input driver that started after
        // us gets an arrival and connects.
        CancelPendingReads();
        SetTouchInterface(Extension, FALSE);
        SetTouchInterface(Extension, TRUE);
    }

    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    if (stack->Parameters.DeviceIoControl.InputBufferLength != sizeof(TOUCH_COMMAND_FRAME)) {
        return STATUS_INVALID_PARAMETER;
    }
    UCHAR command = ((PTOUCH_COMMAND_FRAME)Irp->AssociatedIrp.SystemBuffer)->Command;

    oldIrql = AcquireTouchLock();
    Extension->HoldCount = 0;
    if (command == TOUCH_CMD_RAW_ON) {
        Extension->RawMode = TRUE;
    } else if (command == TOUCH_CMD_RAW_OFF) {
        Extension->RawMode = FALSE;
    }
    ReleaseTouchLock(oldIrql);

    if (command == TOUCH_CMD_RELOAD) {
        Extension->CalibrationLoaded = FALSE;
        LoadSettings(Extension);
        if (!Extension->CalibrationLoaded) {
            LoadBackupSettings(Extension);
        }
    }
    return STATUS_SUCCESS;
}

// Never waits: an empty queue answers TOUCH_NO_POINT.
static NTSTATUS GetPoint(PTOUCH_DEVICE_EXTENSION Extension, PIRP Irp) {
    if (OutputLength(Irp) != sizeof(TOUCH_POINT_FRAME)) {
        return STATUS_INVALID_PARAMETER;
    }
    TOUCH_POINT point;
    KIRQL oldIrql = AcquireTouchLock();
    BOOLEAN havePoint = PopPoint(Extension, &point);
    ReleaseTouchLock(oldIrql);

    PTOUCH_POINT_FRAME frame = (PTOUCH_POINT_FRAME)Irp->AssociatedIrp.SystemBuffer;
    frame->Reserved = 0;
    frame->X = havePoint ? point.X : TOUCH_NO_POINT;
    frame->Y = havePoint ? point.Y : TOUCH_NO_POINT;
    frame->Status = havePoint ? point.Status : TOUCH_NO_POINT;
    Irp->IoStatus.Information = sizeof(TOUCH_POINT_FRAME);
    return STATUS_SUCCESS;
}

// Any open succeeds; there is no per-open state.
NTSTATUS NTAPI TouchCreateClose(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    UNREFERENCED_PARAMETER(DeviceObject);
    return CompleteWithInformation(Irp, STATUS_SUCCESS, 0);
}

static VOID LeaveControlRequest(PTOUCH_DEVICE_EXTENSION Extension) {
    if (InterlockedDecrement(&Extension->ControlRequests) == 0) {
        KeSetEvent(&Extension->ControlIdleEvent, IO_NO_INCREMENT, FALSE);
    }
}

VOID WaitForControlRequests(PTOUCH_DEVICE_EXTENSION Extension) {
    EXPECT_PASSIVE_LEVEL();
    Extension->Gone = TRUE;
    LeaveControlRequest(Extension);
    KeWaitForSingleObject(&Extension->ControlIdleEvent, Executive, KernelMode, FALSE, NULL);
}

// The control panel's requests, at passive level. Always completed here.
// Once the screen is pulled out they fail: on 2000 and XP the removal waits
// for the program's handle, on 98 it comes at once, and either way the
// program must see the screen gone.
NTSTATUS NTAPI TouchDeviceControl(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    EXPECT_PASSIVE_LEVEL();
    PTOUCH_DEVICE_EXTENSION extension = ExtensionOf(DeviceObject);
    NTSTATUS status;
    Irp->IoStatus.Information = 0;
    InterlockedIncrement(&extension->ControlRequests);
    if (extension->Gone) {
        LeaveControlRequest(extension);
        return CompleteWithInformation(Irp, STATUS_DELETE_PENDING, 0);
    }
    switch (IoGetCurrentIrpStackLocation(Irp)->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_TOUCH_COMMAND:
        status = RunCommand(extension, Irp);
        break;
    case IOCTL_TOUCH_GET_POINT:
        status = GetPoint(extension, Irp);
        break;
    default:
        status = STATUS_INVALID_PARAMETER;
        break;
    }
    LeaveControlRequest(extension);
    return CompleteWithStatus(Irp, status);
}

// The input drivers' requests, at IRQL <= DISPATCH_LEVEL. A point read may be
// held (STATUS_PENDING); everything else is completed here.
NTSTATUS NTAPI TouchInternalDeviceControl(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    Irp->IoStatus.Information = 0;
    switch (IoGetCurrentIrpStackLocation(Irp)->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_TOUCH_READ_POINT:
        return ReadPoint(ExtensionOf(DeviceObject), Irp);
    case IOCTL_TOUCH_RELEASE_READS:
        CancelPendingReads();
        return CompleteWithInformation(Irp, STATUS_SUCCESS, 0);
    default:
        return CompleteWithInformation(Irp, STATUS_INVALID_PARAMETER, 0);
    }
}
