// Programs started from their image files on the machine's disk (host
// side of WinExec): the image names a program, the runtime's program lookup
// (the machine's catalogue) gives its entry.
#pragma once

#include "platform/win32/runtime.h"

#include <string>

namespace platform::win32 {

// Starts the program whose image is at path (a Windows path on the current
// disk) with those arguments. ERROR_SUCCESS and *id; ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND when there is no such file; ERROR_BAD_FORMAT when the
// file is no image of a known program.
DWORD StartProgramImage(const std::string& path, const std::string& arguments, int show,
                        ProcessId* id);

} // namespace platform::win32
