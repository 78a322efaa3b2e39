// The device side of a USB port: what a hardware model answers when the hub
// talks to it. Knows descriptors, control requests and IN endpoint data; knows
// nothing of IRPs or of any product.
//
// Threading: the hub calls these members from whichever thread sends it a
// request or runs the clock's events; a model guards its own state. The hub
// never holds a lock of the model's when it calls in, and the model must not
// call SignalInReady while holding a lock that one of these members takes.
#pragma once

#include "platform/usb/usbdi.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace platform::usb {

// The 8-byte setup packet of a control transfer.
struct UsbSetupPacket {
    UCHAR bmRequestType; // bit 7: device to host; bits 5-6: type; bits 0-4: recipient
    UCHAR bRequest;
    USHORT wValue;
    USHORT wIndex;
    USHORT wLength;
};

// What ends one transfer on an IN endpoint: data with USBD_STATUS_SUCCESS, or
// an error status (timeout, CRC ...) with no data.
struct UsbInCompletion {
    USBD_STATUS status = USBD_STATUS_SUCCESS;
    std::vector<uint8_t> data;
};

class UsbDeviceModel {
public:
    virtual ~UsbDeviceModel() = default;

    // GET_DESCRIPTOR: the whole descriptor (a configuration descriptor with
    // everything wTotalLength covers); the hub cuts it to the length asked.
    // nullopt: the device stalls the request.
    virtual std::optional<std::vector<uint8_t>> Descriptor(UCHAR type, UCHAR index,
                                                           USHORT languageId) = 0;

    // A class or vendor request on the default pipe. For a device-to-host
    // request, data arrives sized wLength and the model leaves in it what it
    // sends (at most wLength bytes); otherwise data holds what the host sent.
    // USBD_STATUS_STALL_PID (or another error) fails the request.
    virtual USBD_STATUS ControlRequest(const UsbSetupPacket& setup, std::vector<uint8_t>& data) = 0;

    // SET_CONFIGURATION with the descriptor's bConfigurationValue; 0 unconfigures.
    virtual USBD_STATUS SetConfiguration(UCHAR value) {
        (void)value;
        return USBD_STATUS_SUCCESS;
    }

    // A bus reset of the device (port reset). An error status makes the
    // reset fail with that status.
    virtual USBD_STATUS PortReset() { return USBD_STATUS_SUCCESS; }

    // Ends the oldest transfer on an IN endpoint if the device has something
    // for it (data or an error); nullopt while it has nothing (the hub keeps
    // the transfer and asks again after SignalInReady).
    virtual std::optional<UsbInCompletion> TakeIn(UCHAR endpointAddress) = 0;

    // The hub's side of the signal; set by the port while the device is on it.
    void SetInReadyHandler(std::function<void()> handler);

protected:
    // Tells the port that TakeIn may now have something.
    void SignalInReady();

private:
    std::mutex handlerLock_;
    std::function<void()> inReady_;
};

} // namespace platform::usb
