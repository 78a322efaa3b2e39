// Interlocked operations and the interlocked list calls. The list calls may
// be used at any IRQL: they take the spin lock without raising the IRQL, as
// Windows does by disabling interrupts around it.
#include "platform/kernel/spin_lock.h"

using platform::kernel::detail::AcquireSpinWord;
using platform::kernel::detail::ReleaseSpinWord;

LONG InterlockedIncrement(volatile LONG* Addend) {
    return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedDecrement(volatile LONG* Addend) {
    return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedExchange(volatile LONG* Target, LONG Value) {
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}

LONG InterlockedCompareExchange(volatile LONG* Destination, LONG Exchange, LONG Comparand) {
    __atomic_compare_exchange_n(Destination, &Comparand, Exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return Comparand;
}

PVOID InterlockedExchangePointer(PVOID volatile* Target, PVOID Value) {
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}

PVOID InterlockedCompareExchangePointer(PVOID volatile* Destination, PVOID Exchange,
                                        PVOID Comparand) {
    __atomic_compare_exchange_n(Destination, &Comparand, Exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return Comparand;
}

PLIST_ENTRY ExInterlockedInsertTailList(PLIST_ENTRY ListHead, PLIST_ENTRY ListEntry,
                                        PKSPIN_LOCK Lock) {
    AcquireSpinWord(Lock, "ExInterlockedInsertTailList");
    PLIST_ENTRY last = ListHead->Blink;
    InsertTailList(ListHead, ListEntry);
    ReleaseSpinWord(Lock, "ExInterlockedInsertTailList");
    return last == ListHead ? nullptr : last;
}

PLIST_ENTRY ExInterlockedInsertHeadList(PLIST_ENTRY ListHead, PLIST_ENTRY ListEntry,
                                        PKSPIN_LOCK Lock) {
    AcquireSpinWord(Lock, "ExInterlockedInsertHeadList");
    PLIST_ENTRY first = ListHead->Flink;
    InsertHeadList(ListHead, ListEntry);
    ReleaseSpinWord(Lock, "ExInterlockedInsertHeadList");
    return first == ListHead ? nullptr : first;
}

PLIST_ENTRY ExInterlockedRemoveHeadList(PLIST_ENTRY ListHead, PKSPIN_LOCK Lock) {
    AcquireSpinWord(Lock, "ExInterlockedRemoveHeadList");
    PLIST_ENTRY entry = IsListEmpty(ListHead) ? nullptr : RemoveHeadList(ListHead);
    ReleaseSpinWord(Lock, "ExInterlockedRemoveHeadList");
    return entry;
}
