// Device information sets and their elements. Private to the setup library.
#pragma once

#include "platform/setupapi/inf_file.h"

#include <memory>
#include <string>
#include <vector>

namespace platform::setupapi::detail {

struct DeviceInfo {
    std::string instanceId;
    GUID classGuid{};
    std::string description;
    bool registered = false; // has its instance key in the registry
    bool removed = false;    // DIF_REMOVE took it away
    DWORD devInst = 0;
    SP_DEVINSTALL_PARAMS_A params{};
    // The driver DIF_SELECTDEVICE chose.
    bool driverSelected = false;
    std::string driverInf;      // full path
    std::string installSection; // undecorated
    std::string driverDescription;
    std::string manufacturer;
    std::string matchingId;
};

struct DeviceInfoSet {
    bool hasClass = false;
    GUID classGuid{};
    HWND parent = nullptr;
    SP_DEVINSTALL_PARAMS_A params{};
    std::vector<std::unique_ptr<DeviceInfo>> devices;
};

DeviceInfoSet* SetFromHandle(HDEVINFO handle);
// The element the data names (its Reserved), or nullptr with *error set.
DeviceInfo* DeviceFromData(DeviceInfoSet* set, PSP_DEVINFO_DATA data, DWORD* error);
void FillData(const DeviceInfo& device, PSP_DEVINFO_DATA data);

// "SYSTEM\CurrentControlSet\Enum\ROOT\TOUCHSCREEN\0000" below HKLM.
std::string InstanceKeyPath(const std::string& instanceId);
// The class's key below the class root: "{GUID}" on NT, the class name on 98.
std::string ClassKeyName(const GUID& guid, const std::string& className);
// The device's driver key, created as the class's next free NNNN when the
// device has none yet; nullptr with *error on failure.
HKEY OpenDriverKey(const DeviceInfo& device, bool create, DWORD* error);
// The instance key's "Device Parameters" (NT) or the instance key (98).
HKEY OpenDeviceKey(const DeviceInfo& device, DWORD* error);

DWORD SelectDriver(DeviceInfoSet& set, DeviceInfo& device);
DWORD InstallDevice(DeviceInfoSet& set, DeviceInfo& device);
DWORD RemoveDevice(DeviceInfo& device);

} // namespace platform::setupapi::detail
