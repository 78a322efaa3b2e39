// How the machine's system chooses the driver of a device from the
// registry, as Plug and Play does at boot and at each arrival:
//
// 2000/XP: the instance key below SYSTEM\CurrentControlSet\Enum names its
//   "Service"; the service key's "ImagePath" is the driver file (relative to
//   the Windows directory, or absolute); the upper filters are the
//   instance's own "UpperFilters" and then its class key's
//   (Control\Class\{ClassGUID}), each a service of its own.
// 98: the instance key below Enum names its class key ("Driver", relative
//   to System\CurrentControlSet\Services\Class), whose "NTMPDriver" is the
//   WDM driver file in SYSTEM32\DRIVERS; its service name is the file's
//   name without ".sys", in lower case.
//
// A device with no instance key or no driver named there is new: the
// machine has the setup library install it from the INF directory
// (platform::setupapi::InstallNewDevice) and chooses again.
#pragma once

#include "platform/win32/system_info.h"

#include <string>
#include <vector>

namespace machine {

struct DriverChoice {
    std::string service;
    std::string imagePath; // a full path on the machine's disk
    std::vector<std::string> upperFilters;
};

// False when the registry names no driver for the instance.
bool ChooseDriver(platform::win32::OsKind os, const std::string& windowsDirectory,
                  const std::string& instanceId, DriverChoice* choice);

} // namespace machine
