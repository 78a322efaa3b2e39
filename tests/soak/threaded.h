// The soak with real threads: while the main thread sends reports and
// faults to the screen, other host threads poll and command the control
// device and hold point reads at the touch driver, as the input drivers do.
// For ThreadSanitizer; the same invariants as the walk at the end.
#pragma once

#include "platform/win32/system_info.h"

#include <cstdint>

namespace soak {

// 0 when nothing was found; prints its counts either way.
int RunThreaded(platform::win32::OsKind os, uint64_t events, uint64_t seed);

} // namespace soak
