// Pool tag of the USB stand-in's own allocations (URBs the library builds,
// identifier strings the hub returns). Callers free them with ExFreePool.
#pragma once

#include "platform/kernel/ntddk.h"

namespace platform::usb {

inline constexpr ULONG kUsbdPoolTag = static_cast<ULONG>('U') | (static_cast<ULONG>('S') << 8) |
                                      (static_cast<ULONG>('B') << 16) |
                                      (static_cast<ULONG>('D') << 24);

} // namespace platform::usb
