// The touch screen on a hub port, read by a tiny client as the touch driver
// reads it: the first interface's first pipe, one transfer at a time.
#include "machine/devices/touchscreen_model.h"
#include "tests/usb/usb_test_support.h"

#include <optional>

namespace {

using machine::devices::MakeTouchReport;
using machine::devices::TouchLayout;
using machine::devices::TouchScreenModel;
using machine::devices::TouchScreenOptions;
using machine::devices::TransferFault;
using usbtest::kMs;

class TouchOnHubTest : public usbtest::KernelTest {
protected:
    void Plug(TouchScreenOptions options = {}) {
        model_.emplace(options);
        hub_.emplace();
        PDEVICE_OBJECT pdo = hub_->Port().Plug(*model_);
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
    usbtest::AsyncRequest& Read() { return client_->Read(pipe_); }
    static std::vector<uint8_t> Bytes(const machine::devices::TouchReport& report) {
        return std::vector<uint8_t>(report.begin(), report.end());
    }

    std::optional<TouchScreenModel> model_;
    std::optional<platform::usb::UsbHub> hub_;
    std::optional<usbtest::UsbTestClient> client_;
    USBD_PIPE_HANDLE pipe_ = nullptr;
};

TEST_F(TouchOnHubTest, ATouchReachesHeldReadsOnTheClock) {
    Plug();
    ASSERT_EQ(SelectConfiguration(), STATUS_SUCCESS);
    auto& first = Read();
    model_->Press(500, 600);
    Advance(0);
    ASSERT_TRUE(first.done);
    EXPECT_EQ(first.Received(), Bytes(MakeTouchReport(0x81, 500, 600)));

    auto& second = Read();
    Advance(9 * kMs);
    EXPECT_FALSE(second.done);
    Advance(1 * kMs);
    ASSERT_TRUE(second.done);
    EXPECT_EQ(second.completionIrql, DISPATCH_LEVEL);
    EXPECT_EQ(second.Received(), Bytes(MakeTouchReport(0x82, 500, 600)));

    model_->Lift();
    auto& third = Read();
    Advance(0);
    ASSERT_TRUE(third.done);
    EXPECT_EQ(third.Received(), Bytes(MakeTouchReport(0x84, 500, 600)));
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
            EXPECT_EQ(next.urb.UrbHeader.Status, c.usbd);
        }
        model_->SendReport({});
        auto& good = Read();
        Advance(0);
        ASSERT_TRUE(good.done);
        EXPECT_EQ(good.finalStatus, STATUS_SUCCESS);
        Release();
    }
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

} // namespace
