// The notification context of a link: counted callbacks, retired at removal,
// freed at unload.
#include "drivers/touchlink/link_internal.h"

VOID InitializeTouchLinkDriver(PTOUCH_LINK_DRIVER Driver, ULONG PoolTag) {
    KeInitializeSpinLock(&Driver->Lock);
    InitializeListHead(&Driver->Retired);
    Driver->PoolTag = PoolTag;
}

VOID ReleaseTouchLinkDriver(PTOUCH_LINK_DRIVER Driver) {
    while (!IsListEmpty(&Driver->Retired)) {
        PLIST_ENTRY entry = RemoveHeadList(&Driver->Retired);
        ExFreePool(CONTAINING_RECORD(entry, TOUCH_LINK_NOTIFY, Entry));
    }
}

PTOUCH_LINK_NOTIFY CreateLinkNotify(PTOUCH_LINK Link) {
    PTOUCH_LINK_NOTIFY notify = (PTOUCH_LINK_NOTIFY)ExAllocatePoolWithTag(
        NonPagedPool, sizeof(TOUCH_LINK_NOTIFY), Link->Client->Driver->PoolTag);
    if (notify != NULL) {
        RtlZeroMemory(notify, sizeof(TOUCH_LINK_NOTIFY));
        KeInitializeSpinLock(&notify->Lock);
        KeInitializeEvent(&notify->Idle, NotificationEvent, TRUE);
        notify->Link = Link;
    }
    return notify;
}

VOID FreeLinkNotify(PTOUCH_LINK_NOTIFY Notify) {
    ExFreePool(Notify);
}

PTOUCH_LINK EnterLinkNotify(PTOUCH_LINK_NOTIFY Notify) {
    KIRQL oldIrql;
    KeAcquireSpinLock(&Notify->Lock, &oldIrql);
    PTOUCH_LINK link = Notify->Link;
    if (link != NULL && Notify->Callbacks++ == 0) {
        KeClearEvent(&Notify->Idle);
    }
    KeReleaseSpinLock(&Notify->Lock, oldIrql);
    return link;
}

VOID LeaveLinkNotify(PTOUCH_LINK_NOTIFY Notify) {
    KIRQL oldIrql;
    KeAcquireSpinLock(&Notify->Lock, &oldIrql);
    if (--Notify->Callbacks == 0) {
        KeSetEvent(&Notify->Idle, IO_NO_INCREMENT, FALSE);
    }
    KeReleaseSpinLock(&Notify->Lock, oldIrql);
}

VOID RetireLinkNotify(PTOUCH_LINK Link) {
    PTOUCH_LINK_NOTIFY notify = Link->Notify;
    if (notify == NULL) {
        return;
    }
    KIRQL oldIrql;
    KeAcquireSpinLock(&notify->Lock, &oldIrql);
    notify->Link = NULL;
    KeReleaseSpinLock(&notify->Lock, oldIrql);
    // A callback that entered before keeps its link until it leaves; one that
    // comes later finds no link.
    WaitForEvent(&notify->Idle);
    KeAcquireSpinLock(&notify->Lock, &oldIrql);
    KeReleaseSpinLock(&notify->Lock, oldIrql);

    PTOUCH_LINK_DRIVER driver = Link->Client->Driver;
    KeAcquireSpinLock(&driver->Lock, &oldIrql);
    InsertTailList(&driver->Retired, &notify->Entry);
    KeReleaseSpinLock(&driver->Lock, oldIrql);
    Link->Notify = NULL;
}
