#include "platform/usb/usbd_total_length.h"

#include "platform/kernel/kernel.h"

#include <string>

namespace platform::usb {

ULONG WalkedTotalLength(PUSB_CONFIGURATION_DESCRIPTOR configuration, const char* caller) {
    const ULONG total = configuration->wTotalLength;
    kernel::Kernel* kernel = kernel::Kernel::Active();
    const SIZE_T held = kernel ? kernel->PoolBytesFrom(configuration) : 0;
    if (held != 0 && total > held) {
        kernel->ReportViolation("usbd-descriptor-overrun",
                                std::string(caller) + ": wTotalLength " + std::to_string(total) +
                                    " runs past the " + std::to_string(held) +
                                    "-byte pool block holding the descriptor");
        return static_cast<ULONG>(held); // the stand-in itself stays inside
    }
    return total;
}

} // namespace platform::usb
