// The interrupt reader: one 8-byte transfer kept outstanding on the selected
// pipe, re-armed from its completion, and port recovery after data errors.
//
// Ownership: the read request is allocated once and re-initialised for every
// read of the device's life (IoInitializeIrp: Windows 98 has no IoReuseIrp);
// ReleaseReader frees it at removal. The reset request is kept the same way. ReaderLock makes
// "stopped" and "in flight" one decision, so a completion never re-arms after StopReader. Each
// in-flight flag is cleared and its event set in one acquisition of the lock: whoever sees the flag
// clear knows the completion no longer touches the device.
//
// Recovery runs from an executive work item embedded in the extension (98
// has no IoAllocateWorkItem). Such an item holds no reference on the device,
// so removal waits for RecoveryDoneEvent, which each step sets last.
#include "drivers/touch/korvex.h"

#define STOP_PAUSE (-1000000LL)         // 100 ms, relative
#define READ_DONE_TIMEOUT (-12000000LL) // 1.2 s, relative
#define RECOVERY_TIMEOUT (-12000000LL)  // 1.2 s, relative

static IO_COMPLETION_ROUTINE ReadComplete;
static IO_COMPLETION_ROUTINE ResetComplete;
static WORKER_THREAD_ROUTINE ResetWorker;
static WORKER_THREAD_ROUTINE ResumeWorker;

static KIRQL AcquireReaderLock(PTOUCH_DEVICE_EXTENSION Extension) {
    KIRQL oldIrql;
    KeAcquireSpinLock(&Extension->ReaderLock, &oldIrql);
    return oldIrql;
}

static VOID ReleaseReaderLock(PTOUCH_DEVICE_EXTENSION Extension, KIRQL OldIrql) {
    KeReleaseSpinLock(&Extension->ReaderLock, OldIrql);
}

static CCHAR LowerStackSize(PTOUCH_DEVICE_EXTENSION Extension) {
    return Extension->LowerDeviceObject->StackSize;
}

// Reader lock held, read not in flight. Prepares ReadIrp and ReadUrb for the
// next transfer; the caller sends it after dropping the lock.
static VOID ArmReadLocked(PTOUCH_DEVICE_EXTENSION Extension) {
    PURB urb = Extension->ReadUrb;
    UsbBuildInterruptOrBulkTransferRequest(
        urb, sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER), Extension->PipeHandle,
        Extension->ReportBuffer, NULL, Extension->ReadLength,
        USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK, NULL);

    PIRP irp = Extension->ReadIrp;
    const CCHAR stackSize = LowerStackSize(Extension);
    IoInitializeIrp(irp, (USHORT)IoSizeOfIrp(stackSize), stackSize);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
    next->Parameters.Others.Argument1 = urb;
    IoSetCompletionRoutine(irp, ReadComplete, Extension, TRUE, TRUE, TRUE);

    Extension->ReadInFlight = TRUE;
    KeClearEvent(&Extension->ReadDoneEvent);
}

// IRQL <= DISPATCH_LEVEL. Sends the next read unless the reader is stopped
// or a read is already below us. STATUS_UNSUCCESSFUL when the one read
// request cannot be allocated: nothing retries, the reader is idle.
static NTSTATUS SubmitRead(PTOUCH_DEVICE_EXTENSION Extension) {
    EXPECT_DISPATCH_LEVEL_OR_BELOW();
    if (Extension->ReadIrp == NULL) {
        Extension->ReadIrp = IoAllocateIrp(LowerStackSize(Extension), FALSE);
        if (Extension->ReadIrp == NULL) {
            return STATUS_UNSUCCESSFUL;
        }
    }
    KIRQL oldIrql = AcquireReaderLock(Extension);
    BOOLEAN send = !Extension->Stopped && !Extension->ReadInFlight;
    if (send) {
        ArmReadLocked(Extension);
    }
    ReleaseReaderLock(Extension, oldIrql);
    if (!send) {
        return STATUS_SUCCESS;
    }
    return IoCallDriver(Extension->LowerDeviceObject, Extension->ReadIrp);
}

// Recovery bookkeeping. BeginRecoveryLocked runs under the reader lock in the
// same acquisition that ends a read, so the stop path sees either the read
// or the recovery. EndRecovery signals last: after it, the device may go.
static VOID BeginRecoveryLocked(PTOUCH_DEVICE_EXTENSION Extension) {
    Extension->RecoveryInFlight = TRUE;
    KeClearEvent(&Extension->RecoveryDoneEvent);
}

static VOID EndRecovery(PTOUCH_DEVICE_EXTENSION Extension) {
    KIRQL oldIrql = AcquireReaderLock(Extension);
    Extension->RecoveryInFlight = FALSE;
    KeSetEvent(&Extension->RecoveryDoneEvent, IO_NO_INCREMENT, FALSE);
    ReleaseReaderLock(Extension, oldIrql);
}

static BOOLEAN IsStopped(PTOUCH_DEVICE_EXTENSION Extension) {
    KIRQL oldIrql = AcquireReaderLock(Extension);
    BOOLEAN stopped = Extension->Stopped;
    ReleaseReaderLock(Extension, oldIrql);
    return stopped;
}

// IRQL <= DISPATCH_LEVEL, recovery in flight. One step is queued at a time,
// so the one item is never queued twice.
static VOID QueueRecoveryStep(PTOUCH_DEVICE_EXTENSION Extension, PWORKER_THREAD_ROUTINE Step) {
    EXPECT_DISPATCH_LEVEL_OR_BELOW();
    ExInitializeWorkItem(&Extension->RecoveryWorkItem, Step, Extension);
    ExQueueWorkItem(&Extension->RecoveryWorkItem, DelayedWorkQueue);
}

// Runs at dispatch level or below, in the lower driver's completion context.
// The request is ours and is reused, so the I/O manager must stop here.
static NTSTATUS NTAPI ReadComplete(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context) {
    UNREFERENCED_PARAMETER(DeviceObject);
    PTOUCH_DEVICE_EXTENSION extension = (PTOUCH_DEVICE_EXTENSION)Context;
    const NTSTATUS status = Irp->IoStatus.Status;
    const BOOLEAN decode = (status == STATUS_SUCCESS);
    const BOOLEAN rearm = decode || status == STATUS_IO_TIMEOUT;
    const BOOLEAN reset = (status == STATUS_DEVICE_DATA_ERROR);

    // Before the re-arm: the next transfer writes the same buffer.
    if (decode) {
        DecodeReport(extension, extension->ReportBuffer);
    }

    BOOLEAN rearmed = FALSE;
    BOOLEAN recovering = FALSE;
    KIRQL oldIrql = AcquireReaderLock(extension);
    extension->ReadInFlight = FALSE;
    if (!extension->Stopped) {
        if (rearm) {
            ArmReadLocked(extension);
            rearmed = TRUE;
        } else if (reset) {
            BeginRecoveryLocked(extension);
            recovering = TRUE;
        }
    }
    // The recovery keeps the stop path waiting on its own event, so the read
    // may be reported done first.
    if (!rearmed) {
        KeSetEvent(&extension->ReadDoneEvent, IO_NO_INCREMENT, FALSE);
    }
    ReleaseReaderLock(extension, oldIrql);

    if (rearmed) {
        IoCallDriver(extension->LowerDeviceObject, Irp);
        return STATUS_MORE_PROCESSING_REQUIRED;
    }
    if (recovering) {
        // Hubs take a port reset only at passive level.
        QueueRecoveryStep(extension, ResetWorker);
    }
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// Passive level, recovery in flight. Sends the asynchronous port reset;
// ResetComplete continues the recovery. Like the read, the reset request is
// allocated once and kept until removal, so the stop path may cancel it at
// any time. Without it, or after a stop, the recovery ends here.
static VOID ResetPort(PTOUCH_DEVICE_EXTENSION Extension) {
    EXPECT_PASSIVE_LEVEL();
    if (Extension->ResetIrp == NULL) {
        Extension->ResetIrp = IoAllocateIrp(LowerStackSize(Extension), FALSE);
        if (Extension->ResetIrp == NULL) {
            EndRecovery(Extension);
            return;
        }
    }
    PIRP irp = Extension->ResetIrp;
    KIRQL oldIrql = AcquireReaderLock(Extension);
    const BOOLEAN send = !Extension->Stopped;
    if (send) {
        const CCHAR stackSize = LowerStackSize(Extension);
        IoInitializeIrp(irp, (USHORT)IoSizeOfIrp(stackSize), stackSize);
        Extension->PortStatus = 0;
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
        next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_RESET_PORT;
        next->Parameters.Others.Argument1 = &Extension->PortStatus;
        next->Parameters.Others.Argument2 = NULL;
        IoSetCompletionRoutine(irp, ResetComplete, Extension, TRUE, TRUE, TRUE);
        Extension->ResetInFlight = TRUE;
    }
    ReleaseReaderLock(Extension, oldIrql);
    if (send) {
        IoCallDriver(Extension->LowerDeviceObject, irp);
    } else {
        EndRecovery(Extension);
    }
}

// Dispatch level or below. Picks the next step; the work after a good reset
// waits for the lower driver, so it runs from the work item. A reset that
// ends after a stop ends the recovery. The request stays ours for the next.
static NTSTATUS NTAPI ResetComplete(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context) {
    UNREFERENCED_PARAMETER(DeviceObject);
    PTOUCH_DEVICE_EXTENSION extension = (PTOUCH_DEVICE_EXTENSION)Context;
    const NTSTATUS status = Irp->IoStatus.Status;
    KIRQL oldIrql = AcquireReaderLock(extension);
    extension->ResetInFlight = FALSE;
    ReleaseReaderLock(extension, oldIrql);

    if (IsStopped(extension)) {
        EndRecovery(extension);
    } else if (status == STATUS_SUCCESS) {
        QueueRecoveryStep(extension, ResumeWorker);
    } else if (status == STATUS_DEVICE_DATA_ERROR) {
        QueueRecoveryStep(extension, ResetWorker); // no limit on repetitions
    } else {
        EndRecovery(extension); // idle
    }
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// Work item, passive level. Nothing may touch the extension after the reset
// is sent: its completion may already have queued the next step.
static VOID NTAPI ResetWorker(PVOID Context) {
    ResetPort((PTOUCH_DEVICE_EXTENSION)Context);
}

// Work item, passive level, after a good reset: reading resumes if the port
// looks right, else the reader is idle. SubmitRead refuses after a stop.
static VOID NTAPI ResumeWorker(PVOID Context) {
    EXPECT_PASSIVE_LEVEL();
    PTOUCH_DEVICE_EXTENSION extension = (PTOUCH_DEVICE_EXTENSION)Context;
    if (!IsStopped(extension) && NT_SUCCESS(CheckPort(extension))) {
        SubmitRead(extension);
    }
    EndRecovery(extension);
}

NTSTATUS StartReader(PTOUCH_DEVICE_EXTENSION Extension) {
    EXPECT_PASSIVE_LEVEL();
    if (!Extension->Stopped) {
        return STATUS_SUCCESS; // running, or idle until the next stop
    }
    // Only a stop of a running reader gives a start back, so two failed
    // starts use up the device object's starts for good.
    if (Extension->StartCount > 1) {
        return STATUS_UNSUCCESSFUL;
    }
    InterlockedIncrement(&Extension->StartCount);
    if (ConfigureDevice(Extension) != STATUS_SUCCESS) {
        return STATUS_UNSUCCESSFUL;
    }

    KIRQL oldIrql = AcquireReaderLock(Extension);
    Extension->Stopped = FALSE;
    ReleaseReaderLock(Extension, oldIrql);

    LoadSettings(Extension);
    SubmitRead(Extension);
    SetTouchInterface(Extension, TRUE);
    return STATUS_SUCCESS;
}

VOID SetTouchInterface(PTOUCH_DEVICE_EXTENSION Extension, BOOLEAN Enable) {
    Extension->InterfaceEnabled = Enable;
    IoSetDeviceInterfaceState(&Extension->InterfaceName, Enable);
}

// Stops a running reader: no re-arm after this, the read cancelled and
// waited for, the recovery waited for. Each wait is bounded so that a lower
// driver that never answers cannot hold up a system sleep; ReleaseReader
// waits for whatever outlived the limits before the device goes.
static VOID StopRunningReader(PTOUCH_DEVICE_EXTENSION Extension) {
    InterlockedDecrement(&Extension->StartCount);
    KIRQL oldIrql = AcquireReaderLock(Extension);
    Extension->Stopped = TRUE;
    ReleaseReaderLock(Extension, oldIrql);

    LARGE_INTEGER pause;
    pause.QuadPart = STOP_PAUSE;
    KeDelayExecutionThread(KernelMode, FALSE, &pause);

    // Nothing can start after this sample: Stopped is set.
    oldIrql = AcquireReaderLock(Extension);
    BOOLEAN reading = Extension->ReadInFlight;
    BOOLEAN recovering = Extension->RecoveryInFlight;
    BOOLEAN resetting = Extension->ResetInFlight;
    ReleaseReaderLock(Extension, oldIrql);

    LARGE_INTEGER timeout;
    if (reading) {
        // Cancelling a request that has just completed only sets its Cancel
        // flag: it is never freed before removal. Whether or not the cancel
        // found a cancel routine, the completion is still to come.
        IoCancelIrp(Extension->ReadIrp);
        timeout.QuadPart = READ_DONE_TIMEOUT;
        KeWaitForSingleObject(&Extension->ReadDoneEvent, Executive, KernelMode, FALSE, &timeout);
    }
    if (recovering) {
        if (resetting) {
            // As for the read: kept until removal, so safe to cancel.
            IoCancelIrp(Extension->ResetIrp);
        }
        timeout.QuadPart = RECOVERY_TIMEOUT;
        KeWaitForSingleObject(&Extension->RecoveryDoneEvent, Executive, KernelMode, FALSE,
                              &timeout);
    }
}

VOID StopReader(PTOUCH_DEVICE_EXTENSION Extension) {
    EXPECT_PASSIVE_LEVEL();
    // Held point reads and the interface are given back whatever the
    // reader's state: a control command switches the interface on even for
    // a screen whose start failed.
    CancelPendingReads();
    if (!Extension->Stopped) {
        StopRunningReader(Extension);
    }
    if (Extension->InterfaceEnabled) {
        SetTouchInterface(Extension, FALSE);
    }
}

VOID ReleaseReader(PTOUCH_DEVICE_EXTENSION Extension) {
    EXPECT_PASSIVE_LEVEL();
    KIRQL oldIrql = AcquireReaderLock(Extension);
    BOOLEAN reading = Extension->ReadInFlight;
    BOOLEAN recovering = Extension->RecoveryInFlight;
    ReleaseReaderLock(Extension, oldIrql);
    // What outlived StopReader's limits is still below us or queued: the
    // request and the extension cannot go before it is back.
    if (reading) {
        KeWaitForSingleObject(&Extension->ReadDoneEvent, Executive, KernelMode, FALSE, NULL);
    }
    if (recovering) {
        KeWaitForSingleObject(&Extension->RecoveryDoneEvent, Executive, KernelMode, FALSE, NULL);
    }
    if (Extension->ReadIrp != NULL) {
        IoFreeIrp(Extension->ReadIrp);
        Extension->ReadIrp = NULL;
    }
    if (Extension->ResetIrp != NULL) {
        IoFreeIrp(Extension->ResetIrp);
        Extension->ResetIrp = NULL;
    }
}
