// IoCompleteRequest: unwinds the stack locations bottom-up, calling the
// completion routines, and finishes requests that reach the top.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

#include <algorithm>
#include <cstring>

using namespace platform::kernel::detail;
using platform::kernel::Kernel;

namespace {

bool IsError(NTSTATUS status) {
    return (static_cast<ULONG>(status) >> 30) == 3;
}

bool Invokes(UCHAR control, NTSTATUS status, BOOLEAN cancelled) {
    return (NT_SUCCESS(status) && (control & SL_INVOKE_ON_SUCCESS)) ||
           (!NT_SUCCESS(status) && (control & SL_INVOKE_ON_ERROR)) ||
           (cancelled && (control & SL_INVOKE_ON_CANCEL));
}

// What the I/O manager clears in a location it has unwound. The major
// function and device object stay, as on Windows.
void ClearLocation(PIO_STACK_LOCATION sp) {
    sp->MinorFunction = 0;
    sp->Flags = 0;
    sp->Control = 0;
    std::memset(&sp->Parameters, 0, sizeof sp->Parameters);
    sp->FileObject = nullptr;
    sp->CompletionRoutine = nullptr;
    sp->Context = nullptr;
}

bool IsBufferedControl(PIO_STACK_LOCATION sp) {
    return (sp->MajorFunction == IRP_MJ_DEVICE_CONTROL ||
            sp->MajorFunction == IRP_MJ_INTERNAL_DEVICE_CONTROL) &&
           METHOD_FROM_CTL_CODE(sp->Parameters.DeviceIoControl.IoControlCode) == METHOD_BUFFERED;
}

std::string DescribeOwner(PDRIVER_OBJECT owner) {
    if (!owner)
        return "";
    std::lock_guard lock(K().objects.mutex);
    DriverInfo* info = K().objects.FindDriver(owner);
    return info ? " (allocated by " + info->name + ")" : "";
}

// The request has passed its top location.
void Finish(Kernel::State& k, PIRP irp) {
    PVOID systemBuffer;
    bool copyOut;
    ULONG outputLength;
    std::shared_ptr<SyncCompletion> sync;
    IrpOrigin origin;
    PDRIVER_OBJECT owner;
    {
        auto lock = k.irps.Lock();
        IrpRecord* record = k.irps.Find(irp);
        record->state = IrpState::Finished;
        record->holder = nullptr;
        origin = record->origin;
        owner = record->owner;
        systemBuffer = record->systemBuffer;
        copyOut = record->copyOut;
        outputLength = record->outputLength;
        sync = record->sync;
    }
    if (origin == IrpOrigin::Driver) {
        k.verifier.Report("irp-unwound-past-originator",
                          "IRP " + Hex(irp) + " from IoAllocateIrp" + DescribeOwner(owner) +
                              " completed past its top location: no completion routine "
                              "claimed it with STATUS_MORE_PROCESSING_REQUIRED");
        return;
    }

    NTSTATUS status = irp->IoStatus.Status;
    ULONG_PTR information = irp->IoStatus.Information;
    if (systemBuffer) {
        if (copyOut && !IsError(status)) {
            size_t bytes = std::min<size_t>(information, outputLength);
            if (sync)
                sync->output.assign(static_cast<unsigned char*>(systemBuffer),
                                    static_cast<unsigned char*>(systemBuffer) + bytes);
            else
                std::memcpy(irp->UserBuffer, systemBuffer, bytes);
        }
        ExFreePoolWithTag(systemBuffer, kKernelPoolTag);
    }
    if (sync) {
        sync->iosb = irp->IoStatus;
        k.dispatcher.Set(&sync->event);
    } else if (!IsError(status) || irp->PendingReturned) {
        // A request that failed without pending: the caller has the status
        // from IoCallDriver, and the I/O manager leaves its event and status
        // block alone.
        if (irp->UserIosb)
            *irp->UserIosb = irp->IoStatus;
        if (irp->UserEvent)
            k.dispatcher.Set(irp->UserEvent);
    }
    auto lock = k.irps.Lock();
    IrpRecord* record = k.irps.Find(irp);
    if (record && !record->freed)
        k.irps.Retire(record);
}

void Unwind(Kernel::State& k, PIRP irp) {
    for (;;) {
        if (irp->CurrentLocation > irp->StackCount) {
            Finish(k, irp);
            return;
        }
        PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
        irp->PendingReturned = (sp->Control & SL_PENDING_RETURNED) ? TRUE : FALSE;
        PIO_COMPLETION_ROUTINE routine = sp->CompletionRoutine;
        PVOID context = sp->Context;
        bool invoke = routine && Invokes(sp->Control, irp->IoStatus.Status, irp->Cancel);
        std::string unmarked;
        {
            auto lock = k.irps.Lock();
            IrpRecord* record = k.irps.Find(irp);
            auto& trace = record->locations[static_cast<size_t>(irp->CurrentLocation)];
            trace.unwoundGeneration = trace.generation;
            trace.markedAtUnwind = irp->PendingReturned;
            // A location a driver entered without IoCallDriver (IoSetNextIrpStackLocation
            // and a direct call, as a class driver calls its minidriver) has no
            // dispatch of its own to judge.
            if (trace.expectPending != 0 && trace.expectPending == trace.generation &&
                !irp->PendingReturned)
                unmarked = DescribeRequest(irp);
            trace.expectPending = 0;
        }
        PDEVICE_OBJECT below = sp->DeviceObject;
        ClearLocation(sp);
        IoSkipCurrentIrpStackLocation(irp);
        PDEVICE_OBJECT upper = irp->CurrentLocation <= irp->StackCount
                                   ? IoGetCurrentIrpStackLocation(irp)->DeviceObject
                                   : nullptr;
        if (!unmarked.empty())
            k.verifier.Report("irp-pending-not-marked", "dispatch routine of " +
                                                            DescribeDevice(below) +
                                                            " returned STATUS_PENDING for " +
                                                            unmarked + " without IoMarkIrpPending");

        PDRIVER_OBJECT driver = nullptr;
        {
            auto lock = k.irps.Lock();
            IrpRecord* record = k.irps.Find(irp);
            record->holder = upper;
            if (invoke) {
                record->routineDepth++;
                record->unwinder = std::this_thread::get_id();
                driver = record->owner;
            }
        }
        if (!invoke) {
            if (irp->PendingReturned && irp->CurrentLocation <= irp->StackCount)
                IoMarkIrpPending(irp);
            continue;
        }
        if (upper) {
            std::lock_guard lock(k.objects.mutex);
            if (DeviceInfo* info = k.objects.FindDevice(upper))
                driver = info->driver->object.get();
        }
        NTSTATUS result;
        {
            DriverCall call(driver, "completion routine");
            result = routine(upper, irp, context);
        }
        Findings findings;
        auto lock = k.irps.Lock();
        IrpRecord* record = k.irps.Find(irp);
        record->routineDepth--;
        k.irps.RoutineDone();
        if (record->freed) {
            if (result != STATUS_MORE_PROCESSING_REQUIRED)
                findings.Add("irp-use-after-free",
                             "a completion routine freed " + record->what +
                                 " and did not return STATUS_MORE_PROCESSING_REQUIRED");
            return;
        }
        if (result == STATUS_MORE_PROCESSING_REQUIRED) {
            if (record->state == IrpState::Completing)
                record->state = IrpState::Claimed;
            return;
        }
        if (record->state != IrpState::Completing) {
            findings.Add("irp-double-completion",
                         "a completion routine sent or completed " + DescribeRequest(irp) +
                             " again and did not return STATUS_MORE_PROCESSING_REQUIRED");
            return;
        }
    }
}

} // namespace

VOID IoCompleteRequest(PIRP Irp, CCHAR PriorityBoost) {
    UNREFERENCED_PARAMETER(PriorityBoost);
    auto& k = K();
    {
        Findings findings;
        auto lock = k.irps.Lock();
        IrpRecord* record = k.irps.Admit(lock, Irp, "IoCompleteRequest", findings);
        if (!record)
            return;
        if (record->state == IrpState::Idle) {
            findings.Add("irp-complete-unsent",
                         "IoCompleteRequest(IRP " + Hex(Irp) + "): the request was never sent");
            return;
        }
        // Claimed at the top: only its originator holds it, and completing
        // it again would unwind past its first location.
        bool claimedAtTop =
            record->state == IrpState::Claimed && Irp->CurrentLocation > Irp->StackCount;
        if (record->state == IrpState::Completing || record->state == IrpState::Finished ||
            claimedAtTop) {
            findings.Add("irp-double-completion",
                         "IoCompleteRequest(" + DescribeRequest(Irp) + "): already completed");
            return;
        }
        record->state = IrpState::Completing;
        if (ThreadIrql() > DISPATCH_LEVEL)
            findings.Add("irql-invalid",
                         "IoCompleteRequest at IRQL " + std::to_string(ThreadIrql()));
        // "Differences in WDM Versions": on Windows 98/Me power requests are
        // completed at PASSIVE_LEVEL.
        if (k.system == platform::kernel::Kernel::System::Windows98 &&
            ThreadIrql() != PASSIVE_LEVEL && Irp->CurrentLocation <= Irp->StackCount &&
            IoGetCurrentIrpStackLocation(Irp)->MajorFunction == IRP_MJ_POWER)
            findings.Add("power-irp-completed-above-passive",
                         "IoCompleteRequest(" + DescribeRequest(Irp) + ") at IRQL " +
                             std::to_string(ThreadIrql()) + " on Windows 98");
        if (Irp->IoStatus.Status == STATUS_PENDING)
            findings.Add("irp-complete-pending-status",
                         "IoCompleteRequest(" + DescribeRequest(Irp) + ") with STATUS_PENDING");
        if (__atomic_exchange_n(&Irp->CancelRoutine, nullptr, __ATOMIC_SEQ_CST))
            findings.Add("irp-complete-with-cancel-routine", "IoCompleteRequest(" +
                                                                 DescribeRequest(Irp) +
                                                                 ") while a cancel routine is set");
        if (Irp->CurrentLocation <= Irp->StackCount) {
            PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(Irp);
            ULONG capacity = sp->Parameters.DeviceIoControl.OutputBufferLength;
            if (IsBufferedControl(sp) && !IsError(Irp->IoStatus.Status) &&
                Irp->IoStatus.Information > capacity)
                findings.Add("irp-information-overrun",
                             "IoCompleteRequest(" + DescribeRequest(Irp) + ") with Information " +
                                 std::to_string(Irp->IoStatus.Information) +
                                 " above the output length " + std::to_string(capacity));
        }
    }
    Unwind(k, Irp);
}
