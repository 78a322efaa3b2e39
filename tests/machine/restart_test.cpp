// A program that restarts Windows restarts the machine: programs end, the
// drivers go with nothing left behind, the machine boots again from its
// registry and disk, the screen still plugged in works again, and the Run
// commands start at log-on. Without the shutdown privilege nothing happens.
#include "machine/machine.h"

#include "platform/win32/input.h"
#include "platform/win32/windows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using machine::Machine;
using machine::MachineConfig;
using platform::win32::OsKind;
using platform::win32::ProgramSpec;

// As a program asks for the restart on each system.
int WINAPI RebooterEntry(HINSTANCE, HINSTANCE, LPSTR, int) {
    HANDLE token;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        TOKEN_PRIVILEGES wanted{};
        LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &wanted.Privileges[0].Luid);
        wanted.PrivilegeCount = 1;
        wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        AdjustTokenPrivileges(token, FALSE, &wanted, 0, NULL, NULL);
        CloseHandle(token);
    }
    if (!ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0))
        return static_cast<int>(GetLastError());
    Sleep(INFINITE); // ended by the restart
    return 0;
}

int WINAPI IdleEntry(HINSTANCE, HINSTANCE, LPSTR, int) {
    Sleep(INFINITE);
    return 0;
}

machine::ProgramCatalogue Catalogue() {
    machine::ProgramCatalogue programs;
    ProgramSpec spec;
    spec.name = "rebooter";
    spec.entry = RebooterEntry;
    programs.Add(spec);
    spec.name = "idle";
    spec.entry = IdleEntry;
    programs.Add(spec);
    return programs;
}

// The trace from the first line that ends with tail, times cut off.
std::vector<std::string> EventsFrom(const Machine& m, const std::string& first) {
    std::vector<std::string> events;
    for (const std::string& line : m.TraceLines()) {
        std::string event = line.substr(line.find(' ') + 1);
        if (!events.empty() || event == first)
            events.push_back(event);
    }
    return events;
}

TEST(RestartTest, ExitWindowsRestartsTheMachine) {
    struct Case {
        OsKind os;
        bool denied;
        std::vector<std::string> expected; // the trace from "machine restart" on
    };
    const Case cases[] = {
        {OsKind::WindowsXP,
         false,
         {
             "machine restart",
             "program exit name=idle code=0",
             "program exit name=rebooter code=0",
             "machine boot os=xp screen=1024x768",
             "device add instance=ROOT\\TOUCHSCREEN\\0000 service=pelmoxp filters=mouclass "
             "status=0x00000000",
             "device add instance=USB\\VID_595A&PID_0001\\1 service=korvex status=0x00000000",
             "program start name=idle cmdline=\"-autostart\"",
         }},
        {OsKind::Windows98, true, {}}, // 98 needs no privilege: denied or not, it restarts
        {OsKind::WindowsXP, true, {}},
    };
    for (const Case& c : cases) {
        Machine m(MachineConfig{c.os}, machine::DriverCatalogue::Product(), Catalogue());
        m.Kernel().Registry().Create(
            "\\REGISTRY\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
        m.Disk().PutImage("C:\\Program Files\\Touch\\idle.exe", "idle");
        m.Disk().PutImage("C:\\setup\\rebooter.exe", "rebooter");
        const char* command = "\"C:\\Program Files\\Touch\\idle.exe\" -autostart";
        HKEY run;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                                "SoftWare\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                                KEY_ALL_ACCESS, &run),
                  ERROR_SUCCESS);
        RegSetValueExA(run, "TouchCtl", 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                       static_cast<DWORD>(std::strlen(command)));
        RegCloseKey(run);
        if (c.denied)
            platform::win32::System::Current().SetPrivilegeHeld(SE_SHUTDOWN_NAME, false);
        m.PlugScreen();
        m.StartProgram("idle");
        platform::win32::ProcessId rebooter = m.StartProgram("C:\\setup\\rebooter.exe");
        std::vector<std::string> events = EventsFrom(m, "machine restart");
        bool restarts = !(c.denied && c.os != OsKind::Windows98);
        if (!restarts) {
            EXPECT_TRUE(events.empty());
            EXPECT_EQ(m.Runtime().ExitCode(rebooter), DWORD(ERROR_PRIVILEGE_NOT_HELD));
            continue;
        }
        if (!c.expected.empty()) {
            EXPECT_EQ(events, c.expected);
        }
        EXPECT_FALSE(events.empty());
        for (const auto& violation : m.Violations())
            ADD_FAILURE() << violation.rule << ": " << violation.detail;
        // The screen works through the drivers loaded at the new boot.
        m.Touch(100, 200, 0, 100, 200);
        POINT pointer = platform::win32::PointerPosition();
        EXPECT_NE(pointer.x, 512) << "os " << machine::OsName(c.os);
    }
}

} // namespace
