// Requests the I/O manager builds for itself and waits for.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"

namespace platform::kernel::detail {

PIRP AllocateSystemIrp(PDEVICE_OBJECT top, std::shared_ptr<SyncCompletion>* sync, SystemIrp kind) {
    auto& k = K();
    PIRP irp = k.irps.Allocate(top->StackSize, IrpOrigin::System, kind == SystemIrp::MayFail);
    if (!irp)
        return nullptr;
    auto completion = std::make_shared<SyncCompletion>();
    k.dispatcher.Initialize(&completion->event, NotificationEvent, FALSE);
    completion->iosb.Status = STATUS_PENDING;
    completion->iosb.Information = 0;
    irp->UserEvent = &completion->event;
    irp->UserIosb = &completion->iosb;
    {
        auto lock = k.irps.Lock();
        k.irps.Find(irp)->sync = completion;
    }
    *sync = std::move(completion);
    return irp;
}

NTSTATUS SendAndWait(PDEVICE_OBJECT top, PIRP irp, const std::shared_ptr<SyncCompletion>& sync) {
    auto& k = K();
    NTSTATUS status = IoCallDriver(top, irp);
    if (status == STATUS_PENDING) {
        NTSTATUS waited = k.dispatcher.Wait(&sync->event, nullptr, "the I/O manager");
        if (waited != STATUS_SUCCESS)
            return STATUS_UNSUCCESSFUL; // reported as a deadlock; the IRP stays outstanding
    }
    // A dispatch routine that returned without completing leaves the event clear.
    return k.dispatcher.Read(&sync->event) ? sync->iosb.Status : status;
}

} // namespace platform::kernel::detail
