// The touch screen on a hub port, driven by a tiny client that starts it as
// the touch driver does: port check, configuration, class request, one read.
#include "machine/devices/touchscreen_model.h"
#include "tests/usb/usb_test_support.h"

#include <optional>

namespace {

using machine::devices::MakeTouchReport;
using machine::devices::TouchLayout;
using machine::devices::TouchScreenModel;
using machine::devices::TouchScreenOptions;
using machine::devices::TransferFault;
using platform::usb::UsbPortOptions;
using usbtest::kMs;

class TouchOnHubTest : public usbtest::KernelTest {
protected:
    void Plug(TouchScreenOptions options = {}, UsbPortOptions port = {}) {
        model_.emplace(options);
        hub_.emplace();
        PDEVICE_OBJECT pdo = hub_->Port().Plug(*model_, port);
        ASSERT_NE(pdo, nullptr);
        client_.emplace(pdo);
    }
    void Release() override {
        client_.reset();
        hub_.reset();
        model_.reset();
    }

    NTSTATUS SelectConfiguration(ULONG* pipes = nullptr) {
        std::vector<uint8_t> config(64);
        URB urb = usbtest::DescriptorUrb(USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, config.data(),
                                         static_cast<ULONG>(config.size()));
        EXPECT_EQ(client_->Submit(&urb), STATUS_SUCCESS);
        config.resize(urb.UrbControlDescriptorRequest.TransferBufferLength);
        PURB select = usbtest::SelectFirstInterface(config);
        if (select == nullptr)
            return STATUS_NO_SUCH_DEVICE;
        const NTSTATUS status = client_->Submit(select);
        auto* info = &select->UrbSelectConfiguration.Interface;
        if (pipes != nullptr)
            *pipes = info->NumberOfPipes;
        if (NT_SUCCESS(status) && info->NumberOfPipes > 0)
            pipe_ = info->Pipes[0].PipeHandle;
        ExFreePool(select);
        return status;
    }
    usbtest::AsyncRequest& Read() {
        reads_.push_back(std::make_unique<ReadBuffers>());
        ReadBuffers& r = *reads_.back();
        r.urb = usbtest::InterruptUrb(pipe_, r.report, sizeof r.report);
        return client_->SendUrb(&r.urb);
    }
    std::vector<uint8_t> ReportOf(size_t i) {
        const auto& r = *reads_[i];
        return std::vector<uint8_t>(
            r.report, r.report + r.urb.UrbBulkOrInterruptTransfer.TransferBufferLength);
    }
    static std::vector<uint8_t> Bytes(const machine::devices::TouchReport& report) {
        return std::vector<uint8_t>(report.begin(), report.end());
    }

    struct ReadBuffers {
        URB urb;
        uint8_t report[8];
    };
    std::optional<TouchScreenModel> model_;
    std::optional<platform::usb::UsbHub> hub_;
    std::optional<usbtest::UsbTestClient> client_;
    USBD_PIPE_HANDLE pipe_ = nullptr;
    std::vector<std::unique_ptr<ReadBuffers>> reads_;
};

TEST_F(TouchOnHubTest, StartsAsTheTouchDriverStartsIt) {
    Plug();
    ULONG bits = 0;
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_GET_PORT_STATUS, &bits), STATUS_SUCCESS);
    EXPECT_EQ(bits, USBD_PORT_CONNECTED | USBD_PORT_ENABLED);
    ULONG pipes = 0;
    EXPECT_EQ(SelectConfiguration(&pipes), STATUS_SUCCESS);
    EXPECT_EQ(pipes, 1u);
    EXPECT_EQ(model_->Configuration(), 1);
    uint8_t idle = 0xCC;
    URB request = usbtest::ClassInterfaceUrb(2, &idle, 1);
    EXPECT_EQ(client_->Submit(&request), STATUS_SUCCESS);
    EXPECT_EQ(request.UrbControlVendorClassRequest.TransferBufferLength, 1u);
}

TEST_F(TouchOnHubTest, ATouchReachesHeldReadsOnTheClock) {
    Plug();
    ASSERT_EQ(SelectConfiguration(), STATUS_SUCCESS);
    auto& first = Read();
    model_->Press(500, 600);
    Advance(0);
    ASSERT_TRUE(first.done);
    EXPECT_EQ(ReportOf(0), Bytes(MakeTouchReport(0x81, 500, 600)));

    auto& second = Read();
    Advance(9 * kMs);
    EXPECT_FALSE(second.done);
    Advance(1 * kMs);
    ASSERT_TRUE(second.done);
    EXPECT_EQ(second.completionIrql, DISPATCH_LEVEL);
    EXPECT_EQ(ReportOf(1), Bytes(MakeTouchReport(0x82, 500, 600)));

    model_->Lift();
    auto& third = Read();
    Advance(0);
    ASSERT_TRUE(third.done);
    EXPECT_EQ(ReportOf(2), Bytes(MakeTouchReport(0x84, 500, 600)));
}

TEST_F(TouchOnHubTest, TransferFaultsEndTheHeldReadAndTheNextOnes) {
    struct Case {
        TransferFault fault;
        NTSTATUS status;
        USBD_STATUS usbd;
    };
    const Case cases[] = {
        {TransferFault::Timeout, STATUS_IO_TIMEOUT, USBD_STATUS_TIMEOUT},
        {TransferFault::DataError, STATUS_DEVICE_DATA_ERROR, USBD_STATUS_CRC},
    };
    for (const Case& c : cases) {
        Plug();
        ASSERT_EQ(SelectConfiguration(), STATUS_SUCCESS);
        auto& held = Read();
        model_->FailTransfers(c.fault, 3);
        Advance(0);
        ASSERT_TRUE(held.done);
        EXPECT_EQ(held.finalStatus, c.status);
        for (int i = 0; i < 2; ++i) {
            auto& next = Read();
            Advance(0);
            ASSERT_TRUE(next.done);
            EXPECT_EQ(next.finalStatus, c.status);
            EXPECT_EQ(reads_.back()->urb.UrbHeader.Status, c.usbd);
        }
        model_->SendReport({});
        auto& good = Read();
        Advance(0);
        ASSERT_TRUE(good.done);
        EXPECT_EQ(good.finalStatus, STATUS_SUCCESS);
        Release();
        reads_.clear();
    }
}

TEST_F(TouchOnHubTest, ResetFaultsFailThePortResetWithADataError) {
    Plug();
    model_->FailResets(2);
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_RESET_PORT, nullptr), STATUS_DEVICE_DATA_ERROR);
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_RESET_PORT, nullptr), STATUS_DEVICE_DATA_ERROR);
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_RESET_PORT, nullptr), STATUS_SUCCESS);
}

TEST_F(TouchOnHubTest, StalledClassRequestFails) {
    Plug();
    ASSERT_EQ(SelectConfiguration(), STATUS_SUCCESS);
    model_->StallClassRequests(true);
    uint8_t idle;
    URB request = usbtest::ClassInterfaceUrb(2, &idle, 1);
    EXPECT_EQ(client_->Submit(&request), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(request.UrbHeader.Status, USBD_STATUS_STALL_PID);
}

TEST_F(TouchOnHubTest, BrokenConfigurationsShowNoInterfaceOrNoPipe) {
    Plug({10, TouchLayout::NoInterface});
    EXPECT_EQ(SelectConfiguration(), STATUS_NO_SUCH_DEVICE);
    Release();
    Plug({10, TouchLayout::NoPipe});
    ULONG pipes = 99;
    EXPECT_EQ(SelectConfiguration(&pipes), STATUS_SUCCESS);
    EXPECT_EQ(pipes, 0u);
}

TEST_F(TouchOnHubTest, PortFaultsAtStart) {
    Plug({}, {true, false});
    ULONG bits = 0;
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_GET_PORT_STATUS, &bits), STATUS_SUCCESS);
    EXPECT_EQ(bits, USBD_PORT_CONNECTED);
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_ENABLE_PORT, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_RESET_PORT, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_GET_PORT_STATUS, &bits), STATUS_SUCCESS);
    EXPECT_EQ(bits, USBD_PORT_CONNECTED | USBD_PORT_ENABLED);
    Release();

    Plug({}, {false, false});
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_GET_PORT_STATUS, &bits), STATUS_SUCCESS);
    EXPECT_EQ(bits, 0u);
}

TEST_F(TouchOnHubTest, PulledOutDuringATouch) {
    Plug();
    ASSERT_EQ(SelectConfiguration(), STATUS_SUCCESS);
    model_->Press(1, 2);
    auto& first = Read();
    Advance(0);
    ASSERT_TRUE(first.done);
    auto& held = Read();
    hub_->Port().PullOut();
    ASSERT_TRUE(held.done);
    EXPECT_EQ(held.finalStatus, STATUS_DEVICE_NOT_CONNECTED);
    Advance(50 * kMs); // the finger's timed reports go nowhere
    auto& later = Read();
    EXPECT_EQ(later.callStatus, STATUS_DEVICE_NOT_CONNECTED);
}

} // namespace
