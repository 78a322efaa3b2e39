// The decoding core: stability filter, mapping, touch modes and the point
// queue. Calls no kernel routine; time comes from clock.cpp and the lock from
// devctl.cpp.
#include "drivers/touch/korvex.h"

TOUCH_DRIVER_STATE TouchDriverState;

#define STABILITY_STEP 200000UL // one moveSlider step: 20 ms in 100-ns units

VOID ResetHoldWindow(VOID) {
    TouchDriverState.HoldWindow = 0;
    TouchDriverState.HoldWindowSlider = 0;
}

static USHORT ReadLittleEndian16(const UCHAR* Bytes) {
    return (USHORT)(Bytes[0] | (Bytes[1] << 8));
}

static VOID TakeAnchor(PTOUCH_DEVICE_EXTENSION Extension, USHORT X, USHORT Y, ULONGLONG Now) {
    Extension->AnchorX = X;
    Extension->AnchorY = Y;
    Extension->AnchorTime = Now;
    Extension->HoldCount = 1;
}

// For TouchDriverState.HoldWindow after a touch starts every report lands on the touch-start
// position; the window is measured from the anchor and not renewed.
VOID StabilizePoint(PTOUCH_DEVICE_EXTENSION Extension, UCHAR Status, PUSHORT X, PUSHORT Y) {
    ULONG tickLength = TouchClockTickLength();
    if (Extension->moveSlider != TouchDriverState.HoldWindowSlider) {
        // The product is formed in 32 bits (unsigned, so a huge slider wraps
        // instead of overflowing); the sum is 64-bit.
        ULONG product = (ULONG)Extension->moveSlider * STABILITY_STEP;
        TouchDriverState.HoldWindow = (ULONGLONG)tickLength + product;
        TouchDriverState.HoldWindowSlider = Extension->moveSlider;
    }

    ULONGLONG now = TouchClockTicks();
    if (Status == TOUCH_STATUS_DOWN && Extension->HoldCount == 0) {
        TakeAnchor(Extension, *X, *Y, now);
        return;
    }
    ULONGLONG elapsed = (now - Extension->AnchorTime) * tickLength;
    if (Status == TOUCH_STATUS_DOWN && elapsed > TouchDriverState.HoldWindow) {
        TakeAnchor(Extension, *X, *Y, now);
    } else if (elapsed <= TouchDriverState.HoldWindow) {
        *X = Extension->AnchorX;
        *Y = Extension->AnchorY;
        Extension->HoldCount++;
    } else {
        Extension->HoldCount = 0;
    }
}

VOID MapPoint(PTOUCH_DEVICE_EXTENSION Extension, USHORT RawX, USHORT RawY, PUSHORT X, PUSHORT Y) {
    if (Extension->CalibrationLoaded) {
        *X = Extension->XArray[RawX < TOUCH_TABLE_ENTRIES ? RawX : TOUCH_TABLE_ENTRIES - 1];
        *Y = Extension->YArray[RawY < TOUCH_TABLE_ENTRIES ? RawY : TOUCH_TABLE_ENTRIES - 1];
    } else {
        *X = (USHORT)(RawX * 40U);
        *Y = (USHORT)(RawY * 54U);
    }
}

VOID PushPoint(PTOUCH_DEVICE_EXTENSION Extension, UCHAR Status, USHORT X, USHORT Y) {
    PTOUCH_POINT_QUEUE queue = &Extension->TouchPointQueue;
    if (queue->Count < TOUCH_QUEUE_ENTRIES) {
        queue->Count++;
    }
    for (ULONG i = TOUCH_QUEUE_ENTRIES - 1; i > 0; i--) {
        queue->Entries[i] = queue->Entries[i - 1];
    }
    queue->Entries[0].Status = Status;
    queue->Entries[0].X = X;
    queue->Entries[0].Y = Y;
}

BOOLEAN PopPoint(PTOUCH_DEVICE_EXTENSION Extension, PTOUCH_POINT Point) {
    PTOUCH_POINT_QUEUE queue = &Extension->TouchPointQueue;
    if (queue->Count == 0) {
        return FALSE;
    }
    if (queue->Count > TOUCH_QUEUE_ENTRIES) {
        queue->Count = TOUCH_QUEUE_ENTRIES;
    }
    *Point = queue->Entries[queue->Count - 1];
    queue->Count--;
    return TRUE;
}

// Up and Down modes click (press, then release) on their trigger; Drag mode
// holds the button while the touch continues. Every other report moves only.
static VOID QueueTouchMode(PTOUCH_DEVICE_EXTENSION Extension, UCHAR Status, USHORT X, USHORT Y) {
    BOOLEAN click;
    switch (Extension->doneMode) {
    case 1:
        click = (Status == TOUCH_STATUS_UP);
        break;
    case 2:
        click = (Status == TOUCH_STATUS_DOWN);
        break;
    default:
        PushPoint(Extension, Status == TOUCH_STATUS_HOLD ? 1 : 0, X, Y);
        return;
    }
    if (click) {
        PushPoint(Extension, 1, X, Y);
    }
    PushPoint(Extension, 0, X, Y);
}

// Called for every report that arrived with success, one at a time, at
// IRQL <= DISPATCH_LEVEL. The whole decode runs under the touch lock so that a
// command's RawMode or HoldCount change never interleaves with it.
VOID DecodeReport(PTOUCH_DEVICE_EXTENSION Extension, const UCHAR* Report) {
    UCHAR status = Report[1];
    USHORT x = ReadLittleEndian16(Report + 2);
    USHORT y = ReadLittleEndian16(Report + 4);

    KIRQL oldIrql = AcquireTouchLock();
    BOOLEAN raw = Extension->RawMode;
    if (raw) {
        PushPoint(Extension, status, x, y);
    } else {
        if (Extension->moveSlider != 0) {
            StabilizePoint(Extension, status, &x, &y);
        }
        USHORT mappedX;
        USHORT mappedY;
        MapPoint(Extension, x, y, &mappedX, &mappedY);
        QueueTouchMode(Extension, status, mappedX, mappedY);
    }
    ReleaseTouchLock(oldIrql);

    if (!raw) {
        ServePendingRead(Extension);
    }
}
