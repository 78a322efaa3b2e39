// The touch link's side of the bridge: each point joins PointQueue and
// answers one held read-report request; stop and removal end the link's
// reads and give back the held requests.
#include "drivers/hid/pelmo98.h"

static TOUCH_POINT_ROUTINE DeliverPointAsReport;

static TOUCH_LINK_DRIVER BridgeLinkDriver;
const TOUCH_LINK_CLIENT BridgeLinkClient = {DeliverPointAsReport, BRIDGE_CONNECT_PAUSE,
                                            &BridgeLinkDriver};

// IRQL <= DISPATCH_LEVEL, in the completion of the link's read.
static VOID DeliverPointAsReport(PTOUCH_LINK Link, UCHAR Button, USHORT X, USHORT Y) {
    PBRIDGE_DEVICE_EXTENSION extension = CONTAINING_RECORD(Link, BRIDGE_DEVICE_EXTENSION, Link);
    KIRQL oldIrql;
    KeAcquireSpinLock(&extension->FeedLock, &oldIrql);
    QueuePoint(extension, Button, X, Y);
    KeReleaseSpinLock(&extension->FeedLock, oldIrql);
    CompleteOnePendingRead(extension);
}

// Also on a device that is stopped already: the held requests go back.
NTSTATUS StopBridgeFeed(PBRIDGE_DEVICE_EXTENSION Extension) {
    StopFeed(&Extension->Link);
    FlushPendingReads(Extension);
    return STATUS_SUCCESS;
}

NTSTATUS RemoveBridgeFeed(PBRIDGE_DEVICE_EXTENSION Extension) {
    RemoveFeed(&Extension->Link);
    FlushPendingReads(Extension);
    return STATUS_SUCCESS;
}
