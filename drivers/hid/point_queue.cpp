// The ten points waiting for read-report requests. Entry 0 is the newest;
// a full queue drops its oldest point. Caller holds FeedLock.
#include "drivers/hid/pelmo98.h"

VOID QueuePoint(PBRIDGE_DEVICE_EXTENSION Extension, UCHAR Button, USHORT X, USHORT Y) {
    if (Extension->QueueCount < BRIDGE_QUEUE_LENGTH) {
        Extension->QueueCount++;
    }
    RtlMoveMemory(&Extension->PointQueue[1], &Extension->PointQueue[0],
                  (BRIDGE_QUEUE_LENGTH - 1) * sizeof(TOUCH_POINT));
    Extension->PointQueue[0].Status = Button;
    Extension->PointQueue[0].X = X;
    Extension->PointQueue[0].Y = Y;
}

BOOLEAN TakePoint(PBRIDGE_DEVICE_EXTENSION Extension, PTOUCH_POINT Point) {
    if (Extension->QueueCount == 0) {
        return FALSE;
    }
    Extension->QueueCount--;
    *Point = Extension->PointQueue[Extension->QueueCount];
    return TRUE;
}
