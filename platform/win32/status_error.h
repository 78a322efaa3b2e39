// The Win32 error that Windows reports for a kernel status, as kernel32
// sets it after a failed native call. Private to the Win32 stand-in.
#pragma once

#include "platform/win32/win_types.h"

namespace platform::win32::detail {

// Statuses without a Win32 equivalent give ERROR_MR_MID_NOT_FOUND.
DWORD ErrorFromStatus(LONG status);

// SetLastError(ErrorFromStatus(status)).
void SetLastErrorFromStatus(LONG status);

} // namespace platform::win32::detail
