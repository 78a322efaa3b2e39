// The touch driver loaded into a bare kernel with its one device added, set
// up as after a calibration: tables loaded, Drag mode, the stability window
// on. Nothing is plugged, so reports reach the decoding core only when the
// caller hands them in.
#pragma once

#include "drivers/touch/korvex.h"
#include "platform/kernel/kernel.h"

#include <cstdint>

namespace bench {

class TouchCore {
public:
    static constexpr uint64_t kReportInterval = 100'000; // 10 ms in 100-ns units

    TouchCore();
    ~TouchCore();
    TouchCore(const TouchCore&) = delete;
    TouchCore& operator=(const TouchCore&) = delete;

    PTOUCH_DEVICE_EXTENSION Device() { return extension_; }
    platform::kernel::Kernel& Kernel() { return kernel_; }

    // One 8-byte report as the reader's completion hands it over, then the
    // points it queued taken as an input driver takes them. Returns how many.
    int Decode(const UCHAR* report);

private:
    platform::kernel::Kernel kernel_;
    PDRIVER_OBJECT driver_ = nullptr;
    PDRIVER_OBJECT bus_ = nullptr;
    PDEVICE_OBJECT pdo_ = nullptr;
    PTOUCH_DEVICE_EXTENSION extension_ = nullptr;
};

// Raw unit i of either axis maps as a calibration over 4000 raw units maps
// the whole screen.
USHORT CalibratedEntry(int raw);

} // namespace bench
