// Request handling that both input drivers of the root device do alike.
// Nothing here allocates with a driver's own tag unless handed it.
#pragma once

#include "drivers/common/ddk.h"

// Any IRQL a completion may run at: sets the status, completes the request
// and returns the status. The request is gone afterwards.
NTSTATUS CompleteWithStatus(PIRP Irp, NTSTATUS Status);

// IRQL <= DISPATCH_LEVEL. Copies the current stack location to the next one
// with a completion routine (success, error, cancel) that leaves the status
// alone and carries a pending mark from below up to our stack location. The
// request belongs to LowerDevice from here on; returns what IoCallDriver
// returned.
NTSTATUS ForwardToLowerDevice(PDEVICE_OBJECT LowerDevice, PIRP Irp);

// Passive level, IRP_MN_QUERY_ID of any identifier type: one answer for all.
// A request that already carries an answer (Information not 0) completes
// with STATUS_UNSUCCESSFUL. Else a BlockLength-byte block of non-paged pool
// with PoolTag is zeroed, the first IdentifierLength bytes of Identifier go
// to its start in whole characters, never into its last two (the list always
// ends), and the block becomes Information, the caller's to free. Completes
// the request either way.
NTSTATUS AnswerQueryId(PIRP Irp, const WCHAR* Identifier, ULONG IdentifierLength, ULONG BlockLength,
                       ULONG PoolTag);
