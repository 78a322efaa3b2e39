// Restarting the computer, and showing the system's text of the last error.
#include "apps/setup/nt_routines.h"
#include "apps/setup/setup_files.h"

void RestartComputer(void) {
    if (ClassifyPlatform() == PLATFORM_9598) {
        ExitWindowsEx(EWX_REBOOT, 0);
        return;
    }
    HANDLE token;
    if (!CallOpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return;
    }
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    CallLookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    BOOL adjusted = CallAdjustTokenPrivileges(token, FALSE, &privileges);
    CloseHandle(token);
    if (adjusted) {
        ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0);
    }
}

void ShowLastError(void) {
    DWORD error = GetLastError();
    LPSTR text = NULL;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, NULL, error,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&text, 0, NULL);
    // A code without a system text shows an empty box rather than none.
    MessageBoxA(NULL, text != NULL ? text : "", "Error", MB_OK | MB_ICONINFORMATION);
    if (text != NULL) {
        LocalFree(text);
    }
}
