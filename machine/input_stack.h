// The pointer input path of the machine's operating system: the class
// driver that takes the root device's input and how its pointer reaches the
// Win32 side. Which driver serves the root device "ROOT\TOUCHSCREEN\NNNN"
// is the registry's choice (driver_binding.h).
//
// Windows 2000 and XP: the mouse class, as the upper filter the Mouse class
// key names. Windows 98: the HID class over the minidriver. (The USBDI
// version the USB stack reports is the machine's: see UsbdiVersionOf.)
#pragma once

#include "machine/driver_catalogue.h"
#include "platform/win32/system_info.h"

#include <memory>
#include <string>
#include <vector>

namespace machine {

class InputStack {
public:
    // The stack of that system, with its class driver loaded into the
    // current kernel; throws MachineError when there is none yet.
    static std::unique_ptr<InputStack> For(platform::win32::OsKind os, int screenWidth,
                                           int screenHeight);

    // Unloads the class driver; the root device must be removed by then.
    virtual ~InputStack() = default;

    // Has the Plug and Play manager build and start the root device's stack
    // of the chosen function driver and filters.
    virtual NTSTATUS Attach(platform::kernel::Kernel& kernel, PDEVICE_OBJECT rootPdo,
                            const std::string& instance,
                            const platform::kernel::Kernel::DriverService& function,
                            const std::vector<platform::kernel::Kernel::DriverService>& filters,
                            platform::kernel::DeviceNode** node) = 0;
    // "service=pelmoxp filters=mouclass", for the trace.
    virtual std::string Describe(const std::string& service,
                                 const std::vector<std::string>& filters) const = 0;
};

} // namespace machine
