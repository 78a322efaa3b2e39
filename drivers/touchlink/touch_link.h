// The link of an input driver to the touch driver: hears of the touch
// interface, opens the touch driver by its fixed name and keeps one point
// read outstanding at it, re-issued from its own completion. Built into both
// input drivers; what a driver does with a point, and how long it pauses
// after linking, are its own (TOUCH_LINK_CLIENT).
//
// One read at most is ever out: ReadIrp. A read sent before an unlink
// (interface removal) may still be held by the touch driver after a new link;
// the new link sends no read of its own while it is out, and when it
// completes, whatever its status, the chain goes on at the current link. So
// the late completion neither ends nor doubles the new chain. Generation
// tells such a read apart from one of the current link.
//
// StopFeed returns only when no read is out. A read that a completion is
// re-arming while the stop clears the flags is waited for until it has
// reached the touch driver (SendsInProgress), and only then released. A read
// out while unlinked is released through the touch driver's name, which still
// leads to the device holding it if that device is there at all.
//
// Every field is per device, the notification handle too: one library
// serves two drivers, and a handle kept driver-wide would be shared by them
// where both are linked into one program (the host's tests).
#pragma once

#include "drivers/common/ddk.h"
#include "drivers/common/touch_protocol.h"

#define TOUCH_LINK_BUFFER_LENGTH 10
#define TOUCH_LINK_READ_STACK_SIZE 4

typedef struct _TOUCH_LINK TOUCH_LINK, *PTOUCH_LINK;

// What one driver keeps for all its links: the notification contexts of
// links already removed. Windows may still deliver a notification after it
// was unregistered, so a context lives until the driver unloads (the
// registration keeps the driver loaded while a notification is on its way).
typedef struct _TOUCH_LINK_DRIVER {
    KSPIN_LOCK Lock;
    LIST_ENTRY Retired; // TOUCH_LINK_NOTIFY entries
    ULONG PoolTag;
} TOUCH_LINK_DRIVER, *PTOUCH_LINK_DRIVER;

// A link's notification context, outside the device extension: a callback
// that comes after the removal finds Link NULL instead of freed memory.
typedef struct _TOUCH_LINK_NOTIFY {
    LIST_ENTRY Entry; // in the driver's Retired list once the link is removed
    KSPIN_LOCK Lock;  // guards Link and Callbacks
    PTOUCH_LINK Link; // NULL once removed
    LONG Callbacks;   // callbacks under way
    KEVENT Idle;      // notification: signalled while Callbacks is 0
} TOUCH_LINK_NOTIFY, *PTOUCH_LINK_NOTIFY;

// Called with each point a read returned, in order, at IRQL <= DISPATCH_LEVEL,
// one at a time (only one read is ever out).
typedef VOID TOUCH_POINT_ROUTINE(PTOUCH_LINK Link, UCHAR Button, USHORT X, USHORT Y);

typedef struct _TOUCH_LINK_CLIENT {
    TOUCH_POINT_ROUTINE* DeliverPoint;
    // Wait after a new link before its first read, in 100-ns units; 0: none.
    LONGLONG ConnectPause;
    PTOUCH_LINK_DRIVER Driver;
} TOUCH_LINK_CLIENT, *PTOUCH_LINK_CLIENT;

struct _TOUCH_LINK {
    const TOUCH_LINK_CLIENT* Client;
    PVOID NotificationEntry;   // from IoRegisterPlugPlayNotification, or NULL
    PTOUCH_LINK_NOTIFY Notify; // its context, or NULL

    // Lock guards the fields below it up to PointBuffer.
    KSPIN_LOCK Lock;
    BOOLEAN Started;                  // the device is started: reads may flow
    BOOLEAN ReadEnabled;              // linked and not being stopped
    PIRP ReadIrp;                     // the one read of ours that is out, or NULL
    ULONG Generation;                 // advanced by every link and unlink
    ULONG ReadGeneration;             // Generation when ReadIrp was sent
    LONG SendsInProgress;             // IoCallDriver calls of ours not yet returned
    KEVENT ReadDoneEvent;             // notification: signalled while ReadIrp is NULL
    KEVENT SendIdleEvent;             // notification: signalled while SendsInProgress is 0
    PDEVICE_OBJECT TouchDeviceObject; // while linked, else NULL
    PFILE_OBJECT TouchFileObject;     // referenced with TouchDeviceObject

    // The system buffer of ReadIrp; the touch driver writes a TOUCH_POINT.
    UCHAR PointBuffer[TOUCH_LINK_BUFFER_LENGTH];
};

// DriverEntry and DriverUnload: the driver's retired notification contexts
// (pool with PoolTag), freed at unload.
VOID InitializeTouchLinkDriver(PTOUCH_LINK_DRIVER Driver, ULONG PoolTag);
VOID ReleaseTouchLinkDriver(PTOUCH_LINK_DRIVER Driver);

// Passive level; Link lives in the device extension.
VOID InitializeTouchLink(PTOUCH_LINK Link, const TOUCH_LINK_CLIENT* Client);

// Passive level. Registers for GUID_TOUCH_INTERFACE including interfaces that
// exist already, with a TOUCH_LINK_NOTIFY of the link as context.
NTSTATUS RegisterTouchNotification(PTOUCH_LINK Link, PDRIVER_OBJECT DriverObject);

// Passive level, system worker thread. Always STATUS_SUCCESS. Does nothing
// once the link's removal has begun; the removal waits for one under way.
DRIVER_NOTIFICATION_CALLBACK_ROUTINE TouchInterfaceNotification;

// Passive level. Opens "\DosDevices\vududode" unless linked; reads if started.
VOID ConnectTouchDriver(PTOUCH_LINK Link);
// Passive level. Drops the link; a read still held is left to complete.
VOID DisconnectTouchDriver(PTOUCH_LINK Link);

// IRQL <= DISPATCH_LEVEL. Sends one read if the device is started, linked,
// reading is enabled and no read is out; else STATUS_UNSUCCESSFUL.
NTSTATUS StartPointRead(PTOUCH_LINK Link);
IO_COMPLETION_ROUTINE PointReadComplete;

// Passive level. IOCTL_TOUCH_RELEASE_READS at the linked touch driver, waited
// for; STATUS_NO_SUCH_DEVICE when not linked.
NTSTATUS ReleasePointReads(PTOUCH_LINK Link);

// Passive level, from the Plug and Play handling. Each returns STATUS_SUCCESS.
NTSTATUS StartFeed(PTOUCH_LINK Link);
// Returns when no read of ours is out any more.
NTSTATUS StopFeed(PTOUCH_LINK Link);
// StopFeed, unregister the notification, wait for a callback under way and
// retire its context, drop the link.
NTSTATUS RemoveFeed(PTOUCH_LINK Link);
