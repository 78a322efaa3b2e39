#include "apps/setup/nt_routines.h"

#include <string.h>

namespace {

typedef BOOL(WINAPI* OpenProcessTokenRoutine)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI* LookupPrivilegeValueRoutine)(LPCSTR, LPCSTR, PLUID);
typedef BOOL(WINAPI* AdjustTokenPrivilegesRoutine)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD,
                                                   PTOKEN_PRIVILEGES, PDWORD);
typedef DWORD(WINAPI* QueryDosDeviceRoutine)(LPCSTR, LPSTR, DWORD);

// The routine's address as its own type (copied: a cast between function
// types is what the compiler warns of).
template <class Routine> Routine Find(LPCSTR module, LPCSTR name) {
    Routine routine = NULL;
    HMODULE handle = GetModuleHandleA(module);
    FARPROC found = handle != NULL ? GetProcAddress(handle, name) : NULL;
    if (found == NULL) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return NULL;
    }
    memcpy(&routine, &found, sizeof routine);
    return routine;
}

} // namespace

BOOL CallOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    OpenProcessTokenRoutine routine =
        Find<OpenProcessTokenRoutine>("advapi32.dll", "OpenProcessToken");
    return routine != NULL && routine(process, access, token);
}

BOOL CallLookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
    LookupPrivilegeValueRoutine routine =
        Find<LookupPrivilegeValueRoutine>("advapi32.dll", "LookupPrivilegeValueA");
    return routine != NULL && routine(system, name, luid);
}

BOOL CallAdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES state) {
    AdjustTokenPrivilegesRoutine routine =
        Find<AdjustTokenPrivilegesRoutine>("advapi32.dll", "AdjustTokenPrivileges");
    return routine != NULL && routine(token, disableAll, state, 0, NULL, NULL);
}

DWORD CallQueryDosDeviceA(LPCSTR device, LPSTR target, DWORD size) {
    QueryDosDeviceRoutine routine = Find<QueryDosDeviceRoutine>("kernel32.dll", "QueryDosDeviceA");
    return routine != NULL ? routine(device, target, size) : 0;
}
