#include "platform/win32/handle_table.h"

#include "platform/kernel/kernel.h"
#include "platform/win32/runtime.h"

#include <map>
#include <mutex>

namespace platform::win32::detail {
namespace {

struct Table {
    std::mutex mutex;
    uint64_t kernel = 0; // registry serial of the kernel the handles belong to
    uintptr_t next = 4;
    std::map<uintptr_t, std::shared_ptr<HandleObject>> objects;
    std::map<uintptr_t, uint32_t> owners;
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
    table.owners.clear();
}

} // namespace

uintptr_t InsertHandle(std::shared_ptr<HandleObject> object) {
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    ForgetOtherKernels(table);
    uintptr_t handle = table.next;
    table.next += 4;
    table.objects.emplace(handle, std::move(object));
    const ProcessInfo* process = CurrentProcess();
    table.owners[handle] = process != nullptr ? process->id : 0;
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
    table.owners.erase(handle);
    return object;
}

std::vector<std::shared_ptr<HandleObject>> RemoveHandlesOf(uint32_t processId) {
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    ForgetOtherKernels(table);
    std::vector<std::shared_ptr<HandleObject>> removed;
    for (auto it = table.owners.begin(); it != table.owners.end();) {
        if (it->second != processId) {
            ++it;
            continue;
        }
        removed.push_back(std::move(table.objects[it->first]));
        table.objects.erase(it->first);
        it = table.owners.erase(it);
    }
    return removed;
}

} // namespace platform::win32::detail
