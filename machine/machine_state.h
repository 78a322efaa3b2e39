// A machine kept between runs in a host folder a person can read:
//   machine.txt   the system, screen size, forced USBDI version, clock, the
//                 screen's geometry, whether the screen is on its port, the
//                 medium in drive D:
//   registry.reg  the registry (registry_text.h)
//   disk/         drive C:, file for file
//   groups.txt    the Program Manager's groups (progman_text.h)
// Saved after the machine shut down; loaded into a new machine before its
// boot, which then comes up as after a restart (log-on included).
#pragma once

#include "machine/machine.h"

#include <filesystem>

namespace machine {

bool HasMachineState(const std::filesystem::path& dir);
// The configuration of the kept machine; throws MachineError when unreadable.
MachineConfig KeptConfig(const std::filesystem::path& dir);
// Into a machine made with KeptConfig, before its boot: registry, disk,
// groups, clock. Throws MachineError when a file is unreadable.
void LoadMachineState(Machine& machine, const std::filesystem::path& dir);
// Replaces what dir held with the machine as it is now (after Shutdown).
void SaveMachineState(Machine& machine, const std::filesystem::path& dir);

} // namespace machine
