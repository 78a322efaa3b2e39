// The touch screen model on its own: descriptors, control answers and the
// report stream of a touch on the virtual clock.
#include "machine/devices/touchscreen_model.h"
#include "tests/usb/usb_test_support.h"

namespace {

using machine::devices::MakeTouchReport;
using machine::devices::TouchLayout;
using machine::devices::TouchReport;
using machine::devices::TouchScreenModel;
using machine::devices::TouchScreenOptions;
using usbtest::kMs;

std::vector<TouchReport> Drain(TouchScreenModel& model) {
    std::vector<TouchReport> reports;
    while (auto completion = model.TakeIn(0x81)) {
        EXPECT_EQ(completion->status, USBD_STATUS_SUCCESS);
        TouchReport report{};
        EXPECT_EQ(completion->data.size(), report.size());
        std::copy_n(completion->data.begin(), report.size(), report.begin());
        reports.push_back(report);
    }
    return reports;
}

class TouchModelTest : public usbtest::KernelTest {
protected:
    explicit TouchModelTest(TouchScreenOptions options = {}) : model_(options) {
        model_.SetConfiguration(1);
    }
    TouchScreenModel model_;
};

TEST(TouchDescriptors, DescribeOneInterruptEndpoint) {
    auto device = machine::devices::TouchDeviceDescriptor();
    ASSERT_EQ(device.size(), sizeof(USB_DEVICE_DESCRIPTOR));
    auto* d = reinterpret_cast<PUSB_DEVICE_DESCRIPTOR>(device.data());
    EXPECT_EQ(d->idVendor, 0x595A);
    EXPECT_EQ(d->idProduct, 0x0001);
    EXPECT_EQ(d->bNumConfigurations, 1);

    auto bytes = machine::devices::TouchConfigurationDescriptor(TouchLayout::Normal, 10);
    auto* config = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(bytes.data());
    EXPECT_EQ(config->wTotalLength, bytes.size());
    EXPECT_EQ(config->bNumInterfaces, 1);
    auto* interface = USBD_ParseConfigurationDescriptorEx(config, config, -1, -1, -1, -1, -1);
    ASSERT_NE(interface, nullptr);
    EXPECT_EQ(interface->bNumEndpoints, 1);
    auto* endpoint = reinterpret_cast<PUSB_ENDPOINT_DESCRIPTOR>(USBD_ParseDescriptors(
        config, config->wTotalLength, interface, USB_ENDPOINT_DESCRIPTOR_TYPE));
    ASSERT_NE(endpoint, nullptr);
    EXPECT_EQ(endpoint->bEndpointAddress, 0x81);
    EXPECT_EQ(endpoint->bmAttributes & USB_ENDPOINT_TYPE_MASK, USB_ENDPOINT_TYPE_INTERRUPT);
    EXPECT_EQ(endpoint->wMaxPacketSize, 8);
    EXPECT_EQ(endpoint->bInterval, 10);
}

TEST_F(TouchModelTest, ATouchLandsStaysMovesAndLifts) {
    model_.Press(1000, 2000);
    EXPECT_EQ(Drain(model_), std::vector<TouchReport>({MakeTouchReport(0x81, 1000, 2000)}));
    Advance(9 * kMs);
    EXPECT_TRUE(Drain(model_).empty());
    Advance(1 * kMs);
    EXPECT_EQ(Drain(model_), std::vector<TouchReport>({MakeTouchReport(0x82, 1000, 2000)}));

    model_.MoveTo(1400, 1600, 40 * kMs); // 10 units per ms on each axis
    Advance(40 * kMs);
    EXPECT_EQ(Drain(model_), std::vector<TouchReport>({
                                 MakeTouchReport(0x82, 1100, 1900),
                                 MakeTouchReport(0x82, 1200, 1800),
                                 MakeTouchReport(0x82, 1300, 1700),
                                 MakeTouchReport(0x82, 1400, 1600),
                             }));
    Advance(10 * kMs);
    EXPECT_EQ(Drain(model_), std::vector<TouchReport>({MakeTouchReport(0x82, 1400, 1600)}));

    Advance(5 * kMs);
    model_.Lift();
    EXPECT_EQ(Drain(model_), std::vector<TouchReport>({MakeTouchReport(0x84, 1400, 1600)}));
    Advance(100 * kMs);
    EXPECT_TRUE(Drain(model_).empty());
    EXPECT_FALSE(model_.Touching());
}

TEST_F(TouchModelTest, ReportBytesFollowTheWireLayout) {
    EXPECT_EQ(MakeTouchReport(0x84, 0x1234, 0xABCD),
              TouchReport({0, 0x84, 0x34, 0x12, 0xCD, 0xAB, 0, 0}));
    model_.SendReport({1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(Drain(model_), std::vector<TouchReport>({{1, 2, 3, 4, 5, 6, 7, 8}}));
}

TEST_F(TouchModelTest, TapLiftsAfterTheHoldTime) {
    model_.Tap(300, 400, 25 * kMs);
    Advance(30 * kMs);
    EXPECT_EQ(Drain(model_), std::vector<TouchReport>({
                                 MakeTouchReport(0x81, 300, 400),
                                 MakeTouchReport(0x82, 300, 400),
                                 MakeTouchReport(0x82, 300, 400),
                                 MakeTouchReport(0x84, 300, 400),
                             }));
    // A new press before an old tap's lift time is not lifted by it.
    model_.Tap(1, 1, 10 * kMs);
    model_.Press(2, 2);
    Advance(15 * kMs);
    EXPECT_TRUE(model_.Touching());
}

class SmallFifoTest : public TouchModelTest {
protected:
    SmallFifoTest() : TouchModelTest({10, TouchLayout::Normal, 3}) {}
};

TEST_F(SmallFifoTest, AFullFifoDropsTheOldestReport) {
    model_.Press(10, 10);
    Advance(30 * kMs); // three holds: four reports for three places
    model_.Lift();
    EXPECT_EQ(model_.DroppedReports(), 2u);
    EXPECT_EQ(Drain(model_), std::vector<TouchReport>({
                                 MakeTouchReport(0x82, 10, 10),
                                 MakeTouchReport(0x82, 10, 10),
                                 MakeTouchReport(0x84, 10, 10),
                             }));
}

TEST_F(TouchModelTest, AnswersClassRequestTwoWithOneByteUnlessStalled) {
    platform::usb::UsbSetupPacket getIdle{0xA1, 2, 0, 0, 1};
    std::vector<uint8_t> data(1, 0xCC);
    EXPECT_EQ(model_.ControlRequest(getIdle, data), USBD_STATUS_SUCCESS);
    EXPECT_EQ(data.size(), 1u);

    platform::usb::UsbSetupPacket other{0xA1, 1, 0, 0, 8};
    EXPECT_EQ(model_.ControlRequest(other, data), USBD_STATUS_STALL_PID);
    model_.StallClassRequests(true);
    EXPECT_EQ(model_.ControlRequest(getIdle, data), USBD_STATUS_STALL_PID);
    EXPECT_EQ(model_.ClassRequests(), 1u);
}

TEST_F(TouchModelTest, TransferFaultsComeBeforeQueuedReports) {
    model_.SendReport({});
    model_.FailTransfers(machine::devices::TransferFault::Timeout, 2);
    EXPECT_EQ(model_.TakeIn(0x81)->status, USBD_STATUS_TIMEOUT);
    EXPECT_EQ(model_.TakeIn(0x81)->status, USBD_STATUS_TIMEOUT);
    model_.FailTransfers(machine::devices::TransferFault::DataError, 1);
    EXPECT_EQ(model_.TakeIn(0x81)->status, USBD_STATUS_CRC);
    EXPECT_EQ(model_.TakeIn(0x81)->status, USBD_STATUS_SUCCESS);
    EXPECT_FALSE(model_.TakeIn(0x81).has_value());
}

TEST_F(TouchModelTest, ResetFailsAsOftenAsAskedThenClearsTheDevice) {
    model_.SendReport({});
    model_.FailResets(2);
    EXPECT_EQ(model_.PortReset(), USBD_STATUS_CRC);
    EXPECT_EQ(model_.PortReset(), USBD_STATUS_CRC);
    EXPECT_EQ(model_.QueuedReports(), 1u);
    EXPECT_EQ(model_.PortReset(), USBD_STATUS_SUCCESS);
    EXPECT_EQ(model_.QueuedReports(), 0u);
    EXPECT_EQ(model_.Configuration(), 0);
    EXPECT_EQ(model_.Resets(), 3u);
}

} // namespace
