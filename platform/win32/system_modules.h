// The system's own modules as programs reach them by name: a handle from
// GetModuleHandleA and, from GetProcAddress, the routines the programs
// look up at run time rather than import.
#pragma once

#include "platform/win32/win_types.h"

#include <string>

namespace platform::win32::detail {

// The handle of a loaded system module by its name without extension
// ("kernel32", "advapi32"), or nullptr.
HMODULE SystemModule(const std::string& name);

} // namespace platform::win32::detail
