// Tokens, privileges and ExitWindowsEx per system.
//
// Sources: Microsoft's AdjustTokenPrivileges page (TRUE with
// ERROR_NOT_ALL_ASSIGNED when the token lacks a privilege), its ExitWindowsEx
// page (SE_SHUTDOWN_NAME must be enabled on NT, else
// ERROR_PRIVILEGE_NOT_HELD), the winnt.h value of SE_SHUTDOWN_PRIVILEGE (19),
// and the 9x advapi32 stubs that answer ERROR_CALL_NOT_IMPLEMENTED.
#include "tests/win32base/win32_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace win32_testing {
namespace {

using platform::win32::OsKind;

class Privileges : public Win32Test {
protected:
    struct Outcome {
        BOOL opened, looked, adjusted;
        DWORD openError, lookError, adjustError;
        DWORD luid;
        BOOL exited;
        DWORD exitError;
        bool requested;
    };

    // The restart as a careful program makes it.
    Outcome Restart(DWORD tokenAccess, const char* privilege) {
        Outcome o{};
        HANDLE token = nullptr;
        o.opened = OpenProcessToken(GetCurrentProcess(), tokenAccess, &token);
        o.openError = GetLastError();
        TOKEN_PRIVILEGES wanted{};
        o.looked = LookupPrivilegeValueA(nullptr, privilege, &wanted.Privileges[0].Luid);
        o.lookError = GetLastError();
        o.luid = wanted.Privileges[0].Luid.LowPart;
        wanted.PrivilegeCount = 1;
        wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        SetLastError(kPoison);
        o.adjusted = AdjustTokenPrivileges(token, FALSE, &wanted, 0, nullptr, nullptr);
        o.adjustError = GetLastError();
        if (o.opened)
            CloseHandle(token);
        o.exited = ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0);
        o.exitError = GetLastError();
        o.requested = system.TakeExitWindowsRequest().has_value();
        return o;
    }
};

TEST_F(Privileges, RestartPerSystemAndGrant) {
    struct Case {
        const char* what;
        OsKind os;
        bool denied;
        DWORD access;
        const char* privilege;
        Outcome expected;
    };
    const DWORD both = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;
    const Case cases[] = {
        {"xp, granted",
         OsKind::WindowsXP,
         false,
         both,
         SE_SHUTDOWN_NAME,
         {TRUE, TRUE, TRUE, 0, 0, 0, 19, TRUE, 0, true}},
        {"2000, granted",
         OsKind::Windows2000,
         false,
         both,
         SE_SHUTDOWN_NAME,
         {TRUE, TRUE, TRUE, 0, 0, 0, 19, TRUE, 0, true}},
        {"xp, denied",
         OsKind::WindowsXP,
         true,
         both,
         SE_SHUTDOWN_NAME,
         {TRUE, TRUE, TRUE, 0, 0, ERROR_NOT_ALL_ASSIGNED, 19, FALSE, ERROR_PRIVILEGE_NOT_HELD,
          false}},
        {"xp, token opened for query only",
         OsKind::WindowsXP,
         false,
         TOKEN_QUERY,
         SE_SHUTDOWN_NAME,
         {TRUE, TRUE, FALSE, 0, 0, ERROR_ACCESS_DENIED, 19, FALSE, ERROR_PRIVILEGE_NOT_HELD,
          false}},
        {"xp, unknown privilege",
         OsKind::WindowsXP,
         false,
         both,
         "SeNoSuchPrivilege",
         {TRUE, FALSE, TRUE, 0, ERROR_NO_SUCH_PRIVILEGE, ERROR_NOT_ALL_ASSIGNED, 0, FALSE,
          ERROR_PRIVILEGE_NOT_HELD, false}},
        {"98: no security, the restart needs none",
         OsKind::Windows98,
         false,
         both,
         SE_SHUTDOWN_NAME,
         {FALSE, FALSE, FALSE, ERROR_CALL_NOT_IMPLEMENTED, ERROR_CALL_NOT_IMPLEMENTED,
          ERROR_CALL_NOT_IMPLEMENTED, 0, TRUE, 0, true}},
    };
    for (const Case& c : cases) {
        system.SetOs(c.os);
        system.SetPrivilegeHeld(SE_SHUTDOWN_NAME, !c.denied);
        system.SetPrivilegeEnabled(0, SE_SHUTDOWN_NAME, false);
        Outcome o = Restart(c.access, c.privilege);
        const Outcome& e = c.expected;
        EXPECT_EQ(o.opened, e.opened) << c.what;
        EXPECT_EQ(o.looked, e.looked) << c.what;
        EXPECT_EQ(o.adjusted, e.adjusted) << c.what;
        EXPECT_EQ(o.exited, e.exited) << c.what;
        EXPECT_EQ(o.requested, e.requested) << c.what;
        EXPECT_EQ(o.luid, e.luid) << c.what;
        EXPECT_EQ(o.opened ? 0 : o.openError, e.openError) << c.what;
        EXPECT_EQ(o.looked ? 0 : o.lookError, e.lookError) << c.what;
        EXPECT_EQ(o.adjustError, e.adjustError) << c.what;
        EXPECT_EQ(o.exited ? 0 : o.exitError, e.exitError) << c.what;
    }
}

TEST_F(Privileges, PreviousStateNamesWhatChanged) {
    HANDLE token = nullptr;
    ASSERT_TRUE(
        OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES wanted{1, {{{19, 0}, SE_PRIVILEGE_ENABLED}}};
    TOKEN_PRIVILEGES previous{};
    DWORD length = 0;
    ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &wanted, sizeof previous, &previous, &length));
    EXPECT_EQ(previous.PrivilegeCount, 1u);
    EXPECT_EQ(previous.Privileges[0].Attributes, 0u);
    // Enabling it again changes nothing, so nothing is reported.
    ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &wanted, sizeof previous, &previous, &length));
    EXPECT_EQ(previous.PrivilegeCount, 0u);
    EXPECT_TRUE(system.PrivilegeEnabled(0, "seshutdownprivilege"));
    ASSERT_TRUE(AdjustTokenPrivileges(token, TRUE, nullptr, 0, nullptr, nullptr));
    EXPECT_FALSE(system.PrivilegeEnabled(0, SE_SHUTDOWN_NAME));
    CloseHandle(token);
}

// 98's advapi32 exports the token calls as failing stubs, so a lookup by
// name finds them on every system (GetProcAddress page: NULL and
// ERROR_PROC_NOT_FOUND for a name the module does not export).
TEST_F(Privileges, TokenRoutinesAreFoundByNameOnEverySystem) {
    for (OsKind os : {OsKind::Windows98, OsKind::WindowsXP}) {
        system.SetOs(os);
        HMODULE advapi = GetModuleHandleA("ADVAPI32.DLL");
        ASSERT_NE(advapi, nullptr);
        FARPROC found = GetProcAddress(advapi, "OpenProcessToken");
        ASSERT_NE(found, nullptr);
        BOOL(WINAPI * open)(HANDLE, DWORD, PHANDLE) = nullptr;
        std::memcpy(&open, &found, sizeof open);
        HANDLE token = nullptr;
        BOOL opened = open(GetCurrentProcess(), TOKEN_QUERY, &token);
        EXPECT_EQ(opened != FALSE, os != OsKind::Windows98);
        if (opened)
            CloseHandle(token);
        EXPECT_EQ(GetProcAddress(advapi, "OpenProcessTokenEx"), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
        EXPECT_NE(GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryDosDeviceA"), nullptr);
    }
}

} // namespace
} // namespace win32_testing
