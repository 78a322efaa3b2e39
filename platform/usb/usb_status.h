// How the hub turns a URB's USBD status into the request's final status.
//
//   success                                   STATUS_SUCCESS
//   USBD_STATUS_CANCELED                      STATUS_CANCELLED
//   USBD_STATUS_DEVICE_GONE                   STATUS_DEVICE_NOT_CONNECTED
//   USBD_STATUS_TIMEOUT                       STATUS_IO_TIMEOUT
//   CRC, not responding, buffer overrun       STATUS_DEVICE_DATA_ERROR
//   invalid URB function, parameter, pipe     STATUS_INVALID_PARAMETER
//   USBD_STATUS_INSUFFICIENT_RESOURCES        STATUS_INSUFFICIENT_RESOURCES
//   USBD_STATUS_NOT_SUPPORTED                 STATUS_NOT_SUPPORTED
//   anything else (a stall, a bad descriptor) STATUS_UNSUCCESSFUL
#pragma once

#include "platform/usb/usbdi.h"

namespace platform::usb {

NTSTATUS NtStatusFromUsbd(USBD_STATUS status);

} // namespace platform::usb
