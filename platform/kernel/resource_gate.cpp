#include "platform/kernel/resource_gate.h"

namespace platform::kernel::detail {

void ResourceGate::SetFilter(Kernel::AllocationFilter filter) {
    std::lock_guard lock(mutex_);
    filter_ = std::move(filter);
}

bool ResourceGate::Grant(AllocationRequest::Kind kind, ULONG tag, POOL_TYPE pool, SIZE_T bytes) {
    AllocationRequest request{kind, tag, pool, bytes, 0};
    Kernel::AllocationFilter filter;
    {
        std::lock_guard lock(mutex_);
        request.serial = ++serials_[static_cast<int>(kind)];
        filter = filter_;
    }
    return !(filter && filter(request));
}

} // namespace platform::kernel::detail
