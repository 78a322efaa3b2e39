#include "platform/win32/handle_table.h"

#include "platform/kernel/kernel.h"

#include <map>
#include <mutex>

namespace platform::win32::detail {
namespace {

struct Table {
    std::mutex mutex;
    uint64_t kernel = 0; // registry serial of the kernel the handles belong to
    uintptr_t next = 4;
    std::map<uintptr_t, std::shared_ptr<HandleObject>> objects;
};

Table& TheTable() {
    static Table table;
    return table;
}

// With the table's mutex held.
void ForgetOtherKernels(Table& table) {
    uint64_t current = platform::kernel::Kernel::Current().Registry().Serial();
    if (table.kernel == current)
        return;
    table.kernel = current;
    table.next = 4;
    table.objects.clear();
}

} // namespace

uintptr_t InsertHandle(std::shared_ptr<HandleObject> object) {
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    ForgetOtherKernels(table);
    uintptr_t handle = table.next;
    table.next += 4;
    table.objects.emplace(handle, std::move(object));
    return handle;
}

std::shared_ptr<HandleObject> FindHandle(uintptr_t handle) {
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    ForgetOtherKernels(table);
    auto found = table.objects.find(handle);
    return found == table.objects.end() ? nullptr : found->second;
}

std::shared_ptr<HandleObject> RemoveHandle(uintptr_t handle) {
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    ForgetOtherKernels(table);
    auto found = table.objects.find(handle);
    if (found == table.objects.end())
        return nullptr;
    std::shared_ptr<HandleObject> object = std::move(found->second);
    table.objects.erase(found);
    return object;
}

} // namespace platform::win32::detail
