// A configuration descriptor's wTotalLength as USBD walks it. Windows trusts
// it; a driver that hands over a buffer shorter than it claims makes USBD
// read past the buffer, which the verifier reports when the buffer is pool.
#pragma once

#include "platform/usb/usbdi.h"

namespace platform::usb {

ULONG WalkedTotalLength(PUSB_CONFIGURATION_DESCRIPTOR configuration, const char* caller);

} // namespace platform::usb
