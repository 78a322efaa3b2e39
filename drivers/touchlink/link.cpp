// Linking to the touch driver: the interface notifications, opening it by
// its fixed name, and dropping the link again.
#include "drivers/touchlink/link_internal.h"

static const WCHAR TouchDosName[] = KTEXT(TOUCH_DOS_NAME_TEXT);

// GUID_DEVICE_INTERFACE_ARRIVAL and GUID_DEVICE_INTERFACE_REMOVAL, kept here
// so that no GUID library is needed in kernel mode.
static const GUID InterfaceArrival = {
    0xCB3A4004, 0x46F0, 0x11D0, {0xB0, 0x8F, 0x00, 0x60, 0x97, 0x13, 0x05, 0x3F}};
static const GUID InterfaceRemoval = {
    0xCB3A4005, 0x46F0, 0x11D0, {0xB0, 0x8F, 0x00, 0x60, 0x97, 0x13, 0x05, 0x3F}};

static BOOLEAN SameGuid(const GUID* A, const GUID* B) {
    return (BOOLEAN)(RtlCompareMemory(A, B, sizeof(GUID)) == sizeof(GUID));
}

VOID InitializeTouchLink(PTOUCH_LINK Link, const TOUCH_LINK_CLIENT* Client) {
    RtlZeroMemory(Link, sizeof(TOUCH_LINK));
    Link->Client = Client;
    KeInitializeSpinLock(&Link->Lock);
    KeInitializeEvent(&Link->ReadDoneEvent, NotificationEvent, TRUE);
    KeInitializeEvent(&Link->SendIdleEvent, NotificationEvent, TRUE);
}

NTSTATUS RegisterTouchNotification(PTOUCH_LINK Link, PDRIVER_OBJECT DriverObject) {
    EXPECT_PASSIVE_LEVEL();
    PTOUCH_LINK_NOTIFY notify = CreateLinkNotify(Link);
    if (notify == NULL) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    NTSTATUS status = IoRegisterPlugPlayNotification(
        EventCategoryDeviceInterfaceChange, PNPNOTIFY_DEVICE_INTERFACE_INCLUDE_EXISTING_INTERFACES,
        (PVOID)&GUID_TOUCH_INTERFACE, DriverObject, TouchInterfaceNotification, notify,
        &Link->NotificationEntry);
    if (!NT_SUCCESS(status)) {
        Link->NotificationEntry = NULL;
        FreeLinkNotify(notify);
        return status;
    }
    Link->Notify = notify;
    return status;
}

// The symbolic link in the record is not used: the touch driver has one fixed name.
NTSTATUS NTAPI TouchInterfaceNotification(PVOID NotificationStructure, PVOID Context) {
    PDEVICE_INTERFACE_CHANGE_NOTIFICATION notification =
        (PDEVICE_INTERFACE_CHANGE_NOTIFICATION)NotificationStructure;
    PTOUCH_LINK_NOTIFY notify = (PTOUCH_LINK_NOTIFY)Context;
    PTOUCH_LINK link = EnterLinkNotify(notify);
    if (link == NULL) {
        return STATUS_SUCCESS; // the link is being removed, or gone
    }
    if (SameGuid(&notification->Event, &InterfaceArrival)) {
        ConnectTouchDriver(link);
    } else if (SameGuid(&notification->Event, &InterfaceRemoval)) {
        DisconnectTouchDriver(link);
    }
    LeaveLinkNotify(notify);
    return STATUS_SUCCESS;
}

NTSTATUS OpenTouchDriver(PFILE_OBJECT* FileObject, PDEVICE_OBJECT* DeviceObject) {
    EXPECT_PASSIVE_LEVEL();
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, TouchDosName);
    return IoGetDeviceObjectPointer(&name, FILE_ALL_ACCESS, FileObject, DeviceObject);
}

static VOID Pause(LONGLONG Units) {
    KEVENT never;
    LARGE_INTEGER timeout;
    KeInitializeEvent(&never, NotificationEvent, FALSE);
    timeout.QuadPart = -Units;
    KeWaitForSingleObject(&never, Executive, KernelMode, FALSE, &timeout);
}

VOID ConnectTouchDriver(PTOUCH_LINK Link) {
    EXPECT_PASSIVE_LEVEL();
    if (Link == NULL) {
        return;
    }
    KIRQL oldIrql;
    KeAcquireSpinLock(&Link->Lock, &oldIrql);
    BOOLEAN linked = (BOOLEAN)(Link->TouchDeviceObject != NULL);
    KeReleaseSpinLock(&Link->Lock, oldIrql);
    if (linked) {
        return;
    }

    // No retry of our own: the next arrival, start or state query tries again.
    PFILE_OBJECT file;
    PDEVICE_OBJECT device;
    if (!NT_SUCCESS(OpenTouchDriver(&file, &device))) {
        return;
    }
    KeAcquireSpinLock(&Link->Lock, &oldIrql);
    linked = (BOOLEAN)(Link->TouchDeviceObject != NULL); // an arrival and a start may race
    if (!linked) {
        Link->TouchDeviceObject = device;
        Link->TouchFileObject = file;
        Link->ReadEnabled = TRUE;
        Link->Generation++;
    }
    KeReleaseSpinLock(&Link->Lock, oldIrql);
    if (linked) {
        ObDereferenceObject(file);
        return;
    }

    if (Link->Client->ConnectPause != 0) {
        Pause(Link->Client->ConnectPause);
    }
    // Declines while a read from before the link is still out: that read
    // carries the chain on to this link when it completes.
    StartPointRead(Link);
}

VOID DisconnectTouchDriver(PTOUCH_LINK Link) {
    if (Link == NULL) {
        return;
    }
    KIRQL oldIrql;
    KeAcquireSpinLock(&Link->Lock, &oldIrql);
    PFILE_OBJECT file = Link->TouchFileObject;
    Link->ReadEnabled = FALSE;
    Link->TouchFileObject = NULL;
    Link->TouchDeviceObject = NULL;
    Link->Generation++;
    KeReleaseSpinLock(&Link->Lock, oldIrql);

    // A call into the old device that is still in progress keeps our
    // reference until it has returned.
    WaitForLinkEvent(Link, &Link->SendIdleEvent);
    if (file != NULL) {
        ObDereferenceObject(file);
    }
}
