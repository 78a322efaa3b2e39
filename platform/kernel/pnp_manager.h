// The Plug and Play manager's records: one device node per PDO that a bus
// driver reported, with the function driver it loaded for it.
#pragma once

#include "platform/kernel/irp_table.h"
#include "platform/kernel/kernel.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform::kernel {

class DeviceNode {
public:
    PDEVICE_OBJECT pdo = nullptr;
    std::string instancePath;
    std::string service;
    PDRIVER_OBJECT driver = nullptr; // the function driver, once loaded
    // Upper filters, in attach order; those the manager loaded for this node
    // are unloaded by it once unused.
    std::vector<PDRIVER_OBJECT> filters;
    std::vector<PDRIVER_OBJECT> filtersLoadedHere;
    Kernel::DeviceState state = Kernel::DeviceState::Failed;
    bool removeWhenClosed = false; // surprise-removed; IRP_MN_REMOVE_DEVICE follows
};

namespace detail {

class PnpManager {
public:
    std::mutex mutex;
    std::vector<std::unique_ptr<DeviceNode>> nodes;
    SYSTEM_POWER_STATE systemPower = PowerSystemWorking;
    bool recheckScheduled = false;

    // A file object was closed: a pending removal or driver unload may now
    // proceed. Schedules the check at PASSIVE_LEVEL.
    void OnFileClosed();
    // Sends IRP_MN_REMOVE_DEVICE to surprise-removed nodes whose stacks are
    // no longer open, and unloads drivers whose last device object is free.
    void RunPendingWork();
};

// A Plug and Play or power request of the PnP manager for the top of pdo's
// stack, initialised as Windows initialises them (STATUS_NOT_SUPPORTED).
PIRP AllocateStackRequest(PDEVICE_OBJECT pdo, UCHAR major, UCHAR minor, PDEVICE_OBJECT* top,
                          std::shared_ptr<SyncCompletion>* sync);

// Open file objects on the devices of the stack above and including pdo.
LONG OpensOnStack(PDEVICE_OBJECT pdo);

// True (traced, *status set) when the system lacks a routine the service's
// image imports.
bool RefuseMissingImport(Kernel& kernel, const Kernel::DriverService& service, NTSTATUS* status);

} // namespace detail
} // namespace platform::kernel
