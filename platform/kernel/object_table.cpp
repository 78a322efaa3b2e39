#include "platform/kernel/object_table.h"

#include "platform/kernel/verifier.h"

#include <cctype>
#include <new>

namespace platform::kernel::detail {

ObjectTable::~ObjectTable() {
    for (auto& [object, info] : devices)
        ::operator delete(object);
}

std::string ObjectTable::Key(const std::string& name) {
    std::string key;
    key.reserve(name.size());
    for (char c : name)
        key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const std::string dos = "\\dosdevices\\";
    if (key.compare(0, dos.size(), dos) == 0)
        key = "\\??\\" + key.substr(dos.size());
    return key;
}

DriverInfo* ObjectTable::FindDriver(PDRIVER_OBJECT driver) {
    auto found = driverByObject.find(driver);
    return found == driverByObject.end() ? nullptr : found->second;
}

DeviceInfo* ObjectTable::FindDevice(PDEVICE_OBJECT device) {
    auto found = devices.find(device);
    return found == devices.end() ? nullptr : found->second.get();
}

FileInfo* ObjectTable::FindFile(PFILE_OBJECT file) {
    auto found = files.find(file);
    return found == files.end() ? nullptr : found->second.get();
}

PDEVICE_OBJECT ObjectTable::Resolve(const std::string& name) const {
    std::string key = Key(name);
    for (int depth = 0; depth < 8; ++depth) {
        auto found = names.find(key);
        if (found == names.end())
            return nullptr;
        const NameEntry& entry = found->second;
        if (entry.device)
            return entry.device;
        if (entry.linkDevice) {
            auto device = devices.find(entry.linkDevice);
            return device != devices.end() && !device->second->deleted ? entry.linkDevice : nullptr;
        }
        key = Key(entry.linkTarget);
    }
    return nullptr;
}

PDEVICE_OBJECT ObjectTable::TopOfStack(PDEVICE_OBJECT device) const {
    while (device && device->AttachedDevice)
        device = device->AttachedDevice;
    return device;
}

PDEVICE_OBJECT ObjectTable::DeletedDeviceHolding(const void* address) const {
    const auto* byte = static_cast<const char*>(address);
    for (const auto& [object, info] : devices) {
        const auto* start = reinterpret_cast<const char*>(object);
        if (info->deleted && byte >= start && byte < start + info->bytes) {
            for (const auto& [file, fileInfo] : files)
                if (file->DeviceObject == object || fileInfo->top == object)
                    return nullptr;
            return object;
        }
    }
    return nullptr;
}

std::string ObjectTable::Describe(PDEVICE_OBJECT device) const {
    auto found = devices.find(device);
    if (found == devices.end())
        return "device " + Hex(device);
    const DeviceInfo& info = *found->second;
    std::string text = info.name.empty() ? "unnamed device " + Hex(device) : info.name;
    if (info.driver)
        text += " of " + info.driver->name;
    return text;
}

} // namespace platform::kernel::detail
