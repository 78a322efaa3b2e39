// ExQueueWorkItem: a caller-owned item run at PASSIVE_LEVEL as a system
// worker thread would run it. No device object is referenced, so a driver
// must itself keep from unloading until its routine is done.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

using namespace platform::kernel::detail;

VOID ExQueueWorkItem(PWORK_QUEUE_ITEM WorkItem, WORK_QUEUE_TYPE QueueType) {
    UNREFERENCED_PARAMETER(QueueType);
    auto& k = K();
    PDRIVER_OBJECT driver = ThreadDriver();
    {
        Findings findings;
        std::lock_guard lock(k.workItems.mutex);
        if (!k.workItems.executive.emplace(WorkItem, driver).second) {
            findings.Add("workitem-double-queue",
                         "ExQueueWorkItem(" + Hex(WorkItem) + "): already queued");
            return;
        }
    }
    k.clock.Schedule(
        k.clock.Now(),
        [WorkItem] {
            auto& kernel = K();
            PDRIVER_OBJECT owner;
            {
                std::lock_guard lock(kernel.workItems.mutex);
                auto found = kernel.workItems.executive.find(WorkItem);
                if (found == kernel.workItems.executive.end())
                    return;
                owner = found->second;
                kernel.workItems.executive.erase(found);
            }
            // The item may be freed by its own routine: read it first.
            PWORKER_THREAD_ROUTINE routine = WorkItem->WorkerRoutine;
            PVOID parameter = WorkItem->Parameter;
            DriverCall call(owner, "executive work item");
            routine(parameter);
        },
        PASSIVE_LEVEL);
}
