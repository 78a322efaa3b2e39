// Request handling that both input drivers of the root device do alike.
// Nothing here allocates with a driver's own tag unless handed it.
#pragma once

#include "drivers/common/requests.h"

// Passive level, IRP_MN_QUERY_ID of any identifier type: one answer for all.
// A request that already carries an answer (Information not 0) completes
// with STATUS_UNSUCCESSFUL. Else a BlockLength-byte block of non-paged pool
// with PoolTag is zeroed, the first IdentifierLength bytes of Identifier go
// to its start in whole characters, never into its last two (the list always
// ends), and the block becomes Information, the caller's to free. Completes
// the request either way.
NTSTATUS AnswerQueryId(PIRP Irp, const WCHAR* Identifier, ULONG IdentifierLength, ULONG BlockLength,
                       ULONG PoolTag);
