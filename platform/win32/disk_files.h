// The disk side of the file calls, private to the Win32 stand-in: opening a
// file on the machine's disk (CreateFileA of a path that is no "\\.\name"),
// and whether a host file is held by an open handle or a running program.
#pragma once

#include "platform/win32/disk.h"
#include "platform/win32/win_base.h"

#include <filesystem>

namespace platform::win32::detail {

// The current disk's answer for path; NoPath without a disk.
Disk::Resolved ResolveOnDisk(LPCSTR path);

HANDLE OpenDiskFile(LPCSTR path, DWORD access, DWORD share, DWORD disposition);

// The Win32 error of a path that did not resolve to an entry.
DWORD LookupError(const Disk::Resolved& resolved);

// The image file of a running program.
bool ImageInUse(const std::filesystem::path& host);

} // namespace platform::win32::detail
