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

// Both stay the caller's; nullptr restores the default.
void SetFileAccess(FileAccess* files);
void SetDeviceTree(DeviceTree* tree);

} // namespace platform::setupapi
