// Process tokens and privileges (OpenProcessToken, LookupPrivilegeValueA,
// AdjustTokenPrivileges) and ExitWindowsEx, which needs the shutdown
// privilege enabled on NT. 98 has no security: the token calls fail there
// with ERROR_CALL_NOT_IMPLEMENTED, and ExitWindowsEx needs nothing.
//
// ExitWindowsEx only records the request (System::RequestExitWindows); the
// machine carries it out once control is back on the host, as Windows
// starts the shutdown after the call has returned.
#include "platform/win32/handle_table.h"
#include "platform/win32/runtime.h"
#include "platform/win32/system_info.h"
#include "platform/win32/windows.h"

#include <strings.h>

using namespace platform::win32;
using namespace platform::win32::detail;

namespace {

struct Token : HandleObject {
    uint32_t processId = 0;
    DWORD access = 0;
};

// The documented values of the SE_*_PRIVILEGE constants (winnt.h).
const struct {
    const char* name;
    DWORD luid;
} kPrivileges[] = {
    {"SeSecurityPrivilege", 8},      {"SeTakeOwnershipPrivilege", 9},
    {"SeLoadDriverPrivilege", 10},   {"SeSystemtimePrivilege", 12},
    {"SeBackupPrivilege", 17},       {"SeRestorePrivilege", 18},
    {"SeShutdownPrivilege", 19},     {"SeDebugPrivilege", 20},
    {"SeChangeNotifyPrivilege", 23}, {"SeRemoteShutdownPrivilege", 24},
};

const char* PrivilegeName(const LUID& luid) {
    for (const auto& privilege : kPrivileges) {
        if (luid.HighPart == 0 && luid.LowPart == privilege.luid)
            return privilege.name;
    }
    return nullptr;
}

uint32_t CallerId() {
    const ProcessInfo* process = CurrentProcess();
    return process != nullptr ? process->id : 0;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

HANDLE WINAPI GetCurrentProcess(VOID) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
    if (!System::Current().IsNt())
        return Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (ProcessHandle != GetCurrentProcess())
        return Fail(ERROR_INVALID_HANDLE);
    if (TokenHandle == NULL)
        return Fail(ERROR_NOACCESS);
    auto token = std::make_shared<Token>();
    token->processId = CallerId();
    token->access = DesiredAccess;
    *TokenHandle = reinterpret_cast<HANDLE>(InsertHandle(std::move(token)));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid) {
    if (!System::Current().IsNt())
        return Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (lpSystemName != NULL && *lpSystemName != '\0')
        return Fail(ERROR_INVALID_PARAMETER); // only the local system exists here
    for (const auto& privilege : kPrivileges) {
        if (lpName != NULL && strcasecmp(lpName, privilege.name) == 0) {
            lpLuid->LowPart = privilege.luid;
            lpLuid->HighPart = 0;
            return TRUE;
        }
    }
    return Fail(ERROR_NO_SUCH_PRIVILEGE);
}

// As documented: success does not mean every privilege changed; the last
// error is ERROR_NOT_ALL_ASSIGNED when the token lacks one of them.
BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                  PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                  PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength) {
    if (!System::Current().IsNt())
        return Fail(ERROR_CALL_NOT_IMPLEMENTED);
    auto token = FindHandleAs<Token>(reinterpret_cast<uintptr_t>(TokenHandle));
    if (!token)
        return Fail(ERROR_INVALID_HANDLE);
    if (!(token->access & TOKEN_ADJUST_PRIVILEGES) ||
        (PreviousState != NULL && !(token->access & TOKEN_QUERY)))
        return Fail(ERROR_ACCESS_DENIED);
    System& system = System::Current();
    if (DisableAllPrivileges) {
        for (const auto& privilege : kPrivileges)
            system.SetPrivilegeEnabled(token->processId, privilege.name, false);
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    if (NewState == NULL)
        return Fail(ERROR_INVALID_PARAMETER);
    // The previous state holds an entry per privilege the call changes.
    DWORD previous = 0;
    bool allAssigned = true;
    for (DWORD i = 0; i < NewState->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& entry = NewState->Privileges[i];
        const char* name = PrivilegeName(entry.Luid);
        if (name == nullptr || !system.PrivilegeHeld(name)) {
            allAssigned = false;
            continue;
        }
        bool enable = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        bool was = system.PrivilegeEnabled(token->processId, name);
        if (was != enable && PreviousState != NULL) {
            DWORD needed =
                static_cast<DWORD>(sizeof(DWORD) + (previous + 1) * sizeof(LUID_AND_ATTRIBUTES));
            if (needed > BufferLength) {
                if (ReturnLength != NULL)
                    *ReturnLength = needed;
                return Fail(ERROR_INSUFFICIENT_BUFFER);
            }
            PreviousState->Privileges[previous].Luid = entry.Luid;
            PreviousState->Privileges[previous].Attributes = was ? SE_PRIVILEGE_ENABLED : 0;
            ++previous;
        }
        system.SetPrivilegeEnabled(token->processId, name, enable);
    }
    if (PreviousState != NULL) {
        PreviousState->PrivilegeCount = previous;
        if (ReturnLength != NULL)
            *ReturnLength =
                static_cast<DWORD>(sizeof(DWORD) + previous * sizeof(LUID_AND_ATTRIBUTES));
    }
    SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

// NT refuses a shutdown or restart unless the caller enabled the shutdown
// privilege (ERROR_PRIVILEGE_NOT_HELD, Microsoft's ExitWindowsEx page).
BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason) {
    UNREFERENCED_PARAMETER(dwReason);
    System& system = System::Current();
    const UINT action = uFlags & (EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF);
    if (action != 0 && system.IsNt() && !system.PrivilegeEnabled(CallerId(), "SeShutdownPrivilege"))
        return Fail(ERROR_PRIVILEGE_NOT_HELD);
    system.RequestExitWindows(uFlags);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
