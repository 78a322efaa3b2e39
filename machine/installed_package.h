// The registry of a machine before the boot: what the system itself has
// (the Mouse class key with its class filter on 2000/XP), and, unless the
// machine is fresh, the three drivers as setup and the first arrival of the
// screen leave them: service keys, the root device's and the screen's
// instance keys and driver keys. No settings key: the drivers' defaults
// stand, as in every script written before setup existed.
#pragma once

#include "platform/registry/store.h"
#include "platform/win32/system_info.h"

namespace machine {

void WriteSystemRegistry(platform::registry::Store& store, platform::win32::OsKind os);
void WriteInstalledPackage(platform::registry::Store& store, platform::win32::OsKind os);

} // namespace machine
