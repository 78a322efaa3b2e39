// Routines that only the NT family implements (98 exports them as stubs
// that fail), looked up at run time so that the program's imports are all
// real on every system. FALSE with ERROR_PROC_NOT_FOUND when missing.
#pragma once

#include "apps/common/win.h"

BOOL CallOpenProcessToken(HANDLE process, DWORD access, PHANDLE token);
BOOL CallLookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid);
BOOL CallAdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES state);
DWORD CallQueryDosDeviceA(LPCSTR device, LPSTR target, DWORD size);
