// The Plug and Play manager: device arrival, start, stop, removal, and the
// unload of function drivers whose devices are all gone.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

namespace platform::kernel {

using namespace detail;

namespace {

const char* MinorName(UCHAR minor) {
    switch (minor) {
    case IRP_MN_START_DEVICE:
        return "IRP_MN_START_DEVICE";
    case IRP_MN_QUERY_REMOVE_DEVICE:
        return "IRP_MN_QUERY_REMOVE_DEVICE";
    case IRP_MN_REMOVE_DEVICE:
        return "IRP_MN_REMOVE_DEVICE";
    case IRP_MN_CANCEL_REMOVE_DEVICE:
        return "IRP_MN_CANCEL_REMOVE_DEVICE";
    case IRP_MN_STOP_DEVICE:
        return "IRP_MN_STOP_DEVICE";
    case IRP_MN_QUERY_STOP_DEVICE:
        return "IRP_MN_QUERY_STOP_DEVICE";
    case IRP_MN_CANCEL_STOP_DEVICE:
        return "IRP_MN_CANCEL_STOP_DEVICE";
    case IRP_MN_QUERY_PNP_DEVICE_STATE:
        return "IRP_MN_QUERY_PNP_DEVICE_STATE";
    case IRP_MN_SURPRISE_REMOVAL:
        return "IRP_MN_SURPRISE_REMOVAL";
    default:
        return "IRP_MJ_PNP";
    }
}

// One Plug and Play request to the top of the stack, waited for.
NTSTATUS SendPnp(DeviceNode* node, UCHAR minor) {
    IrqlScope passive(PASSIVE_LEVEL, MinorName(minor));
    PDEVICE_OBJECT top;
    std::shared_ptr<SyncCompletion> sync;
    PIRP irp = AllocateStackRequest(node->pdo, IRP_MJ_PNP, minor, &top, &sync);
    if (!irp)
        return STATUS_INSUFFICIENT_RESOURCES;
    return SendAndWait(top, irp, sync);
}

// What the function driver's AddDevice put on the PDO must not stay
// initializing: the PnP manager would fail every open of it.
void CheckInitialized(DeviceNode* node) {
    auto& k = K();
    Findings findings;
    std::lock_guard lock(k.objects.mutex);
    for (PDEVICE_OBJECT device = node->pdo->AttachedDevice; device;
         device = device->AttachedDevice) {
        if (device->Flags & DO_DEVICE_INITIALIZING) {
            findings.Add("device-initializing", "AddDevice of " + node->service + " left " +
                                                    k.objects.Describe(device) +
                                                    " with DO_DEVICE_INITIALIZING set");
            device->Flags &= ~DO_DEVICE_INITIALIZING;
        }
    }
}

// Unloads the driver unless it still has device objects; waits for the
// references to its deleted ones, and for notifications still on their way
// to it, to go.
void UnloadIfUnused(Kernel& kernel, PDRIVER_OBJECT driver) {
    auto& k = K();
    bool lateNotification;
    {
        std::lock_guard lock(k.interfaces.mutex);
        lateNotification = k.interfaces.LateDeliveryPending(driver);
    }
    {
        std::lock_guard lock(k.objects.mutex);
        DriverInfo* info = k.objects.FindDriver(driver);
        if (!info || info->unloaded || driver->DeviceObject)
            return;
        // The registration's reference on the driver object keeps it.
        info->unloadPending = lateNotification;
        if (lateNotification)
            return;
        for (auto& [object, device] : k.objects.devices) {
            if (device->driver == info && object->ReferenceCount > 0) {
                info->unloadPending = true;
                return;
            }
        }
    }
    kernel.UnloadDriver(driver);
}

// The node's function driver and the filters loaded for it.
void UnloadAllIfUnused(Kernel& kernel, DeviceNode* node) {
    if (node->driver)
        UnloadIfUnused(kernel, node->driver);
    for (PDRIVER_OBJECT filter : node->filtersLoadedHere)
        UnloadIfUnused(kernel, filter);
}

// After IRP_MN_REMOVE_DEVICE went down the stack.
void FinishRemoval(Kernel& kernel, DeviceNode* node) {
    auto& k = K();
    k.interfaces.DisableAllOf(node->pdo);
    {
        Findings findings;
        std::lock_guard lock(k.objects.mutex);
        for (PDEVICE_OBJECT device = node->pdo->AttachedDevice; device;
             device = device->AttachedDevice)
            findings.Add("pnp-remove-left-device", "after IRP_MN_REMOVE_DEVICE, " +
                                                       k.objects.Describe(device) +
                                                       " is still attached to the device's stack");
    }
    {
        std::lock_guard lock(k.pnp.mutex);
        node->state = Kernel::DeviceState::Removed;
        node->removeWhenClosed = false;
    }
    UnloadAllIfUnused(kernel, node);
}

bool Usable(const DeviceNode* node) {
    return node && node->state != Kernel::DeviceState::Removed &&
           node->state != Kernel::DeviceState::Failed;
}

// IRP_MN_START_DEVICE and the state query after it; a failed start tears
// the stack down. Windows 98 stops it instead, without a query, and the
// device keeps its drivers until it is removed ("Stopping a Device After a
// Failed Start (Windows 98/Me)", learn.microsoft.com).
NTSTATUS Start(Kernel& kernel, DeviceNode* node) {
    NTSTATUS status = SendPnp(node, IRP_MN_START_DEVICE);
    if (!NT_SUCCESS(status) && K().system == Kernel::System::Windows98) {
        SendPnp(node, IRP_MN_STOP_DEVICE);
        std::lock_guard lock(K().pnp.mutex);
        node->state = Kernel::DeviceState::Stopped;
        return status;
    }
    if (!NT_SUCCESS(status)) {
        SendPnp(node, IRP_MN_REMOVE_DEVICE);
        FinishRemoval(kernel, node);
        std::lock_guard lock(K().pnp.mutex);
        node->state = Kernel::DeviceState::Failed;
        return status;
    }
    {
        std::lock_guard lock(K().pnp.mutex);
        node->state = Kernel::DeviceState::Started;
    }
    SendPnp(node, IRP_MN_QUERY_PNP_DEVICE_STATE);
    return status;
}

// The loaded driver of that service (one waiting to be unloaded serves
// again), or the service loaded now; *loadedHere tells which.
PDRIVER_OBJECT FindOrLoad(Kernel& kernel, const Kernel::DriverService& service, bool* loadedHere,
                          NTSTATUS* status) {
    auto& k = K();
    *loadedHere = false;
    *status = STATUS_SUCCESS;
    {
        std::lock_guard lock(k.objects.mutex);
        for (auto& info : k.objects.drivers) {
            if (info->name == service.service && !info->unloaded) {
                info->unloadPending = false;
                return info->object.get();
            }
        }
    }
    if (RefuseMissingImport(kernel, service, status))
        return nullptr;
    PDRIVER_OBJECT driver = kernel.LoadDriver(service.service, service.entry, status);
    *loadedHere = driver != nullptr;
    return driver;
}

NTSTATUS CallAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    PDRIVER_ADD_DEVICE addDevice = driver->DriverExtension->AddDevice;
    if (!addDevice)
        return STATUS_INVALID_DEVICE_REQUEST;
    IrqlScope passive(PASSIVE_LEVEL, "AddDevice");
    DriverCall call(driver, "AddDevice");
    return addDevice(driver, pdo);
}

} // namespace

PIRP detail::AllocateStackRequest(PDEVICE_OBJECT pdo, UCHAR major, UCHAR minor, PDEVICE_OBJECT* top,
                                  std::shared_ptr<SyncCompletion>* sync) {
    {
        std::lock_guard lock(K().objects.mutex);
        *top = K().objects.TopOfStack(pdo);
    }
    PIRP irp = AllocateSystemIrp(*top, sync, SystemIrp::MustSucceed);
    if (!irp)
        return nullptr;
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    PIO_STACK_LOCATION sp = IoGetNextIrpStackLocation(irp);
    sp->MajorFunction = major;
    sp->MinorFunction = minor;
    return irp;
}

LONG detail::OpensOnStack(PDEVICE_OBJECT pdo) {
    std::lock_guard lock(K().objects.mutex);
    LONG opens = 0;
    for (PDEVICE_OBJECT device = pdo; device; device = device->AttachedDevice)
        opens += device->ReferenceCount;
    return opens;
}

void PnpManager::OnFileClosed() {
    auto& k = K();
    bool unloadWaits = false;
    {
        std::lock_guard lock(k.objects.mutex);
        for (auto& info : k.objects.drivers)
            unloadWaits = unloadWaits || info->unloadPending;
    }
    {
        std::lock_guard lock(mutex);
        bool removalWaits = false;
        for (auto& node : nodes)
            removalWaits = removalWaits || node->removeWhenClosed;
        if (recheckScheduled || !(removalWaits || unloadWaits))
            return;
        recheckScheduled = true;
    }
    k.clock.Schedule(
        k.clock.Now(), [] { K().pnp.RunPendingWork(); }, PASSIVE_LEVEL);
}

void PnpManager::RunPendingWork() {
    auto& k = K();
    std::vector<DeviceNode*> removals;
    {
        std::lock_guard lock(mutex);
        recheckScheduled = false;
        for (auto& node : nodes)
            if (node->removeWhenClosed)
                removals.push_back(node.get());
    }
    for (DeviceNode* node : removals) {
        if (OpensOnStack(node->pdo) == 0) {
            SendPnp(node, IRP_MN_REMOVE_DEVICE);
            FinishRemoval(k.owner, node);
        }
    }
    std::vector<PDRIVER_OBJECT> unloads;
    {
        std::lock_guard lock(k.objects.mutex);
        for (auto& info : k.objects.drivers)
            if (info->unloadPending && !info->unloaded)
                unloads.push_back(info->object.get());
    }
    for (PDRIVER_OBJECT driver : unloads)
        UnloadIfUnused(k.owner, driver);
}

NTSTATUS Kernel::PlugInDevice(PDEVICE_OBJECT pdo, const std::string& instancePath,
                              const std::string& service, PDRIVER_INITIALIZE entry,
                              DeviceNode** nodeOut) {
    return PlugInDevice(pdo, instancePath, DriverService{service, entry}, {}, nodeOut);
}

NTSTATUS Kernel::PlugInDevice(PDEVICE_OBJECT pdo, const std::string& instancePath,
                              const DriverService& function,
                              const std::vector<DriverService>& upperFilters,
                              DeviceNode** nodeOut) {
    State& k = *state_;
    if (nodeOut)
        *nodeOut = nullptr;
    {
        std::lock_guard lock(k.objects.mutex);
        DeviceInfo* info = k.objects.FindDevice(pdo);
        if (!info || info->deleted)
            return STATUS_INVALID_PARAMETER;
        info->instancePath = instancePath;
    }
    auto created = std::make_unique<DeviceNode>();
    DeviceNode* node = created.get();
    node->pdo = pdo;
    node->instancePath = instancePath;
    node->service = function.service;
    {
        std::lock_guard lock(k.pnp.mutex);
        k.pnp.nodes.push_back(std::move(created));
    }
    if (nodeOut)
        *nodeOut = node;

    bool loadedHere;
    NTSTATUS status;
    node->driver = FindOrLoad(*this, function, &loadedHere, &status);
    if (!node->driver)
        return status;
    for (const DriverService& filter : upperFilters) {
        PDRIVER_OBJECT driver = FindOrLoad(*this, filter, &loadedHere, &status);
        if (!driver) {
            UnloadAllIfUnused(*this, node);
            return status;
        }
        node->filters.push_back(driver);
        if (loadedHere)
            node->filtersLoadedHere.push_back(driver);
    }

    // The function driver's AddDevice failing leaves nothing attached.
    status = CallAddDevice(node->driver, pdo);
    if (!NT_SUCCESS(status)) {
        UnloadAllIfUnused(*this, node);
        return status;
    }
    for (PDRIVER_OBJECT filter : node->filters) {
        status = CallAddDevice(filter, pdo);
        if (!NT_SUCCESS(status)) {
            CheckInitialized(node);
            SendPnp(node, IRP_MN_REMOVE_DEVICE);
            FinishRemoval(*this, node);
            std::lock_guard lock(k.pnp.mutex);
            node->state = DeviceState::Failed;
            return status;
        }
    }
    CheckInitialized(node);
    return Start(*this, node);
}

NTSTATUS Kernel::StopDevice(DeviceNode* node) {
    if (!Usable(node) || node->state != DeviceState::Started)
        return STATUS_INVALID_DEVICE_STATE;
    NTSTATUS status = SendPnp(node, IRP_MN_QUERY_STOP_DEVICE);
    if (!NT_SUCCESS(status)) {
        SendPnp(node, IRP_MN_CANCEL_STOP_DEVICE);
        return status;
    }
    SendPnp(node, IRP_MN_STOP_DEVICE);
    std::lock_guard lock(state_->pnp.mutex);
    node->state = DeviceState::Stopped;
    return STATUS_SUCCESS;
}

NTSTATUS Kernel::RestartDevice(DeviceNode* node) {
    if (!Usable(node) || node->state != DeviceState::Stopped)
        return STATUS_INVALID_DEVICE_STATE;
    return Start(*this, node);
}

NTSTATUS Kernel::InvalidateDeviceState(DeviceNode* node) {
    if (!Usable(node) || node->state != DeviceState::Started)
        return STATUS_INVALID_DEVICE_STATE;
    return SendPnp(node, IRP_MN_QUERY_PNP_DEVICE_STATE);
}

NTSTATUS Kernel::RemoveDevice(DeviceNode* node) {
    if (!Usable(node) || node->state == DeviceState::SurpriseRemoved)
        return STATUS_INVALID_DEVICE_STATE;
    if (OpensOnStack(node->pdo) > 0)
        return STATUS_DEVICE_BUSY; // vetoed: an open handle
    NTSTATUS status = SendPnp(node, IRP_MN_QUERY_REMOVE_DEVICE);
    if (!NT_SUCCESS(status)) {
        SendPnp(node, IRP_MN_CANCEL_REMOVE_DEVICE);
        return status;
    }
    SendPnp(node, IRP_MN_REMOVE_DEVICE);
    FinishRemoval(*this, node);
    return STATUS_SUCCESS;
}

void Kernel::SurpriseRemoveDevice(DeviceNode* node) {
    // A device that got no driver, or lost it when its start failed, is
    // only its PDO: the bus driver learns that its device left.
    if (node && node->state == DeviceState::Failed) {
        SendPnp(node, IRP_MN_REMOVE_DEVICE);
        std::lock_guard lock(state_->pnp.mutex);
        node->state = DeviceState::Removed;
        return;
    }
    if (!Usable(node) || node->state == DeviceState::SurpriseRemoved)
        return;
    // Windows 98 has no surprise removal ("IRP_MN_SURPRISE_REMOVAL",
    // learn.microsoft.com): the pull-out is the removal, at once, open
    // handles or not.
    if (state_->system == System::Windows98) {
        SendPnp(node, IRP_MN_REMOVE_DEVICE);
        FinishRemoval(*this, node);
        return;
    }
    SendPnp(node, IRP_MN_SURPRISE_REMOVAL);
    state_->interfaces.DisableAllOf(node->pdo);
    {
        std::lock_guard lock(state_->pnp.mutex);
        node->state = DeviceState::SurpriseRemoved;
        node->removeWhenClosed = true;
    }
    state_->pnp.RunPendingWork();
}

Kernel::DeviceState Kernel::StateOf(const DeviceNode* node) const {
    std::lock_guard lock(state_->pnp.mutex);
    return node->state;
}

size_t Kernel::QueuedWorkItems() const {
    return state_->workItems.Queued();
}

} // namespace platform::kernel
