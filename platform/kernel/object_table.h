// The object manager's part of the stand-in: driver objects, device objects,
// file objects and the namespace of names and symbolic links. Names compare
// without regard to case; "\DosDevices\x" and "\??\x" are one directory.
//
// Device objects are not freed when deleted: they stay (unnamed, marked
// deleted) until the kernel goes away, as a referenced device object outlives
// IoDeleteDevice on Windows. Driver objects are freed at unload; their record
// stays so that a call into an unloaded driver is caught.
#pragma once

#include "platform/kernel/ntddk.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform::kernel::detail {

constexpr CSHORT kTypeDevice = 3;
constexpr CSHORT kTypeDriver = 4;
constexpr CSHORT kTypeFile = 5;
constexpr CSHORT kTypeIrp = 6;

struct DriverInfo {
    std::string name;              // service name, "korvex"
    std::u16string driverName;     // "\Driver\korvex"
    std::u16string serviceKeyName; // "korvex"
    std::unique_ptr<DRIVER_OBJECT> object;
    std::unique_ptr<DRIVER_EXTENSION> extension;
    struct ClientExtension {
        PVOID id;
        std::unique_ptr<max_align_t[]> memory;
    };
    std::vector<ClientExtension> clientExtensions;
    bool unloaded = false;
    bool unloadPending = false; // the PnP manager unloads it once its devices are free
};

struct DeviceInfo {
    PDEVICE_OBJECT object = nullptr; // DEVICE_OBJECT followed by its extension
    size_t bytes = 0;                // of both
    DriverInfo* driver = nullptr;
    std::string name;               // as created, empty when unnamed
    PDEVICE_OBJECT lower = nullptr; // the device it is attached to
    bool deleted = false;
    bool leakReported = false;
    std::string instancePath;                       // set by the Plug and Play manager
    DEVICE_POWER_STATE devicePower = PowerDeviceD0; // as told to PoSetPowerState
    SYSTEM_POWER_STATE systemPower = PowerSystemWorking;
    uint64_t serial = 0;
};

struct FileInfo {
    std::unique_ptr<FILE_OBJECT> object;
    LONG references = 1;
    PDEVICE_OBJECT top = nullptr; // where requests on this file go
};

struct NameEntry {
    std::string display;                 // as given
    PDEVICE_OBJECT device = nullptr;     // a device name
    std::string linkTarget;              // a symbolic link to a name
    PDEVICE_OBJECT linkDevice = nullptr; // a device interface link
};

struct ObjectTable {
    ~ObjectTable();

    // Lower-cased key with "\DosDevices\" folded into "\??\".
    static std::string Key(const std::string& name);

    // All below: with mutex held.
    DriverInfo* FindDriver(PDRIVER_OBJECT driver);
    DeviceInfo* FindDevice(PDEVICE_OBJECT device);
    FileInfo* FindFile(PFILE_OBJECT file);
    // Follows links to a live device; nullptr when the name leads nowhere.
    PDEVICE_OBJECT Resolve(const std::string& name) const;
    PDEVICE_OBJECT TopOfStack(PDEVICE_OBJECT device) const;
    std::string Describe(PDEVICE_OBJECT device) const; // for findings
    // The deleted device object (or extension) that holds address, if any,
    // unless a file object still references it: Windows frees a deleted
    // device object once its last reference goes (IoDeleteDevice).
    PDEVICE_OBJECT DeletedDeviceHolding(const void* address) const;

    mutable std::mutex mutex;
    std::vector<std::unique_ptr<DriverInfo>> drivers;
    std::unordered_map<PDRIVER_OBJECT, DriverInfo*> driverByObject;
    std::unordered_map<PDEVICE_OBJECT, std::unique_ptr<DeviceInfo>> devices;
    std::unordered_map<PFILE_OBJECT, std::unique_ptr<FileInfo>> files;
    std::map<std::string, NameEntry> names;
    uint64_t nextDeviceSerial = 1;
    ULONG nextAutoName = 1;
};

} // namespace platform::kernel::detail
