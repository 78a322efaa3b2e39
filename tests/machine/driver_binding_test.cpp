// The machine binds drivers from the registry: the installed package's
// keys make a touch move the pointer on every system; a fresh machine binds
// nothing; a service whose image the machine lacks does not load.
#include "machine/machine.h"

#include "platform/win32/input.h"
#include "platform/win32/windows.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using machine::Machine;
using machine::MachineConfig;
using platform::win32::OsKind;

// The events of the trace that begin with `source`, without their time.
std::vector<std::string> Lines(const Machine& m, const std::string& source) {
    std::vector<std::string> found;
    for (const std::string& line : m.TraceLines()) {
        std::string event = line.substr(line.find(' ') + 1);
        if (event.rfind(source, 0) == 0)
            found.push_back(event);
    }
    return found;
}

void SetText(const char* path, const char* name, const char* text) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS)
        << path;
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(strlen(text) + 1));
    RegCloseKey(key);
}

const std::string kRootXp = "device add instance=ROOT\\TOUCHSCREEN\\0000 service=pelmoxp "
                            "filters=mouclass status=0x00000000";
const std::string kRoot98 =
    "device add instance=ROOT\\TOUCHSCREEN\\0000 service=pelmo98 class=hidclass status=0x00000000";
const std::string kScreen =
    "device add instance=USB\\VID_595A&PID_0001\\1 service=korvex status=0x00000000";
const std::string kNoDriver = "device nodriver instance=USB\\VID_595A&PID_0001\\1";

struct BindingCase {
    const char* what;
    OsKind os;
    bool fresh;
    std::function<void()> change; // to the registry before the boot
    std::vector<std::string> devices;
    bool pointerMoves;
};

TEST(DriverBinding, TheRegistryDecidesWhatLoads) {
    const BindingCase cases[] = {
        {"xp installed", OsKind::WindowsXP, false, nullptr, {kRootXp, kScreen}, true},
        {"2000 installed", OsKind::Windows2000, false, nullptr, {kRootXp, kScreen}, true},
        {"98 installed", OsKind::Windows98, false, nullptr, {kRoot98, kScreen}, true},
        {"xp fresh", OsKind::WindowsXP, true, nullptr, {kNoDriver}, false},
        {"98 fresh", OsKind::Windows98, true, nullptr, {kNoDriver}, false},
        {"xp root device of a service without an image",
         OsKind::WindowsXP,
         false,
         [] {
             SetText("SYSTEM\\CurrentControlSet\\Enum\\ROOT\\TOUCHSCREEN\\0000", "Service",
                     "absent");
         },
         {"device driver-missing instance=ROOT\\TOUCHSCREEN\\0000 service=absent "
          "file=C:\\WINDOWS\\system32\\drivers\\absent.sys",
          kScreen},
         false},
        {"98 screen whose class key names another file",
         OsKind::Windows98,
         false,
         [] {
             SetText("System\\CurrentControlSet\\Services\\Class\\USB\\0000", "NTMPDriver",
                     "Other.sys");
         },
         {kRoot98, "device driver-missing instance=USB\\VID_595A&PID_0001\\1 service=other "
                   "file=C:\\WINDOWS\\SYSTEM32\\DRIVERS\\Other.sys"},
         false},
        {"xp root device moved to the next id",
         OsKind::WindowsXP,
         false,
         [] {
             HKEY key;
             RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                             "SYSTEM\\CurrentControlSet\\Enum\\ROOT\\TOUCHSCREEN\\0003", 0, nullptr,
                             0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
             RegCloseKey(key);
             SetText("SYSTEM\\CurrentControlSet\\Enum\\ROOT\\TOUCHSCREEN\\0003", "Service",
                     "pelmoxp");
             SetText("SYSTEM\\CurrentControlSet\\Enum\\ROOT\\TOUCHSCREEN\\0003", "ClassGUID",
                     "{4D36E96F-E325-11CE-BFC1-08002BE10318}");
             SetText("SYSTEM\\CurrentControlSet\\Enum\\ROOT\\TOUCHSCREEN\\0000", "Service", "");
         },
         {"device add instance=ROOT\\TOUCHSCREEN\\0003 service=pelmoxp filters=mouclass "
          "status=0x00000000",
          kScreen},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MachineConfig config{c.os, 1024, 768};
        config.fresh = c.fresh;
        Machine m(config);
        if (c.change)
            c.change();
        m.PlugScreen();
        POINT before = platform::win32::PointerPosition();
        m.Touch(100, 200, 1, 300, 400);
        POINT after = platform::win32::PointerPosition();
        m.Shutdown();
        EXPECT_EQ(Lines(m, "device "), c.devices);
        EXPECT_EQ(after.x != before.x || after.y != before.y, c.pointerMoves);
        EXPECT_TRUE(m.Violations().empty());
    }
}

} // namespace
