#include "drivers/touchlink/input_requests.h"

NTSTATUS AnswerQueryId(PIRP Irp, const WCHAR* Identifier, ULONG IdentifierLength, ULONG BlockLength,
                       ULONG PoolTag) {
    EXPECT_PASSIVE_LEVEL();
    if (Irp->IoStatus.Information != 0) {
        return CompleteWithStatus(Irp, STATUS_UNSUCCESSFUL);
    }
    PWCHAR ids = (PWCHAR)ExAllocatePoolWithTag(NonPagedPool, BlockLength, PoolTag);
    if (ids == NULL) {
        return CompleteWithStatus(Irp, STATUS_INSUFFICIENT_RESOURCES);
    }
    RtlZeroMemory(ids, BlockLength);
    // Never past the block, and its last two characters stay zero so that
    // the identifier (a multi-string for hardware IDs) always ends.
    const ULONG terminator = 2 * sizeof(WCHAR);
    ULONG copy = BlockLength > terminator ? BlockLength - terminator : 0;
    if (IdentifierLength < copy) {
        copy = IdentifierLength;
    }
    RtlCopyMemory(ids, Identifier, copy & ~(ULONG)(sizeof(WCHAR) - 1));
    Irp->IoStatus.Information = (ULONG_PTR)ids;
    return CompleteWithStatus(Irp, STATUS_SUCCESS);
}
