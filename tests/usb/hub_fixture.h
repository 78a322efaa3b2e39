// A hub with the fake device on port 0 and a test client on its PDO.
#pragma once

#include "fake_usb_device.h"
#include "usb_test_support.h"

#include <optional>

namespace usbtest {

class HubTest : public KernelTest {
protected:
    HubTest() { hub_.emplace(); }
    void Release() override {
        client_.reset();
        hub_.reset();
    }
    platform::usb::UsbPort& Port() { return hub_->Port(0); }

    void Plug(platform::usb::UsbPortOptions options = {}) {
        PDEVICE_OBJECT pdo = Port().Plug(device_, options);
        ASSERT_NE(pdo, nullptr);
        client_.emplace(pdo);
    }

    // A select-configuration URB for both interfaces of config_ (free with
    // ExFreePool); list_ points at its records.
    PURB BuildSelection() {
        auto* config = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(config_.data());
        list_[0] = {USBD_ParseConfigurationDescriptorEx(config, config, 0, 0, -1, -1, -1), nullptr};
        list_[1] = {USBD_ParseConfigurationDescriptorEx(config, config, 1, 0, -1, -1, -1), nullptr};
        list_[2] = {nullptr, nullptr};
        PURB urb = USBD_CreateConfigurationRequestEx(config, list_);
        EXPECT_NE(urb, nullptr);
        return urb;
    }

    // Selects both interfaces of the fake's configuration. Pipes: [0] the
    // interrupt IN pipe, [1] bulk IN, [2] bulk OUT.
    void Configure() {
        config_ = device_.configuration;
        PURB urb = BuildSelection();
        ASSERT_NE(urb, nullptr);
        ASSERT_EQ(client_->Submit(urb), STATUS_SUCCESS);
        PUSBD_PIPE_INFORMATION first = list_[0].Interface->Pipes;
        PUSBD_PIPE_INFORMATION second = list_[1].Interface->Pipes;
        pipes_ = {first[0].PipeHandle, second[0].PipeHandle, second[1].PipeHandle};
        ExFreePool(urb);
    }

    FakeUsbDevice device_;
    std::optional<platform::usb::UsbHub> hub_;
    std::optional<UsbTestClient> client_;
    std::vector<uint8_t> config_;
    USBD_INTERFACE_LIST_ENTRY list_[3] = {};
    std::vector<USBD_PIPE_HANDLE> pipes_;
};

} // namespace usbtest
