// "probe": a small dialog program for scripts that drive the scripted user.
// Check shows the "No USB Infrared screen found" error box; Save writes
// doneMode "2" (without a NUL, as the control panel writes its texts); OK
// and Cancel end it with their identifiers as exit code.
#pragma once

#include "platform/win32/runtime.h"

namespace touchsim_testing {

platform::win32::ProgramSpec ProbeProgram();

} // namespace touchsim_testing
