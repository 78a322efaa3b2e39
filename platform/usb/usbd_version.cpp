#include "platform/usb/usbd_version.h"

#include <atomic>

namespace {

std::atomic<ULONG> usbdiVersion{platform::usb::kUsbdiVersionXp};
std::atomic<ULONG> supportedUsbVersion{0x200};

} // namespace

namespace platform::usb {

void SetUsbdiVersion(ULONG usbdi, ULONG supportedUsb) {
    usbdiVersion = usbdi;
    supportedUsbVersion = supportedUsb;
}

} // namespace platform::usb

VOID USBD_GetUSBDIVersion(PUSBD_VERSION_INFORMATION VersionInformation) {
    if (VersionInformation == NULL)
        return;
    VersionInformation->USBDI_Version = usbdiVersion;
    VersionInformation->Supported_USB_Version = supportedUsbVersion;
}
