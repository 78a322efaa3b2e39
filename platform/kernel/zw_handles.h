// The kernel's table of open registry key handles, one table per registry
// store (so per kernel). Thread-safe. Handle values are never reused, so a
// stale handle is reliably refused.
#pragma once

#include "platform/kernel/kernel.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform::kernel {

class KeyHandleTable {
public:
    struct Entry {
        registry::KeyRef key;
        ACCESS_MASK access; // granted at open
    };

    // The table of the kernel's registry store, created on first use.
    static KeyHandleTable& Of(Kernel& kernel);

    HANDLE Insert(registry::KeyRef key, ACCESS_MASK access);
    std::optional<Entry> Find(HANDLE handle) const;
    bool Close(HANDLE handle); // false: not an open handle
    size_t OpenCount() const;

    // Reports every handle still open as a "registry-handle-leak" violation
    // of the kernel and closes it. For the kernel's teardown checks.
    void ReportLeaks(Kernel& kernel);

private:
    mutable std::mutex mutex_;
    std::map<uintptr_t, Entry> open_;
    uintptr_t next_ = 0;
};

// "0x80000004": a handle as violation reports show it.
std::string HandleText(HANDLE handle);

} // namespace platform::kernel
