// Driver objects: loading, unloading, the default dispatch routine and
// driver object extensions.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

#include <cstring>

namespace platform::kernel {

using namespace detail;

namespace {

// Windows hands a driver its service key under the control set in use, not
// under the CurrentControlSet link.
const char kServicesRoot[] = "\\REGISTRY\\MACHINE\\SYSTEM\\ControlSet001\\Services\\";

UNICODE_STRING View(const std::u16string& text) {
    UNICODE_STRING view;
    view.Length = static_cast<USHORT>(text.size() * sizeof(WCHAR));
    view.MaximumLength = static_cast<USHORT>(view.Length + sizeof(WCHAR));
    view.Buffer = const_cast<PWSTR>(text.c_str());
    return view;
}

// After the entry failed or the unload ran: reports what the driver left
// behind and frees its object unless device objects still point at it.
void Release(Kernel::State& k, DriverInfo* info, const std::string& when) {
    PDRIVER_OBJECT object = info->object.get();
    k.pool.ReportLeaks(object, when);
    Findings findings;
    k.irps.ReportLeaks(object, when, findings);
    k.workItems.ReportQueued(object, when, findings);
    k.workItems.ReportLeaks(object, when, findings);
    for (const std::string& registration : k.interfaces.RegistrationsOf(object))
        findings.Add("pnp-notification-at-unload", registration + " is still active " + when);
    std::lock_guard lock(k.objects.mutex);
    bool devicesLeft = false;
    for (PDEVICE_OBJECT device = object->DeviceObject; device; device = device->NextDevice) {
        devicesLeft = true;
        findings.Add("driver-unload-with-devices",
                     k.objects.Describe(device) + " still exists " + when);
    }
    k.objects.names.erase(
        ObjectTable::Key(Narrow(info->driverName.data(), info->driverName.size())));
    info->unloaded = true;
    if (devicesLeft)
        return; // the object stays for the devices that still name it
    k.objects.driverByObject.erase(object);
    info->clientExtensions.clear();
    info->object.reset();
    info->extension.reset();
}

} // namespace

PDRIVER_OBJECT Kernel::LoadDriver(const std::string& name, PDRIVER_INITIALIZE entry,
                                  NTSTATUS* status) {
    State& k = *state_;
    NTSTATUS ignored;
    NTSTATUS& result = status ? *status : ignored;
    std::string objectName = "\\Driver\\" + name;
    auto info = std::make_unique<DriverInfo>();
    info->name = name;
    info->driverName = Widen(objectName);
    info->serviceKeyName = Widen(name);
    info->object = std::make_unique<DRIVER_OBJECT>();
    info->extension = std::make_unique<DRIVER_EXTENSION>();
    PDRIVER_OBJECT object = info->object.get();
    object->Type = kTypeDriver;
    object->Size = sizeof(DRIVER_OBJECT);
    object->DriverExtension = info->extension.get();
    object->DriverName = View(info->driverName);
    object->DriverInit = entry;
    for (auto& dispatch : object->MajorFunction)
        dispatch = DefaultDispatch;
    info->extension->DriverObject = object;
    info->extension->ServiceKeyName = View(info->serviceKeyName);
    DriverInfo* loaded = info.get();
    {
        std::lock_guard lock(k.objects.mutex);
        std::string key = ObjectTable::Key(objectName);
        if (k.objects.names.count(key)) {
            result = STATUS_OBJECT_NAME_COLLISION;
            return nullptr;
        }
        k.objects.names[key] = NameEntry{objectName, nullptr, {}, nullptr};
        k.objects.driverByObject[object] = loaded;
        k.objects.drivers.push_back(std::move(info));
    }

    // The path string lives only for the call, as on Windows: drivers copy it.
    // An installed driver always has its service key.
    k.registry.Create(kServicesRoot + name);
    std::u16string registryPath = Widen(kServicesRoot + name);
    UNICODE_STRING path = View(registryPath);
    {
        IrqlScope passive(PASSIVE_LEVEL, "DriverEntry");
        DriverCall call(object, "DriverEntry");
        result = entry(object, &path);
    }
    if (!NT_SUCCESS(result)) {
        Release(k, loaded, "after DriverEntry of " + name + " failed");
        return nullptr;
    }
    std::lock_guard lock(k.objects.mutex);
    for (PDEVICE_OBJECT device = object->DeviceObject; device; device = device->NextDevice)
        device->Flags &= ~DO_DEVICE_INITIALIZING;
    return object;
}

void Kernel::UnloadDriver(PDRIVER_OBJECT driver) {
    State& k = *state_;
    DriverInfo* info;
    {
        std::lock_guard lock(k.objects.mutex);
        info = k.objects.FindDriver(driver);
    }
    if (!info || info->unloaded) {
        k.verifier.Report("driver-invalid",
                          "UnloadDriver(" + Hex(driver) + "): not a loaded driver");
        return;
    }
    if (driver->DriverUnload) {
        IrqlScope passive(PASSIVE_LEVEL, "DriverUnload");
        DriverCall call(driver, "DriverUnload");
        driver->DriverUnload(driver);
    }
    Release(k, info, "at unload of " + info->name);
}

namespace detail {

NTSTATUS DefaultDispatch(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    UNREFERENCED_PARAMETER(DeviceObject);
    if (IoGetCurrentIrpStackLocation(Irp)->MajorFunction == IRP_MJ_POWER)
        PoStartNextPowerIrp(Irp);
    Irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return STATUS_INVALID_DEVICE_REQUEST;
}

std::string DescribeDevice(PDEVICE_OBJECT device) {
    std::lock_guard lock(K().objects.mutex);
    return K().objects.Describe(device);
}

} // namespace detail

} // namespace platform::kernel

using namespace platform::kernel::detail;

NTSTATUS IoAllocateDriverObjectExtension(PDRIVER_OBJECT DriverObject,
                                         PVOID ClientIdentificationAddress,
                                         ULONG DriverObjectExtensionSize,
                                         PVOID* DriverObjectExtension) {
    auto& k = K();
    *DriverObjectExtension = nullptr;
    {
        std::lock_guard lock(k.objects.mutex);
        DriverInfo* info = k.objects.FindDriver(DriverObject);
        if (!info || info->unloaded)
            return STATUS_INVALID_PARAMETER;
        for (auto& extension : info->clientExtensions)
            if (extension.id == ClientIdentificationAddress)
                return STATUS_OBJECT_NAME_COLLISION;
    }
    if (!k.gate.Grant(platform::kernel::AllocationRequest::Kind::Pool, 0x76697244 /* 'Driv' */,
                      NonPagedPool, DriverObjectExtensionSize))
        return STATUS_INSUFFICIENT_RESOURCES;
    size_t units = (DriverObjectExtensionSize + sizeof(max_align_t) - 1) / sizeof(max_align_t);
    DriverInfo::ClientExtension extension{ClientIdentificationAddress,
                                          std::make_unique<max_align_t[]>(units ? units : 1)};
    std::memset(extension.memory.get(), 0, units * sizeof(max_align_t));
    std::lock_guard lock(k.objects.mutex);
    DriverInfo* info = k.objects.FindDriver(DriverObject);
    for (auto& existing : info->clientExtensions)
        if (existing.id == ClientIdentificationAddress)
            return STATUS_OBJECT_NAME_COLLISION;
    *DriverObjectExtension = extension.memory.get();
    info->clientExtensions.push_back(std::move(extension));
    return STATUS_SUCCESS;
}

PVOID IoGetDriverObjectExtension(PDRIVER_OBJECT DriverObject, PVOID ClientIdentificationAddress) {
    auto& k = K();
    std::lock_guard lock(k.objects.mutex);
    DriverInfo* info = k.objects.FindDriver(DriverObject);
    if (!info)
        return nullptr;
    for (auto& extension : info->clientExtensions)
        if (extension.id == ClientIdentificationAddress)
            return extension.memory.get();
    return nullptr;
}
