// Executive pool calls.
#include "platform/kernel/kernel_state.h"

using platform::kernel::detail::K;
using platform::kernel::detail::Pool;

PVOID ExAllocatePoolWithTag(POOL_TYPE PoolType, SIZE_T NumberOfBytes, ULONG Tag) {
    return K().pool.Allocate(PoolType, NumberOfBytes, Tag, "ExAllocatePoolWithTag");
}

PVOID ExAllocatePool(POOL_TYPE PoolType, SIZE_T NumberOfBytes) {
    return K().pool.Allocate(PoolType, NumberOfBytes, Pool::kUntagged, "ExAllocatePool");
}

VOID ExFreePoolWithTag(PVOID P, ULONG Tag) {
    K().pool.Free(P, true, Tag, "ExFreePoolWithTag");
}

VOID ExFreePool(PVOID P) {
    K().pool.Free(P, false, 0, "ExFreePool");
}
