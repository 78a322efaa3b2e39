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

// Called with each point a read returned, in order, at IRQL <= DISPATCH_LEVEL,
// one at a time (only one read is ever out).
typedef VOID TOUCH_POINT_ROUTINE(PTOUCH_LINK Link, UCHAR Button, USHORT X, USHORT Y);

typedef struct _TOUCH_LINK_CLIENT {
    TOUCH_POINT_ROUTINE* DeliverPoint;
    // Wait after a new link before its first read, in 100-ns units; 0: none.
    LONGLONG ConnectPause;
} TOUCH_LINK_CLIENT, *PTOUCH_LINK_CLIENT;

struct _TOUCH_LINK {
    const TOUCH_LINK_CLIENT* Client;
    PVOID NotificationEntry; // from IoRegisterPlugPlayNotification, or NULL

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

// Passive level; Link lives in the device extension.
VOID InitializeTouchLink(PTOUCH_LINK Link, const TOUCH_LINK_CLIENT* Client);

// Passive level. Registers for GUID_TOUCH_INTERFACE including interfaces that
// exist already; the link is the notification context.
NTSTATUS RegisterTouchNotification(PTOUCH_LINK Link, PDRIVER_OBJECT DriverObject);

// Passive level, system worker thread. Always STATUS_SUCCESS.
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
// StopFeed, unregister the notification, drop the link.
NTSTATUS RemoveFeed(PTOUCH_LINK Link);
