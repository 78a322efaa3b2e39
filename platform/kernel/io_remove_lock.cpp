// Remove locks. IoCount starts at 1, the bias that IoReleaseRemoveLockAndWait
// gives up; the event is set when the count reaches zero.
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

using namespace platform::kernel::detail;

namespace {

void Release(PIO_REMOVE_LOCK lock, const char* caller) {
    LONG count = InterlockedDecrement(&lock->IoCount);
    if (count == 0)
        KeSetEvent(&lock->RemoveEvent, IO_NO_INCREMENT, FALSE);
    else if (count < 0)
        K().verifier.Report("remove-lock-underflow", std::string(caller) + "(" + Hex(lock) +
                                                         "): released more often than acquired");
}

} // namespace

VOID IoInitializeRemoveLock(PIO_REMOVE_LOCK Lock, ULONG AllocateTag, ULONG MaxLockedMinutes,
                            ULONG HighWatermark) {
    UNREFERENCED_PARAMETER(AllocateTag);
    UNREFERENCED_PARAMETER(MaxLockedMinutes);
    UNREFERENCED_PARAMETER(HighWatermark);
    Lock->Removed = FALSE;
    Lock->IoCount = 1;
    KeInitializeEvent(&Lock->RemoveEvent, NotificationEvent, FALSE);
}

NTSTATUS IoAcquireRemoveLock(PIO_REMOVE_LOCK RemoveLock, PVOID Tag) {
    UNREFERENCED_PARAMETER(Tag);
    InterlockedIncrement(&RemoveLock->IoCount);
    if (__atomic_load_n(&RemoveLock->Removed, __ATOMIC_ACQUIRE)) {
        Release(RemoveLock, "IoAcquireRemoveLock");
        return STATUS_DELETE_PENDING;
    }
    return STATUS_SUCCESS;
}

VOID IoReleaseRemoveLock(PIO_REMOVE_LOCK RemoveLock, PVOID Tag) {
    UNREFERENCED_PARAMETER(Tag);
    Release(RemoveLock, "IoReleaseRemoveLock");
}

VOID IoReleaseRemoveLockAndWait(PIO_REMOVE_LOCK RemoveLock, PVOID Tag) {
    UNREFERENCED_PARAMETER(Tag);
    if (ThreadIrql() != PASSIVE_LEVEL)
        K().verifier.Report("irql-invalid",
                            "IoReleaseRemoveLockAndWait at IRQL " + std::to_string(ThreadIrql()));
    __atomic_store_n(&RemoveLock->Removed, TRUE, __ATOMIC_RELEASE);
    InterlockedDecrement(&RemoveLock->IoCount); // the bias
    Release(RemoveLock, "IoReleaseRemoveLockAndWait");
    KeWaitForSingleObject(&RemoveLock->RemoveEvent, Executive, KernelMode, FALSE, nullptr);
}
