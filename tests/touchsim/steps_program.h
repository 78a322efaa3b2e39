// "steps": runs setup's installation steps named on its command line, in
// order: mkdir (makes C:\Program Files\Touch), files, defaults, osflag, autostart,
// group (InstallPath C:\Program Files\Touch), restart.
#pragma once

#include "platform/win32/runtime.h"

namespace touchsim_testing {

platform::win32::ProgramSpec StepsProgram();

} // namespace touchsim_testing
