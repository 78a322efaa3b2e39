// Host control of what USBD_GetUSBDIVersion reports. Windows XP's USB stack
// reports USBDI 0x500; Windows 98 reports a version below 0x300.
#pragma once

#include "platform/usb/usbdi.h"

namespace platform::usb {

inline constexpr ULONG kUsbdiVersionXp = 0x500;
inline constexpr ULONG kUsbdiVersion2000 = 0x300;
inline constexpr ULONG kUsbdiVersion98 = 0x200;

// Process-wide, as the library is on Windows. Safe from any thread.
void SetUsbdiVersion(ULONG usbdiVersion, ULONG supportedUsbVersion = 0x200);

} // namespace platform::usb
