// The host side of the setup library: what it needs of the machine around
// it. Files: reading INF files, copying and deleting queued files, and the
// Windows and system directories (the machine's disk). Devices: the device
// tree that root devices join when registered and leave when removed.
//
// A machine or a test installs both before programs call the library;
// without them, files are missing and devices live in the registry only.
#pragma once

#include "platform/win32/win_base.h"

#include <string>
#include <vector>

namespace platform::setupapi {

class FileAccess {
public:
    virtual ~FileAccess() = default;
    // ERROR_SUCCESS with the whole file, or the error (ERROR_FILE_NOT_FOUND).
    virtual DWORD Read(const std::string& path, std::string* data) = 0;
    virtual DWORD Copy(const std::string& from, const std::string& to) = 0;
    virtual DWORD Delete(const std::string& path) = 0;
    // "C:\WINDOWS" and "C:\WINDOWS\SYSTEM" (98) or "C:\WINDOWS\system32" (NT).
    virtual std::string WindowsDirectory() = 0;
    virtual std::string SystemDirectory() = 0;
};

class DeviceTree {
public:
    virtual ~DeviceTree() = default;
    // A registered root device's node appears (not yet started).
    virtual void Created(const std::string& instanceId) = 0;
    // After DIF_INSTALLDEVICE: the device's driver may now be loaded.
    virtual void Installed(const std::string& instanceId) = 0;
    // DIF_REMOVE: the node is taken down and its driver unloaded.
    virtual void Removed(const std::string& instanceId) = 0;
    // DIGCF_PRESENT: whether the node exists now.
    virtual bool Present(const std::string& instanceId) = 0;
};

// The system's installer for a device that arrives without a driver (what
// Plug and Play runs): the first model, in the order of `infPaths`, that
// lists one of `hardwareIds` is installed for the instance as
// DIF_INSTALLDEVICE does, without copying files (they are in place or the
// driver will not load). The instance key is created with the ids. False
// when no INF lists any of them; *infPath names the INF used.
bool InstallNewDevice(const std::vector<std::string>& infPaths, const std::string& instanceId,
                      const std::vector<std::string>& hardwareIds, std::string* infPath);

// Both stay the caller's; nullptr restores the default.
void SetFileAccess(FileAccess* files);
void SetDeviceTree(DeviceTree* tree);

} // namespace platform::setupapi
