// The shapes every driver's request paths end in: complete, pass down,
// forward with a completion routine, forward and wait. Each hands the
// request on exactly once; after the call it is no longer the caller's,
// except after the waits, which give it back for the caller to complete.
#pragma once

#include "drivers/common/ddk.h"

// Any IRQL a completion may run at: sets the status, completes the request
// (no priority boost) and returns the status.
NTSTATUS CompleteWithStatus(PIRP Irp, NTSTATUS Status);
// The same, with Information set first.
NTSTATUS CompleteWithInformation(PIRP Irp, NTSTATUS Status, ULONG_PTR Information);

// IRQL <= DISPATCH_LEVEL. Skips our stack location; returns what the lower
// device returned.
NTSTATUS PassDown(PDEVICE_OBJECT LowerDevice, PIRP Irp);

// As PassDown for a power request, whose next one the caller has started.
NTSTATUS PassPowerDown(PDEVICE_OBJECT LowerDevice, PIRP Irp);

// IRQL <= DISPATCH_LEVEL. Copies the current stack location to the next one
// with a completion routine (success, error, cancel) that leaves the status
// alone and carries a pending mark from below up to our stack location;
// returns what IoCallDriver returned.
NTSTATUS ForwardToLowerDevice(PDEVICE_OBJECT LowerDevice, PIRP Irp);

// Passive level. Sends the request down (our stack location copied) and
// waits, without a limit, until the lower drivers are done with it; returns
// its final status. The request is ours again: the caller completes it.
NTSTATUS ForwardAndWait(PDEVICE_OBJECT LowerDevice, PIRP Irp);

// As ForwardAndWait for a power request (PoCallDriver), whose next one the
// caller has started.
NTSTATUS ForwardPowerAndWait(PDEVICE_OBJECT LowerDevice, PIRP Irp);
