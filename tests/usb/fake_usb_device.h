// A scriptable device for the hub tests: fixed descriptors (two interfaces:
// 0 with interrupt IN 0x81, 1 with bulk 0x82 IN and 0x02 OUT), a recorded
// control channel and a queue of IN completions.
#pragma once

#include "platform/usb/usb_device_model.h"

#include <deque>
#include <mutex>

namespace usbtest {

class FakeUsbDevice : public platform::usb::UsbDeviceModel {
public:
    std::vector<uint8_t> device = {18,   1,    0x10, 1,    0, 0, 0, 8, 0x34,
                                   0x12, 0x78, 0x56, 0x01, 2, 0, 0, 0, 1};
    std::vector<uint8_t> configuration = {
        9, 2, 48,   0, 2,  2,    0,  0x80, 50, // configuration value 2, 48 bytes
        9, 4, 0,    0, 1,  3,    1,  2,    0,  // interface 0: class 3/1/2
        7, 5, 0x81, 3, 8,  0,    10,           // interrupt IN, 8 bytes, 10 ms
        9, 4, 1,    0, 2,  0xFF, 0,  0,    0,  // interface 1
        7, 5, 0x82, 2, 64, 0,    0,            // bulk IN
        7, 5, 0x02, 2, 64, 0,    0,            // bulk OUT
    };
    bool stall = false;
    std::vector<uint8_t> reply = {0x5A, 0xA5};
    std::vector<platform::usb::UsbSetupPacket> setups;
    std::vector<UCHAR> configurations;
    USBD_STATUS resetStatus = USBD_STATUS_SUCCESS;
    unsigned resets = 0;

    void Push(UCHAR endpoint, platform::usb::UsbInCompletion completion) {
        {
            std::lock_guard lock(lock_);
            in_.push_back({endpoint, std::move(completion)});
        }
        SignalInReady();
    }
    size_t Queued() {
        std::lock_guard lock(lock_);
        return in_.size();
    }

    std::optional<std::vector<uint8_t>> Descriptor(UCHAR type, UCHAR index, USHORT) override {
        if (index != 0)
            return std::nullopt;
        if (type == USB_DEVICE_DESCRIPTOR_TYPE)
            return device;
        if (type == USB_CONFIGURATION_DESCRIPTOR_TYPE)
            return configuration;
        return std::nullopt;
    }
    USBD_STATUS ControlRequest(const platform::usb::UsbSetupPacket& setup,
                               std::vector<uint8_t>& data) override {
        setups.push_back(setup);
        if (stall)
            return USBD_STATUS_STALL_PID;
        if (setup.bmRequestType & 0x80)
            data = reply;
        return USBD_STATUS_SUCCESS;
    }
    USBD_STATUS SetConfiguration(UCHAR value) override {
        configurations.push_back(value);
        return USBD_STATUS_SUCCESS;
    }
    USBD_STATUS PortReset() override {
        ++resets;
        return resetStatus;
    }
    std::optional<platform::usb::UsbInCompletion> TakeIn(UCHAR endpoint) override {
        std::lock_guard lock(lock_);
        for (auto it = in_.begin(); it != in_.end(); ++it) {
            if (it->first == endpoint) {
                auto completion = std::move(it->second);
                in_.erase(it);
                return completion;
            }
        }
        return std::nullopt;
    }

private:
    std::mutex lock_;
    std::deque<std::pair<UCHAR, platform::usb::UsbInCompletion>> in_;
};

} // namespace usbtest
