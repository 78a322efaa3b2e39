// KeRaiseIrql/KeLowerIrql and the Ke spin lock calls.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/spin_lock.h"
#include "platform/kernel/thread_context.h"

#include <chrono>
#include <thread>
#include <utility>

using platform::kernel::detail::K;
using platform::kernel::detail::ThreadIrql;

namespace platform::kernel::detail {

namespace {
// Only stress tests share kernel objects between running host threads; in the
// one-thread-at-a-time machine a lock held by someone else is never released.
constexpr auto kStuckLimitRealThreads = std::chrono::seconds(20);
constexpr auto kStuckLimit = std::chrono::seconds(2);
} // namespace

void AcquireSpinWord(PKSPIN_LOCK lock, const char* caller) {
    ULONG_PTR tag = ThreadTag();
    if (__atomic_load_n(lock, __ATOMIC_RELAXED) == tag) {
        K().verifier.Report("spinlock-recursive", std::string(caller) + "(" + Hex(lock) +
                                                      "): the thread holds it already");
        return;
    }
    auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration limit = kStuckLimit;
    bool limitKnown = false;
    for (;;) {
        ULONG_PTR expected = 0;
        if (__atomic_compare_exchange_n(lock, &expected, tag, false, __ATOMIC_ACQUIRE,
                                        __ATOMIC_RELAXED))
            return;
        std::this_thread::yield();
        if (!limitKnown) {
            limitKnown = true;
            if (K().dispatcher.RealThreadWaits())
                limit = kStuckLimitRealThreads;
        }
        if (std::chrono::steady_clock::now() - start > limit) {
            K().verifier.Report(
                "deadlock", std::string(caller) + "(" + Hex(lock) + "): held for too long (word " +
                                Hex(static_cast<uint64_t>(expected)) + "; never initialised?)");
            __atomic_store_n(lock, tag, __ATOMIC_RELEASE);
            return;
        }
    }
}

bool ReleaseSpinWord(PKSPIN_LOCK lock, const char* caller) {
    ULONG_PTR tag = ThreadTag();
    ULONG_PTR expected = tag;
    if (__atomic_compare_exchange_n(lock, &expected, 0, false, __ATOMIC_RELEASE, __ATOMIC_RELAXED))
        return true;
    K().verifier.Report("spinlock-not-owner",
                        std::string(caller) + "(" + Hex(lock) + "): the thread does not hold it");
    return false;
}

void RunLockReleaseHook(PKSPIN_LOCK lock) {
    auto& k = K();
    // Taken out while it runs: the hook's own lock releases do not re-enter.
    if (!k.lockReleaseHooked.load(std::memory_order_relaxed) ||
        !k.lockReleaseHooked.exchange(false))
        return;
    std::function<void(PKSPIN_LOCK)> hook = std::move(k.lockReleaseHook);
    {
        IrqlScope otherProcessor(PASSIVE_LEVEL, "the lock release hook");
        hook(lock);
    }
    if (!k.lockReleaseHooked.load()) {
        k.lockReleaseHook = std::move(hook);
        k.lockReleaseHooked = true;
    }
}

bool HoldsSpinWord(PKSPIN_LOCK lock) {
    return __atomic_load_n(lock, __ATOMIC_RELAXED) == ThreadTag();
}

} // namespace platform::kernel::detail

KIRQL KeGetCurrentIrql(void) {
    return ThreadIrql();
}

VOID KeRaiseIrql(KIRQL NewIrql, PKIRQL OldIrql) {
    KIRQL current = ThreadIrql();
    *OldIrql = current;
    if (NewIrql < current) {
        K().verifier.Report("irql-invalid", "KeRaiseIrql(" + std::to_string(NewIrql) +
                                                ") below the current IRQL " +
                                                std::to_string(current));
        return;
    }
    ThreadIrql() = NewIrql;
}

VOID KeLowerIrql(KIRQL NewIrql) {
    KIRQL current = ThreadIrql();
    if (NewIrql > current) {
        K().verifier.Report("irql-invalid", "KeLowerIrql(" + std::to_string(NewIrql) +
                                                ") above the current IRQL " +
                                                std::to_string(current));
        return;
    }
    ThreadIrql() = NewIrql;
}

VOID KeInitializeSpinLock(PKSPIN_LOCK SpinLock) {
    __atomic_store_n(SpinLock, 0, __ATOMIC_RELEASE);
}

VOID KeAcquireSpinLock(PKSPIN_LOCK SpinLock, PKIRQL OldIrql) {
    platform::kernel::detail::CheckNotInDeletedDevice(SpinLock, "KeAcquireSpinLock");
    KeRaiseIrql(DISPATCH_LEVEL, OldIrql);
    platform::kernel::detail::AcquireSpinWord(SpinLock, "KeAcquireSpinLock");
}

VOID KeReleaseSpinLock(PKSPIN_LOCK SpinLock, KIRQL NewIrql) {
    platform::kernel::detail::ReleaseSpinWord(SpinLock, "KeReleaseSpinLock");
    KeLowerIrql(NewIrql);
    platform::kernel::detail::RunLockReleaseHook(SpinLock);
}

VOID KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK SpinLock) {
    if (ThreadIrql() < DISPATCH_LEVEL)
        K().verifier.Report("irql-invalid",
                            "KeAcquireSpinLockAtDpcLevel at IRQL " + std::to_string(ThreadIrql()));
    platform::kernel::detail::AcquireSpinWord(SpinLock, "KeAcquireSpinLockAtDpcLevel");
}

VOID KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK SpinLock) {
    platform::kernel::detail::ReleaseSpinWord(SpinLock, "KeReleaseSpinLockFromDpcLevel");
}
