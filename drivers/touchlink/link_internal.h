// What the touch link's files share among themselves.
#pragma once

#include "drivers/touchlink/touch_link.h"

// Caller holds Link->Lock: one more IoCallDriver of ours is about to start.
VOID BeginSendLocked(PTOUCH_LINK Link);
// IRQL <= DISPATCH_LEVEL: that IoCallDriver has returned. Last touch of the
// link by the caller unless it holds a read.
VOID EndSend(PTOUCH_LINK Link);
// Passive level: waits for one of the link's events (SendIdleEvent: no
// IoCallDriver of ours in progress; ReadDoneEvent: no read out).
VOID WaitForLinkEvent(PTOUCH_LINK Link, PKEVENT Event);
// Passive level: kernel mode, not alertable, no time limit.
VOID WaitForEvent(PKEVENT Event);
// Passive level: synchronous IOCTL_TOUCH_RELEASE_READS to Target.
NTSTATUS SendReleaseReads(PDEVICE_OBJECT Target);
// Passive level: opens the touch driver by its fixed name.
NTSTATUS OpenTouchDriver(PFILE_OBJECT* FileObject, PDEVICE_OBJECT* DeviceObject);
// notify.cpp. Passive level unless said otherwise.
// A context for Link's registration; NULL without pool.
PTOUCH_LINK_NOTIFY CreateLinkNotify(PTOUCH_LINK Link);
VOID FreeLinkNotify(PTOUCH_LINK_NOTIFY Notify);
// The link a callback may use, counted until LeaveLinkNotify; NULL once the
// link is being removed (nothing to leave then).
PTOUCH_LINK EnterLinkNotify(PTOUCH_LINK_NOTIFY Notify);
VOID LeaveLinkNotify(PTOUCH_LINK_NOTIFY Notify);
// After the unregistration: no callback uses the link once this returns; the
// context joins the driver's retired ones.
VOID RetireLinkNotify(PTOUCH_LINK Link);
