// The machine as a whole: its system, the pointer the touch screen moves,
// the port that holds a pulled-out screen while a handle is open, pictures,
// and a shutdown that leaves the verifier nothing to find.
#include "machine/machine.h"

#include "drivers/touch/korvex.h"
#include "machine/driver_catalogue.h"

#include "machine/machine_error.h"
#include "platform/win32/input.h"
#include "platform/win32/windows.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using machine::Machine;
using machine::MachineConfig;
using platform::win32::OsKind;

std::string Rules(const Machine& m) {
    std::string rules;
    for (const auto& violation : m.Violations())
        rules += violation.rule + ": " + violation.detail + "\n";
    return rules;
}

TEST(MachineTest, ReportsItsSystem) {
    {
        Machine m(MachineConfig{OsKind::Windows2000, 800, 600});
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        ASSERT_TRUE(GetVersionExA(&info));
        EXPECT_EQ(info.dwMajorVersion, 5u);
        EXPECT_EQ(info.dwMinorVersion, 0u);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
        m.Boot();
        EXPECT_EQ(Rules(m), "");
    }
}

// On 98 the touch reaches the pointer through pelmo98 and the HID class.
TEST(MachineTest, NinetyEightReadsTheScreenThroughTheHidClass) {
    Machine m(MachineConfig{OsKind::Windows98, 1024, 768});
    m.PlugScreen();
    m.Touch(100, 200, 1, 300, 400);
    POINT pointer = platform::win32::PointerPosition();
    EXPECT_EQ(pointer.x, 187); // (12000 - 1) * 65535 / 65534 * 1024 / 65536
    EXPECT_EQ(pointer.y, 253);
    bool reports = false;
    for (const std::string& line : m.TraceLines())
        reports = reports || line.find(" hid report 00 e0 2e 60 54") != std::string::npos;
    EXPECT_TRUE(reports);
    m.Shutdown();
    EXPECT_EQ(Rules(m), "");
}

// A USB stack of a later system makes pelmo98 describe its axes as
// 0..0x7FFF, so the same touch lands further right and down.
TEST(MachineTest, AForcedUsbdiVersionChangesTheDescriptorTheHidClassReads) {
    POINT positions[2];
    for (ULONG version : {0u, 0x300u}) {
        Machine m(MachineConfig{OsKind::Windows98, 1024, 768, version});
        m.PlugScreen();
        m.Touch(100, 200, 0, 100, 200);
        positions[version == 0 ? 0 : 1] = platform::win32::PointerPosition();
        m.Shutdown();
        EXPECT_EQ(Rules(m), "");
        EXPECT_EQ(m.TraceLines().front().find("usbdi=0x300") != std::string::npos, version != 0);
    }
    EXPECT_EQ(positions[0].x, 62);
    EXPECT_GT(positions[1].x, positions[0].x);
    EXPECT_GT(positions[1].y, positions[0].y);
}

TEST(MachineTest, ATouchPlacesTheSystemPointer) {
    Machine m;
    m.PlugScreen();
    m.Touch(100, 200, 1, 300, 400); // uncalibrated: x40, x54
    POINT pointer = platform::win32::PointerPosition();
    EXPECT_EQ(pointer.x, 187); // 12000 * 1024 / 65536
    EXPECT_EQ(pointer.y, 253); // 21600 * 768 / 65536
    m.Shutdown();
    EXPECT_EQ(Rules(m), "");
}

// An image importing a routine the system lacks is refused where it lacks
// it (IoAllocateWorkItem's page: "not available in Windows 98"), traced with
// the routine; the screen stays without a driver.
TEST(MachineTest, ADriverImportingWhatTheSystemLacksDoesNotLoad) {
    const struct {
        OsKind os;
        bool refused;
    } cases[] = {
        {OsKind::Windows98, true}, {OsKind::Windows2000, false}, {OsKind::WindowsXP, false}};
    for (const auto& c : cases) {
        machine::DriverCatalogue drivers = machine::DriverCatalogue::Product();
        drivers.Add("korvex", TouchDriverEntry, {"IoAllocateWorkItem", "IoQueueWorkItem"});
        Machine m(MachineConfig{c.os, 1024, 768}, drivers);
        m.PlugScreen();
        std::string trace;
        for (const std::string& line : m.TraceLines())
            trace += line.substr(line.find(' ') + 1) + "\n";
        EXPECT_EQ(trace.find("driver refused service=korvex routine=IoAllocateWorkItem\n") !=
                      std::string::npos,
                  c.refused);
        EXPECT_EQ(trace.find("service=korvex status=0xC0000263") != std::string::npos, c.refused);
        EXPECT_EQ(m.Kernel().FindDevice("\\Device\\vududo") == nullptr, c.refused);
        m.Shutdown();
        EXPECT_EQ(Rules(m), "");
    }
}

// The product's own korvex imports nothing 98 lacks.
TEST(MachineTest, TheShippedDriversLoadOnEverySystem) {
    for (OsKind os : {OsKind::Windows98, OsKind::Windows2000, OsKind::WindowsXP}) {
        Machine m(MachineConfig{os, 1024, 768});
        m.PlugScreen();
        EXPECT_NE(m.Kernel().FindDevice("\\Device\\vududo"), nullptr);
        for (const std::string& line : m.TraceLines())
            EXPECT_EQ(line.find("driver refused"), std::string::npos) << line;
        m.Shutdown();
        EXPECT_EQ(Rules(m), "");
    }
}

TEST(MachineTest, ShutdownTakesEverythingDownWithNothingLeft) {
    Machine m;
    m.PlugScreen();
    ASSERT_EQ(m.Control().Open(), STATUS_SUCCESS);
    m.Touch(500, 500, 2, 600, 600);
    ASSERT_EQ(m.Standby(), STATUS_SUCCESS);
    m.Fault(machine::ScreenFault::Timeout, 2);
    m.Shutdown();
    EXPECT_EQ(Rules(m), "");
    EXPECT_EQ(m.Kernel().OutstandingIrps(), 0u);
    EXPECT_EQ(m.Kernel().OutstandingPoolBlocks(), 0u);
    EXPECT_EQ(m.Kernel().FindDevice("\\Device\\vududo"), nullptr);
}

TEST(MachineTest, SavesAPictureOfTheScreen) {
    const auto path = std::filesystem::temp_directory_path() / "machine_test_screen.svg";
    {
        Machine m(MachineConfig{OsKind::WindowsXP, 640, 480});
        ASSERT_TRUE(m.SaveScreenPicture(path.string()));
    }
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("<svg"), std::string::npos);
    EXPECT_NE(text.str().find("640"), std::string::npos);
    std::filesystem::remove(path);
}

} // namespace
