// pelmo98, the HID bridge driver: a HID minidriver for the root-enumerated
// touch screen device. The HID class driver creates the device and sends
// every request; the touch link feeds points, which wait in PointQueue for
// the class's read-report requests and go up as 5-byte input reports.
#pragma once

#include "drivers/common/ddk.h"
#include "drivers/touchlink/input_requests.h"
#include "drivers/touchlink/touch_link.h"

#define BRIDGE_POOL_TAG DRIVER_TAG('s', 's', 'e', 'r')
#define BRIDGE_QUEUE_LENGTH 10
#define BRIDGE_REPORT_LENGTH 5
// After a new link, before its first read: 100 ms.
#define BRIDGE_CONNECT_PAUSE 1000000

// The minidriver part of the HID class's device extension; the class
// allocates it (size announced at registration) and AddDevice zeroes it.
typedef struct _BRIDGE_DEVICE_EXTENSION {
    // FeedLock guards PointQueue, QueueCount and PendingReadList together, so
    // that a read-report request that finds no point is held before the next
    // point can look for a held request.
    KSPIN_LOCK FeedLock;
    TOUCH_POINT PointQueue[BRIDGE_QUEUE_LENGTH]; // entry 0 the newest
    ULONG QueueCount;                            // 0 to BRIDGE_QUEUE_LENGTH
    LIST_ENTRY PendingReadList; // held IOCTL_HID_READ_REPORT requests, oldest first

    PDEVICE_OBJECT FunctionalDeviceObject; // created by the HID class
    PDEVICE_OBJECT NextDeviceObject;       // every passed-down request goes here
    PDRIVER_OBJECT DriverObject;
    ULONG UsbdiVersion; // selects the report descriptor's variant

    // Stopped (as !Started), ReadEnabled, ReadIrp, ReadDoneEvent,
    // TouchDeviceObject, TouchFileObject, PointBuffer, NotificationEntry:
    // the link to the touch driver.
    TOUCH_LINK Link;
} BRIDGE_DEVICE_EXTENSION, *PBRIDGE_DEVICE_EXTENSION;

// A held read-report request: 12 bytes on 32-bit Windows, from non-paged
// pool. The request's DriverContext[0] points back at its node.
typedef struct _HELD_READ {
    LIST_ENTRY Links;
    PIRP Irp;
} HELD_READ, *PHELD_READ;

inline PBRIDGE_DEVICE_EXTENSION BridgeExtension(PDEVICE_OBJECT DeviceObject) {
    return (PBRIDGE_DEVICE_EXTENSION)((PHID_DEVICE_EXTENSION)DeviceObject->DeviceExtension)
        ->MiniDeviceExtension;
}

// driver.cpp. The image's entry point is DriverEntry; on the host, where
// several drivers share one program, it is known by this name.
extern "C" DRIVER_INITIALIZE HidDriverEntry;
DRIVER_ADD_DEVICE BridgeAddDevice;
DRIVER_UNLOAD BridgeUnload;
DRIVER_DISPATCH BridgeCreateClose;

// hid_requests.cpp: the HID class's requests. Passive level, except reads.
DRIVER_DISPATCH BridgeInternalDeviceControl;

// descriptors.cpp: the constant data served to the HID class.
extern const HID_DESCRIPTOR BridgeHidDescriptor;
extern const HID_DEVICE_ATTRIBUTES BridgeAttributes;
#define BRIDGE_REPORT_DESCRIPTOR_LENGTH 52
// Writes the variant for UsbdiVersion: logical maximum 0xFFFF below 0x300,
// 0x7FFF from 0x300 on. Buffer holds BRIDGE_REPORT_DESCRIPTOR_LENGTH bytes.
VOID CopyReportDescriptor(ULONG UsbdiVersion, PUCHAR Buffer);
extern const UCHAR BridgeStringBlock[];
extern const ULONG BridgeStringBlockLength;
extern const WCHAR BridgeDeviceIdentifier[];
#define BRIDGE_DEVICE_IDENTIFIER_LENGTH 46 // the multi-string with both NULs

// pnp.cpp, power.cpp. Passive level.
DRIVER_DISPATCH BridgeDispatchPnp;
DRIVER_DISPATCH BridgeDispatchPower;

// point_queue.cpp. Caller holds FeedLock.
VOID QueuePoint(PBRIDGE_DEVICE_EXTENSION Extension, UCHAR Button, USHORT X, USHORT Y);
BOOLEAN TakePoint(PBRIDGE_DEVICE_EXTENSION Extension, PTOUCH_POINT Point);

// read_reports.cpp. IRQL <= DISPATCH_LEVEL.
// Completes the request, or holds it and returns STATUS_PENDING.
NTSTATUS ReadReport(PBRIDGE_DEVICE_EXTENSION Extension, PIRP Irp);
// Answers the oldest held request with the oldest point, if both exist.
VOID CompleteOnePendingRead(PBRIDGE_DEVICE_EXTENSION Extension);
// Completes every held request with STATUS_NO_SUCH_DEVICE.
VOID FlushPendingReads(PBRIDGE_DEVICE_EXTENSION Extension);

// feed.cpp. Passive level, from the Plug and Play handling; each returns
// STATUS_SUCCESS. Queued points stay for the next start.
NTSTATUS StopBridgeFeed(PBRIDGE_DEVICE_EXTENSION Extension);
NTSTATUS RemoveBridgeFeed(PBRIDGE_DEVICE_EXTENSION Extension);
extern const TOUCH_LINK_CLIENT BridgeLinkClient;
