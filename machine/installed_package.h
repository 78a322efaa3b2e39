// The registry of a machine before the boot: what the system itself has
// (the Mouse class key with its class filter on 2000/XP), and, unless the
// machine is fresh, the three drivers as setup and the first arrival of the
// screen leave them: service keys, the root device's and the screen's
// instance keys and driver keys, and the driver image files where the
// services name them. (The INF directory holds no copy of the package's
// INF files: the screen's instance key names its driver already.) No settings key: the drivers'
// defaults stand, as in every script written before setup existed.
#pragma once

#include "platform/registry/store.h"
#include "platform/win32/disk.h"
#include "platform/win32/system_info.h"

namespace machine {

// The registry and, on the disk, the system's own class filter image.
void WriteSystem(platform::registry::Store& store, platform::win32::Disk& disk,
                 platform::win32::OsKind os);
// The package's keys and driver images.
void WriteInstalledPackage(platform::registry::Store& store, platform::win32::Disk& disk,
                           platform::win32::OsKind os);

} // namespace machine
