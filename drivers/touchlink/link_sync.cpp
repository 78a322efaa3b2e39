// The count of our calls into the touch driver that are still in progress,
// and the waits of the link.
#include "drivers/touchlink/link_internal.h"

VOID BeginSendLocked(PTOUCH_LINK Link) {
    if (Link->SendsInProgress++ == 0) {
        KeClearEvent(&Link->SendIdleEvent);
    }
}

VOID EndSend(PTOUCH_LINK Link) {
    KIRQL oldIrql;
    KeAcquireSpinLock(&Link->Lock, &oldIrql);
    if (--Link->SendsInProgress == 0) {
        // A waiter takes the lock before it goes on, so it cannot run ahead
        // of this release.
        KeSetEvent(&Link->SendIdleEvent, IO_NO_INCREMENT, FALSE);
    }
    KeReleaseSpinLock(&Link->Lock, oldIrql);
}

VOID WaitForEvent(PKEVENT Event) {
    KeWaitForSingleObject(Event, Executive, KernelMode, FALSE, NULL);
}

VOID WaitForLinkEvent(PTOUCH_LINK Link, PKEVENT Event) {
    WaitForEvent(Event);
    // Whoever set the event did so under the lock; once we have had the lock
    // too, that routine no longer touches the link.
    KIRQL oldIrql;
    KeAcquireSpinLock(&Link->Lock, &oldIrql);
    KeReleaseSpinLock(&Link->Lock, oldIrql);
}
