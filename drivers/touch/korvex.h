// korvex, the touch screen's USB function driver: device context, driver-wide
// state and every routine shared between its files.
#pragma once

#include "drivers/common/ddk.h"
#include "drivers/common/requests.h"
#include "drivers/common/touch_protocol.h"

// "Mser": the first character is the low byte, as Windows stores tags.
#define TOUCH_POOL_TAG DRIVER_TAG('M', 's', 'e', 'r')

// Client identifier of the driver-object extension that holds the copy of
// the service key path.
#define TOUCH_REGISTRY_PATH_ID ((PVOID)1)

#define TOUCH_TABLE_ENTRIES 5000
#define TOUCH_QUEUE_ENTRIES 10
#define TOUCH_REPORT_LENGTH 8

// Newest point at Entries[0], oldest at Entries[Count - 1].
typedef struct _TOUCH_POINT_QUEUE {
    TOUCH_POINT Entries[TOUCH_QUEUE_ENTRIES];
    ULONG Count;
} TOUCH_POINT_QUEUE, *PTOUCH_POINT_QUEUE;

typedef struct _TOUCH_DEVICE_EXTENSION {
    // Decoding (decode.cpp). Guarded by the touch lock while a report is
    // decoded; the settings loads write the tables and numbers unlocked, at
    // passive level, and a report decoded meanwhile may see them half done.
    USHORT XArray[TOUCH_TABLE_ENTRIES]; // raw X -> absolute X, the registry's byte image
    USHORT YArray[TOUCH_TABLE_ENTRIES];
    LONG doneMode;   // 1 Up, 2 Down, anything else Drag
    LONG moveSlider; // stability window in 20 ms steps; 0: filter off
    BOOLEAN CalibrationLoaded;
    BOOLEAN RawMode;
    TOUCH_POINT_QUEUE TouchPointQueue;
    USHORT AnchorX;
    USHORT AnchorY;
    ULONGLONG AnchorTime; // tick count
    ULONG HoldCount;      // reports pinned to the anchor; 0: no anchor

    // Device control (devctl.cpp). Set by the first point read, under the
    // touch lock; never cleared.
    BOOLEAN InputDriverSeen;

    // Reader.
    PDEVICE_OBJECT LowerDeviceObject;
    USBD_PIPE_HANDLE PipeHandle;
    PURB ReadUrb; // non-paged, reused for every read
    UCHAR ReportBuffer[TOUCH_REPORT_LENGTH];
    ULONG ReadLength;
    PIRP ReadIrp;
    PIRP ResetIrp; // allocated at the first reset, reused, freed at removal
    ULONG PortStatus;
    KEVENT ReadDoneEvent; // not signalled while a read is in flight
    BOOLEAN Stopped;
    volatile LONG StartCount;
    // ReaderLock guards Stopped, ReadInFlight and RecoveryInFlight, so that a
    // completion never re-arms after a stop and the stop path knows what is
    // still with the lower driver.
    KSPIN_LOCK ReaderLock;
    BOOLEAN ReadInFlight;             // ReadIrp (allocated once, reused) is below us
    BOOLEAN RecoveryInFlight;         // a port reset or the work after it is pending
    BOOLEAN ResetInFlight;            // ResetIrp is below us
    KEVENT RecoveryDoneEvent;         // notification; signalled while no recovery runs
    WORK_QUEUE_ITEM RecoveryWorkItem; // one recovery step queued at a time
    // The interface as this driver last set it (start, stop, a command).
    BOOLEAN InterfaceEnabled;

    // Lifecycle (driver.cpp).
    PDEVICE_OBJECT PhysicalDeviceObject;
    PDEVICE_OBJECT DeviceObject;
    PDRIVER_OBJECT DriverObject;
    UNICODE_STRING InterfaceName; // from IoRegisterDeviceInterface; empty when not registered
    DEVICE_POWER_STATE DevicePowerState;
    // Set by the surprise removal, or on Windows 98 (no surprise removal)
    // by the removal itself: the control panel's requests fail from then on,
    // so that a program holding the device open learns it is gone.
    BOOLEAN Gone;
    // Control requests in progress, plus one for the device itself; 98
    // removes the device while a program may be in the middle of one, so the
    // removal drops its one and waits for ControlIdleEvent.
    volatile LONG ControlRequests;
    KEVENT ControlIdleEvent;
} TOUCH_DEVICE_EXTENSION, *PTOUCH_DEVICE_EXTENSION;

// Driver-wide state, (re)initialised by the entry routine: the stability
// window in 100-ns units and the moveSlider it was computed from. The held
// point reads are devctl.cpp's own (PendingPointReads).
typedef struct _TOUCH_DRIVER_STATE {
    ULONGLONG HoldWindow;
    LONG HoldWindowSlider;
} TOUCH_DRIVER_STATE;
extern TOUCH_DRIVER_STATE TouchDriverState;

// driver.cpp. The image's entry point is DriverEntry; on the host, where
// several drivers share one program, it is known by this name.
extern "C" DRIVER_INITIALIZE TouchDriverEntry;
DRIVER_ADD_DEVICE TouchAddDevice;
DRIVER_UNLOAD TouchUnload;
// Releases what AddDevice made (read URB, interface name, attachment, device
// object). Passive level; nothing may be outstanding on the device.
VOID DeleteTouchDevice(PTOUCH_DEVICE_EXTENSION Extension);

// reader.cpp: passive level. StartReader and StopReader are serialized by
// the Plug and Play and power paths.
NTSTATUS StartReader(PTOUCH_DEVICE_EXTENSION Extension);
VOID StopReader(PTOUCH_DEVICE_EXTENSION Extension);
// At removal, after StopReader: waits for what outlived the stop's limits,
// then frees the read request.
VOID ReleaseReader(PTOUCH_DEVICE_EXTENSION Extension);
// Switches the device interface and remembers its state.
VOID SetTouchInterface(PTOUCH_DEVICE_EXTENSION Extension, BOOLEAN Enable);

// configure.cpp: passive level; each waits for the lower driver.
NTSTATUS CallLowerSynchronously(PTOUCH_DEVICE_EXTENSION Extension, ULONG IoControlCode,
                                PVOID Argument1, PVOID Argument2);
NTSTATUS CheckPort(PTOUCH_DEVICE_EXTENSION Extension);
NTSTATUS ConfigureDevice(PTOUCH_DEVICE_EXTENSION Extension);
VOID UnconfigureDevice(PTOUCH_DEVICE_EXTENSION Extension);

// pnp.cpp, power.cpp
DRIVER_DISPATCH TouchPnp;
DRIVER_DISPATCH TouchPower;
// Records the state; tells the power manager unless at dispatch level for a
// state other than D0.
VOID SetDevicePower(PTOUCH_DEVICE_EXTENSION Extension, DEVICE_POWER_STATE State);

// clock.cpp: the decoding core's clock.
ULONGLONG TouchClockTicks(VOID);  // tick count since boot, read consistently
ULONG TouchClockTickLength(VOID); // one tick in 100-ns units

// decode.cpp: no kernel calls. PushPoint and PopPoint need the touch lock held.
VOID ResetHoldWindow(VOID);
VOID DecodeReport(PTOUCH_DEVICE_EXTENSION Extension, const UCHAR* Report);
VOID StabilizePoint(PTOUCH_DEVICE_EXTENSION Extension, UCHAR Status, PUSHORT X, PUSHORT Y);
VOID MapPoint(PTOUCH_DEVICE_EXTENSION Extension, USHORT RawX, USHORT RawY, PUSHORT X, PUSHORT Y);
VOID PushPoint(PTOUCH_DEVICE_EXTENSION Extension, UCHAR Status, USHORT X, USHORT Y);
BOOLEAN PopPoint(PTOUCH_DEVICE_EXTENSION Extension, PTOUCH_POINT Point);

// devctl.cpp
VOID InitializePendingReads(VOID);
KIRQL AcquireTouchLock(VOID);
VOID ReleaseTouchLock(KIRQL OldIrql);
DRIVER_DISPATCH TouchCreateClose;
DRIVER_DISPATCH TouchDeviceControl;
DRIVER_DISPATCH TouchInternalDeviceControl;
// At removal: no control request runs after this returns.
VOID WaitForControlRequests(PTOUCH_DEVICE_EXTENSION Extension);
// Completes the oldest held read with the oldest point. IRQL <= DISPATCH_LEVEL.
VOID ServePendingRead(PTOUCH_DEVICE_EXTENSION Extension);
// Completes every held read with STATUS_CANCELLED. IRQL <= DISPATCH_LEVEL.
VOID CancelPendingReads(VOID);

// settings.cpp: passive level.
VOID LoadSettings(PTOUCH_DEVICE_EXTENSION Extension);
BOOLEAN LoadBackupSettings(PTOUCH_DEVICE_EXTENSION Extension);
VOID SaveBackupSettings(PTOUCH_DEVICE_EXTENSION Extension);
