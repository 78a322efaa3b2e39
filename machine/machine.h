// One virtual computer: its operating system and screen, the kernel (clock,
// registry, Plug and Play and power managers), the Win32 side (system
// information, program runtime, scripted user), and a device tree of a root
// bus with "ROOT\TOUCHSCREEN\0000" and a USB hub with one port for the touch
// screen model.
//
// The machine exists from construction (the registry can be written before
// boot); Boot() loads the input stack and starts the root device; plugging
// the screen makes the Plug and Play manager load its driver. Which driver
// serves a device is the registry's choice, as Windows makes it
// (driver_binding.h); unless the machine is fresh, it starts with the
// package's drivers installed (installed_package.h). Shutdown()
// (or the destructor) takes every device down, unloads the drivers and runs
// the verifier's leak check.
//
// Every effect is a trace line "<ms> <source> <event> ..."; the machine's
// own lines:
//   machine boot os=xp screen=1024x768
//   device add instance=ROOT\TOUCHSCREEN\0000 service=pelmoxp filters=mouclass status=0x00000000
//   screen plug | screen unplug
//   device add instance=USB\VID_595A&PID_0001\1 service=korvex status=0x00000000
//   device nodriver instance=USB\VID_595A&PID_0001\1   (the registry and the INF directory name
//   none) device driver-missing instance=... service=korvex
//   file=C:\WINDOWS\system32\drivers\korvex.sys device create instance=ROOT\TOUCHSCREEN\0000
//   class=Mouse | device remove instance=...
//     (setup's root devices, from the setup library)
//   screen report status=0x81 x=100 y=200
//   screen tap x=512 y=384
//   screen geometry left=100 right=1700 top=150 bottom=1350
//   screen fault timeout count=2
//   power standby status=0x00000000 | power resume status=0x00000000
//   machine restart | machine shutdown
// and the ctl lines of control_client.h.
//
// Violations of the kernel's verifier are collected, not fatal; a caller
// checks Violations() after each step. All calls come from one host thread.
#pragma once

#include "machine/control_client.h"
#include "machine/devices/touchscreen_geometry.h"
#include "machine/driver_catalogue.h"
#include "machine/program_catalogue.h"
#include "platform/kernel/kernel.h"
#include "platform/win32/disk.h"
#include "platform/win32/program_manager.h"
#include "platform/win32/runtime.h"
#include "platform/win32/scripted_user.h"
#include "platform/win32/system_info.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace machine::devices {
class TouchScreenModel;
}

namespace machine {

class InputStack;
class RootBus;

struct MachineConfig {
    platform::win32::OsKind os = platform::win32::OsKind::WindowsXP;
    int screenWidth = 1024;
    int screenHeight = 768;
    // The USBDI version the USB stack reports; 0: the system's own
    // (98 0x200, 2000 0x300, xp 0x500). Tests force others.
    ULONG usbdiVersion = 0;
    // Nothing of the package installed: no driver is named in the registry
    // until setup has run and the machine restarted.
    bool fresh = false;
    // The host folder of C: stays after the machine is gone.
    bool keepDisk = false;
    // Powered on again from a kept state (machine_state.h): the first boot
    // logs on as a boot after a restart does, and a screen left on its port
    // arrives again.
    bool poweredOnBefore = false;
    bool screenOnPort = false;
    // A medium already in drive D: (host folder), as it was left.
    std::string mediaFolder{};
    // Where the screen's grid lies (SetGeometry changes it later).
    devices::TouchGeometry geometry{};
};

// The USBDI version a machine so configured reports.
ULONG UsbdiVersionOf(const MachineConfig& config);

// "98", "2000", "xp"
std::string OsName(platform::win32::OsKind os);

enum class ScreenFault {
    Timeout,          // the transfer held now and the next count-1 end with STATUS_IO_TIMEOUT
    DataError,        // ... with STATUS_DEVICE_DATA_ERROR
    ResetDataError,   // the next count port resets fail
    StallClass,       // the next count class requests are stalled
    PortDisabled,     // the screen's next arrival finds its port disabled
    PortDisconnected, // the screen's next arrival finds nothing connected on its port
};

class Machine {
public:
    static constexpr uint64_t kMillisecond = 10'000; // 100-ns units

    explicit Machine(MachineConfig config = {},
                     DriverCatalogue drivers = DriverCatalogue::Product(),
                     ProgramCatalogue programs = ProgramCatalogue::Product());
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    const MachineConfig& Config() const { return config_; }
    platform::kernel::Kernel& Kernel() { return *kernel_; }
    platform::win32::Runtime& Runtime() { return *runtime_; }
    platform::win32::ScriptedUser& User() { return user_; }
    ProgramCatalogue& Programs() { return programs_; }
    // C:\ (a host folder of its own) and, once a medium is in, D:\.
    platform::win32::Disk& Disk() { return *disk_; }
    // The shell's Program Manager (DDE "PROGMAN"); its groups outlive restarts.
    platform::win32::ProgramManager& Progman() { return *progman_; }
    ControlClient& Control() { return control_; }
    // The screen plugged in now, or the one the next plug brings: a screen
    // pulled out keeps nothing, so each arrival is a fresh model. Faults
    // given while unplugged apply to the next arrival.
    devices::TouchScreenModel& Screen() { return *screens_.back(); }

    // --- Trace: every line so far; the listener sees each as it is emitted.
    std::vector<std::string> TraceLines() const;
    void SetTraceListener(std::function<void(const std::string&)> listener);
    // Off: lines go to the listener only, so a long run does not grow.
    void KeepTrace(bool keep);

    // --- Verifier findings so far.
    std::vector<platform::kernel::Violation> Violations() const;

    bool Booted() const { return booted_; }
    void Boot(); // throws MachineError (os=98, a driver image missing)

    // --- The touch screen on the USB port.
    void PlugScreen();   // throws when plugged
    void UnplugScreen(); // surprise removal, then removal once no handle is open
    bool ScreenPlugged() const { return plugged_; }
    // The screen's device node while its driver holds it, for tests that
    // send Plug and Play requests of their own; nullptr before an arrival.
    platform::kernel::DeviceNode* ScreenNode() const { return screenNode_; }
    // One report now, run until its effects are done. Throws when unplugged.
    void SendReport(uint8_t status, uint16_t x, uint16_t y);
    // A whole touch: 0x81 at (x, y); hold reports of 0x82 one report interval
    // apart, moving in a straight line to (toX, toY); 0x84 an interval later.
    void Touch(uint16_t x, uint16_t y, unsigned hold, uint16_t toX, uint16_t toY);
    // A finger at a screen pixel, raw units from the geometry: reports one
    // interval apart, 0x81 at raw p, 0x82 at p + (1, 0), 0x82 at p + (0, 1),
    // 0x84 at p.
    void Tap(int pixelX, int pixelY);
    void SetGeometry(const devices::TouchGeometry& geometry);
    const devices::TouchGeometry& Geometry() const { return geometry_; }
    void Fault(ScreenFault fault, unsigned count);

    // --- Time and power.
    void Wait(uint64_t milliseconds);
    void Settle(); // runs programs and due events until idle, without moving the clock
    NTSTATUS Standby();
    NTSTATUS Resume();

    // --- The installation medium: a host folder as drive D:.
    void InsertMedia(const std::string& hostFolder);                // trace: media insert
    void EjectMedia();                                              // trace: media eject
    const std::string& MediaFolder() const { return mediaFolder_; } // empty: none

    // --- Programs and pictures.
    // By path ("C:\dir\tpanel.exe", anything with a backslash or a colon):
    // the program whose image file is there; throws when the file is
    // missing or no image. By bare name: the catalogue's program of that
    // name, its image path "C:\<name>.exe" unless its spec gives one.
    platform::win32::ProcessId StartProgram(const std::string& nameOrPath,
                                            const std::string& commandLine = "");
    bool SaveScreenPicture(const std::string& path);

    // Closes the control handle, ends the programs, removes the devices,
    // unloads the drivers and checks for leaks. Idempotent.
    void Shutdown();
    // As Windows restarts: the same teardown and leak check, then a boot
    // from what the disk and the registry hold now (registry, disk and clock
    // stay), a screen still plugged in arrives again, and the log-on starts
    // the commands of HKLM\...\CurrentVersion\Run. ExitWindowsEx with
    // EWX_REBOOT leads here once control is back on the host.
    void Restart();

private:
    void Trace(const std::string& text);
    void TearDown();
    void LogOn();
    // After a boot that follows a restart or a power-off: the screen still on
    // its port arrives again, then the log-on.
    void ArriveAndLogOn(bool screenIn);
    void TakeExitWindowsRequest();
    NTSTATUS SetPower(const char* name, SYSTEM_POWER_STATE state);
    void OnScreenArrival(PDEVICE_OBJECT pdo);
    void OnScreenRemoval();
    void RequirePlugged(const char* what) const;
    void RemoveIfStarted(platform::kernel::DeviceNode* node, const std::string& instance);
    void AttachRootDevice();
    // The function driver and filters of a choice, each with its image;
    // false (after a trace line) when an image is missing.
    bool ResolveDrivers(const std::string& instance, const struct DriverChoice& choice,
                        platform::kernel::Kernel::DriverService* function,
                        std::vector<platform::kernel::Kernel::DriverService>* filters);
    std::string WindowsDirectory() const;
    // The *.inf files of the Windows INF directory, by name.
    std::vector<std::string> InfDirectoryFiles() const;

    MachineConfig config_;
    DriverCatalogue drivers_;
    ProgramCatalogue programs_;

    mutable std::mutex traceMutex_;
    std::vector<std::string> trace_;
    std::function<void(const std::string&)> listener_;
    bool keepTrace_ = true;
    mutable std::mutex violationMutex_;
    std::vector<platform::kernel::Violation> violations_;

    std::unique_ptr<platform::kernel::Kernel> kernel_;
    std::unique_ptr<platform::win32::System> system_;
    std::unique_ptr<platform::win32::Disk> disk_;
    std::unique_ptr<platform::win32::ProgramManager> progman_;
    std::unique_ptr<platform::win32::Runtime> runtime_;
    platform::win32::ScriptedUser user_;
    ControlClient control_;

    std::unique_ptr<RootBus> rootBus_;
    std::unique_ptr<InputStack> input_;
    platform::kernel::DeviceNode* rootNode_ = nullptr;
    std::string rootInstance_;
    class SetupDevices;
    std::unique_ptr<SetupDevices> setupDevices_;
    struct Usb;
    std::unique_ptr<Usb> usb_;
    std::vector<std::unique_ptr<devices::TouchScreenModel>> screens_; // past ones stay for the hub
    platform::kernel::DeviceNode* screenNode_ = nullptr;
    bool plugged_ = false;
    devices::TouchGeometry geometry_;
    bool nextPortDisabled_ = false;
    bool nextPortDisconnected_ = false;
    bool booted_ = false;
    bool shutDown_ = false;
    bool restarting_ = false;
    std::string mediaFolder_;
};

} // namespace machine
