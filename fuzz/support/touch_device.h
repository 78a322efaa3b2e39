// The touch driver loaded into a fresh kernel with its one device added, for
// the harnesses that feed the driver's parsers directly. The kernel's default
// verifier handler aborts, so every finding ends the run as a crash.
#pragma once

#include "drivers/touch/korvex.h"
#include "platform/kernel/kernel.h"

#include <string>

namespace fuzzing {

inline const std::string kGlobalSettingsKey = "\\REGISTRY\\Machine\\Software\\Touch\\UsbConfig";
inline const std::string kServicesKey = "\\REGISTRY\\MACHINE\\SYSTEM\\ControlSet001\\Services\\";
inline const std::string kTouchService = "korvex";

class TouchDevice {
public:
    TouchDevice();
    // Removes the device and unloads the drivers, then runs the leak check.
    ~TouchDevice();
    TouchDevice(const TouchDevice&) = delete;
    TouchDevice& operator=(const TouchDevice&) = delete;

    platform::kernel::Kernel& Kernel() { return kernel_; }
    PTOUCH_DEVICE_EXTENSION Extension() const { return ext_; }
    std::string BackupKey() const { return kServicesKey + kTouchService + "\\USBConfig"; }

    // One report as the reader's completion delivers it: at dispatch level.
    void Decode(const UCHAR* report);
    // Takes the oldest point under the touch lock; false when there is none.
    bool Pop(TOUCH_POINT* point);

private:
    platform::kernel::Kernel kernel_;
    PDRIVER_OBJECT driver_ = nullptr;
    PDRIVER_OBJECT bus_ = nullptr;
    PDEVICE_OBJECT pdo_ = nullptr;
    PTOUCH_DEVICE_EXTENSION ext_ = nullptr;
};

} // namespace fuzzing
