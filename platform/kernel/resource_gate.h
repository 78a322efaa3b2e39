// The low-resources switch: every allocation the kernel makes on a driver's
// behalf asks here first.
#pragma once

#include "platform/kernel/kernel.h"

#include <mutex>

namespace platform::kernel::detail {

class ResourceGate {
public:
    void SetFilter(Kernel::AllocationFilter filter);
    // False when the filter refuses the allocation. Serials count every
    // attempt of a kind, granted or not.
    bool Grant(AllocationRequest::Kind kind, ULONG tag, POOL_TYPE pool, SIZE_T bytes);

private:
    std::mutex mutex_;
    Kernel::AllocationFilter filter_;
    uint64_t serials_[4] = {};
};

} // namespace platform::kernel::detail
