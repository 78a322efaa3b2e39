// pelmoxp, the mouse service driver: the function driver of the root device
// "root\TouchScreen". The mouse class driver sits above it and connects; the
// touch link feeds it points, which it hands on as absolute mouse packets.
#pragma once

#include "drivers/common/ddk.h"
#include "drivers/touchlink/input_requests.h"
#include "drivers/touchlink/touch_link.h"

#define MOUSE_POOL_TAG DRIVER_TAG('M', 's', 'e', 'r')

typedef struct _MOUSE_DEVICE_EXTENSION {
    PDRIVER_OBJECT DriverObject;
    PDEVICE_OBJECT Self;
    // Started, ReadEnabled, ReadIrp, ReadDoneEvent, TouchDeviceObject,
    // TouchFileObject and PointBuffer: the feed's state.
    TOUCH_LINK Link;
    PDEVICE_OBJECT PhysicalDeviceObject;
    PDEVICE_OBJECT LowerDeviceObject; // every passed-down request goes here
    MOUSE_ATTRIBUTES Attributes;      // fixed at creation
    // Written once by the class driver's connect, at passive level, before
    // it expects input; read by the feed at DISPATCH_LEVEL without a lock.
    CONNECT_DATA ConnectData;
    IO_REMOVE_LOCK RemoveLock; // held around power requests
} MOUSE_DEVICE_EXTENSION, *PMOUSE_DEVICE_EXTENSION;

// Driver-wide: the button byte of the last point, delivered or not.
// report.cpp: the buttons of the last packet are driver-wide (the driver
// expects a single device); the entry routine resets them.
VOID ResetMouseButtons(VOID);

// driver.cpp. The image's entry point is DriverEntry; on the host, where
// several drivers share one program, it is known by this name.
extern "C" DRIVER_INITIALIZE MouseDriverEntry;
DRIVER_ADD_DEVICE MouseAddDevice;
DRIVER_UNLOAD MouseUnload;
DRIVER_DISPATCH MouseCreateClose;

// class_requests.cpp: the mouse class driver's requests, at passive level.
DRIVER_DISPATCH MouseInternalDeviceControl;

// pnp.cpp, power.cpp
DRIVER_DISPATCH MouseDispatchPnp;
DRIVER_DISPATCH MouseDispatchPower;

// report.cpp. IRQL <= DISPATCH_LEVEL.
VOID ReportPoint(PMOUSE_DEVICE_EXTENSION Extension, UCHAR Buttons, USHORT X, USHORT Y);
USHORT ButtonTransitions(UCHAR Previous, UCHAR Current);
extern const TOUCH_LINK_CLIENT MouseLinkClient;
