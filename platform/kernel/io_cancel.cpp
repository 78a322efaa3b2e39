// Cancellation: the cancel spin lock and IoCancelIrp.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/spin_lock.h"
#include "platform/kernel/thread_context.h"

using namespace platform::kernel::detail;

VOID IoAcquireCancelSpinLock(PKIRQL Irql) {
    KeAcquireSpinLock(&K().cancelLock, Irql);
}

VOID IoReleaseCancelSpinLock(KIRQL Irql) {
    KeReleaseSpinLock(&K().cancelLock, Irql);
}

BOOLEAN IoCancelIrp(PIRP Irp) {
    auto& k = K();
    {
        Findings findings;
        auto lock = k.irps.Lock();
        if (!k.irps.Admit(lock, Irp, "IoCancelIrp", findings))
            return FALSE;
    }
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    Irp->Cancel = TRUE;
    PDRIVER_CANCEL routine = IoSetCancelRoutine(Irp, nullptr);
    if (!routine) {
        IoReleaseCancelSpinLock(irql);
        return FALSE;
    }
    Irp->CancelIrql = irql;
    PDEVICE_OBJECT device = Irp->CurrentLocation <= Irp->StackCount
                                ? IoGetCurrentIrpStackLocation(Irp)->DeviceObject
                                : nullptr;
    PDRIVER_OBJECT driver = nullptr;
    {
        std::lock_guard lock(k.objects.mutex);
        if (DeviceInfo* info = k.objects.FindDevice(device))
            driver = info->driver->object.get();
    }
    {
        // Entered at DISPATCH_LEVEL holding the cancel spin lock; the routine
        // releases it, returning to CancelIrql.
        DriverCall call(driver, "cancel routine");
        call.ExpectExitIrql(irql);
        routine(device, Irp);
        if (HoldsSpinWord(&k.cancelLock)) {
            k.verifier.Report("cancel-lock-not-released",
                              "a cancel routine of " + DescribeDevice(device) +
                                  " returned holding the cancel spin lock");
            IoReleaseCancelSpinLock(irql);
        }
    }
    return TRUE;
}
