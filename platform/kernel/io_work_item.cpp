// IoAllocateWorkItem, IoQueueWorkItem, IoFreeWorkItem.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

namespace platform::kernel::detail {

void WorkItems::ReportQueued(PDRIVER_OBJECT driver, const std::string& when, Findings& findings) {
    std::lock_guard lock(mutex);
    for (auto& [handle, item] : items)
        if (item->queued && (!driver || item->device->DriverObject == driver))
            findings.Add("workitem-queued-at-unload",
                         "a work item of device " + Hex(item->device) + " is still queued " + when);
    for (auto& [item, owner] : executive)
        if (!driver || owner == driver)
            findings.Add("workitem-queued-at-unload",
                         "executive work item " + Hex(item) + " is still queued " + when);
}

void WorkItems::ReportLeaks(PDRIVER_OBJECT driver, const std::string& when, Findings& findings) {
    std::lock_guard lock(mutex);
    for (auto& [handle, item] : items) {
        if (item->leakReported || (driver && item->device->DriverObject != driver))
            continue;
        item->leakReported = true;
        findings.Add("workitem-leak", "work item " + Hex(handle) + " of device " +
                                          Hex(item->device) + " never freed " + when);
    }
}

size_t WorkItems::Queued() {
    std::lock_guard lock(mutex);
    size_t count = 0;
    for (auto& [handle, item] : items)
        count += item->queued ? 1 : 0;
    return count + executive.size();
}

} // namespace platform::kernel::detail

using namespace platform::kernel::detail;

namespace {

// With the work items' lock held; nullptr (reported) for an unknown handle.
_IO_WORKITEM* FindItem(PIO_WORKITEM handle, const char* caller, Findings& findings) {
    auto& items = K().workItems.items;
    auto found = items.find(handle);
    if (found != items.end())
        return found->second.get();
    findings.Add("workitem-invalid",
                 std::string(caller) + "(" + Hex(handle) + "): not an allocated work item");
    return nullptr;
}

} // namespace

PIO_WORKITEM IoAllocateWorkItem(PDEVICE_OBJECT DeviceObject) {
    auto& k = K();
    if (!k.gate.Grant(platform::kernel::AllocationRequest::Kind::WorkItem, 0, NonPagedPool,
                      sizeof(_IO_WORKITEM)))
        return nullptr;
    auto item = std::make_unique<_IO_WORKITEM>();
    item->device = DeviceObject;
    PIO_WORKITEM handle = item.get();
    std::lock_guard lock(k.workItems.mutex);
    k.workItems.items[handle] = std::move(item);
    return handle;
}

VOID IoQueueWorkItem(PIO_WORKITEM IoWorkItem, PIO_WORKITEM_ROUTINE WorkerRoutine,
                     WORK_QUEUE_TYPE QueueType, PVOID Context) {
    UNREFERENCED_PARAMETER(QueueType);
    auto& k = K();
    {
        Findings findings;
        std::lock_guard lock(k.workItems.mutex);
        _IO_WORKITEM* item = FindItem(IoWorkItem, "IoQueueWorkItem", findings);
        if (!item)
            return;
        if (item->queued) {
            findings.Add("workitem-double-queue",
                         "IoQueueWorkItem(" + Hex(IoWorkItem) + "): already queued");
            return;
        }
        item->queued = true;
        item->routine = WorkerRoutine;
        item->context = Context;
    }
    k.clock.Schedule(
        k.clock.Now(),
        [IoWorkItem] {
            auto& kernel = K();
            PDEVICE_OBJECT device;
            PIO_WORKITEM_ROUTINE routine;
            PVOID context;
            {
                std::lock_guard lock(kernel.workItems.mutex);
                auto found = kernel.workItems.items.find(IoWorkItem);
                if (found == kernel.workItems.items.end())
                    return;
                found->second->queued = false;
                device = found->second->device;
                routine = found->second->routine;
                context = found->second->context;
            }
            DriverCall call(device->DriverObject, "work item");
            routine(device, context);
        },
        PASSIVE_LEVEL);
}

VOID IoFreeWorkItem(PIO_WORKITEM IoWorkItem) {
    auto& k = K();
    Findings findings;
    std::lock_guard lock(k.workItems.mutex);
    _IO_WORKITEM* item = FindItem(IoWorkItem, "IoFreeWorkItem", findings);
    if (!item)
        return;
    if (item->queued) {
        findings.Add("workitem-free-queued",
                     "IoFreeWorkItem(" + Hex(IoWorkItem) + ") while it is queued");
        return;
    }
    k.workItems.items.erase(IoWorkItem);
}
