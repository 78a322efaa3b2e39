// Work items: queued to the scheduler, run at PASSIVE_LEVEL as a system
// worker thread would run them.
#pragma once

#include "platform/kernel/kernel.h"

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

struct _IO_WORKITEM {
    PDEVICE_OBJECT device;
    bool queued = false;
    bool leakReported = false;
    PIO_WORKITEM_ROUTINE routine = nullptr;
    PVOID context = nullptr;
};

namespace platform::kernel::detail {

class Findings;

class WorkItems {
public:
    std::mutex mutex;
    std::unordered_map<PIO_WORKITEM, std::unique_ptr<_IO_WORKITEM>> items;
    // Executive work items queued and not yet started, with the driver that
    // queued them.
    std::unordered_map<PWORK_QUEUE_ITEM, PDRIVER_OBJECT> executive;

    // Work items of the driver's devices (all when driver is nullptr): those
    // still queued and those never freed.
    void ReportQueued(PDRIVER_OBJECT driver, const std::string& when, Findings& findings);
    void ReportLeaks(PDRIVER_OBJECT driver, const std::string& when, Findings& findings);
    size_t Queued();
};

} // namespace platform::kernel::detail
