#include "platform/kernel/zw_handles.h"

#include <cstdio>
#include <memory>

namespace platform::kernel {

namespace {

// Kernel handles carry the top bit, as on 32-bit Windows; the low two bits
// stay clear.
constexpr uintptr_t kKernelHandleBase = 0x80000000u;
constexpr uintptr_t kHandleStep = 4;

} // namespace

std::string HandleText(HANDLE handle) {
    char text[32];
    snprintf(text, sizeof text, "0x%llx",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
    return text;
}

KeyHandleTable& KeyHandleTable::Of(Kernel& kernel) {
    struct Slot {
        uint64_t serial;
        std::unique_ptr<KeyHandleTable> table;
    };
    static std::mutex mutex;
    static std::map<const registry::Store*, Slot> tables;

    const registry::Store& store = kernel.Registry();
    std::lock_guard lock(mutex);
    Slot& slot = tables[&store];
    if (!slot.table || slot.serial != store.Serial()) {
        slot = {store.Serial(), std::make_unique<KeyHandleTable>()};
    }
    return *slot.table;
}

HANDLE KeyHandleTable::Insert(registry::KeyRef key, ACCESS_MASK access) {
    std::lock_guard lock(mutex_);
    next_ += kHandleStep;
    uintptr_t value = kKernelHandleBase + next_;
    open_.emplace(value, Entry{std::move(key), access});
    return reinterpret_cast<HANDLE>(value);
}

std::optional<KeyHandleTable::Entry> KeyHandleTable::Find(HANDLE handle) const {
    std::lock_guard lock(mutex_);
    auto it = open_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == open_.end()) {
        return std::nullopt;
    }
    return it->second;
}

bool KeyHandleTable::Close(HANDLE handle) {
    std::lock_guard lock(mutex_);
    return open_.erase(reinterpret_cast<uintptr_t>(handle)) != 0;
}

size_t KeyHandleTable::OpenCount() const {
    std::lock_guard lock(mutex_);
    return open_.size();
}

void KeyHandleTable::ReportLeaks(Kernel& kernel) {
    std::map<uintptr_t, Entry> leaked;
    {
        std::lock_guard lock(mutex_);
        leaked.swap(open_);
    }
    for (const auto& [value, entry] : leaked) {
        kernel.ReportViolation("registry-handle-leak",
                               "key handle " + HandleText(reinterpret_cast<HANDLE>(value)) +
                                   " to " + kernel.Registry().PathOf(entry.key) + " never closed");
    }
}

} // namespace platform::kernel
