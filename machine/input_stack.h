// The pointer input path of the machine's operating system: which driver
// serves the root device "ROOT\TOUCHSCREEN\0000", which class driver sits
// above it, and how the class driver's pointer reaches the Win32 side.
//
// Windows 2000 and XP: pelmoxp with the mouse class as its upper filter.
// Windows 98: pelmo98 under the HID class. (The USBDI version the USB
// stack reports is the machine's: see UsbdiVersionOf.)
#pragma once

#include "machine/driver_catalogue.h"
#include "platform/win32/system_info.h"

#include <memory>
#include <string>

namespace machine {

class InputStack {
public:
    static constexpr const char* kRootInstance = "ROOT\\TOUCHSCREEN\\0000";

    // The stack of that system, with its class driver loaded into the
    // current kernel; throws MachineError when there is none yet.
    static std::unique_ptr<InputStack> For(platform::win32::OsKind os, int screenWidth,
                                           int screenHeight);

    // Unloads the class driver; the root device must be removed by then.
    virtual ~InputStack() = default;

    // Has the Plug and Play manager build and start the root device's stack.
    virtual NTSTATUS Attach(platform::kernel::Kernel& kernel, PDEVICE_OBJECT rootPdo,
                            const DriverCatalogue& drivers,
                            platform::kernel::DeviceNode** node) = 0;
    // "service=pelmoxp filters=mouclass", for the trace.
    virtual std::string Describe() const = 0;
};

} // namespace machine
