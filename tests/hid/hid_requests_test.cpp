// The HID class's requests and the Plug and Play requests pelmo98 answers
// itself: exact bytes, lengths and statuses.
#include "tests/hid/hid_harness.h"

namespace hid_testing {
namespace {

class HidRequestTest : public HidStackTest {
protected:
    platform::input::HidClassOptions ClassOptions() override {
        return {1024, 768, /*keepReading=*/false};
    }
    HidAnswer Send(ULONG code, ULONG out, ULONG in = 0, ULONG_PTR type3 = 0) {
        return SendHid(Device(), code, out, in, type3);
    }
};

TEST_F(HidRequestTest, HidDescriptorNeedsNineBytes) {
    ASSERT_EQ(PlugBridge(), STATUS_SUCCESS);
    HidAnswer small = Send(IOCTL_HID_GET_DEVICE_DESCRIPTOR, 8);
    EXPECT_EQ(small.status, STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(small.information, 0u);
    EXPECT_EQ(small.out, Bytes(8, 0xCC));

    HidAnswer exact = Send(IOCTL_HID_GET_DEVICE_DESCRIPTOR, 9);
    EXPECT_EQ(exact.status, STATUS_SUCCESS);
    EXPECT_EQ(exact.information, 9u);
    EXPECT_EQ(exact.out, (Bytes{0x09, 0x21, 0x01, 0x00, 0x00, 0x01, 0x22, 0x34, 0x00}));
}

Bytes ReportDescriptor(uint8_t high) {
    return {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
            0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
            0x95, 0x01, 0x75, 0x05, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x16,
            0x01, 0x00, 0x26, 0xFF, high, 0x75, 0x10, 0x95, 0x02, 0x81, 0x02, 0xC0, 0xC0};
}

TEST_F(HidRequestTest, ReportDescriptorFillsTheBufferWithZerosAfterIt) {
    ASSERT_EQ(PlugBridge(), STATUS_SUCCESS);
    HidAnswer answer = Send(IOCTL_HID_GET_REPORT_DESCRIPTOR, 64);
    EXPECT_EQ(answer.status, STATUS_SUCCESS);
    EXPECT_EQ(answer.information, 52u);
    Bytes expected = ReportDescriptor(0xFF);
    expected.resize(64, 0);
    EXPECT_EQ(answer.out, expected);

    HidAnswer small = Send(IOCTL_HID_GET_REPORT_DESCRIPTOR, 51);
    EXPECT_EQ(small.status, STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(small.out, Bytes(51, 0xCC));
}

// The USB stack's version when the device was added picks the variant.
class DescriptorVariantTest : public HidRequestTest,
                              public ::testing::WithParamInterface<std::pair<ULONG, uint8_t>> {};

TEST_P(DescriptorVariantTest, LogicalMaximumFollowsTheUsbdiVersion) {
    platform::usb::SetUsbdiVersion(GetParam().first);
    ASSERT_EQ(PlugBridge(), STATUS_SUCCESS);
    EXPECT_EQ(Bridge()->UsbdiVersion, GetParam().first);
    HidAnswer answer = Send(IOCTL_HID_GET_REPORT_DESCRIPTOR, 52);
    EXPECT_EQ(answer.out, ReportDescriptor(GetParam().second));
}

INSTANTIATE_TEST_SUITE_P(Versions, DescriptorVariantTest,
                         ::testing::Values(std::pair<ULONG, uint8_t>{0x200, 0xFF},
                                           std::pair<ULONG, uint8_t>{0x2FF, 0xFF},
                                           std::pair<ULONG, uint8_t>{0x300, 0x7F},
                                           std::pair<ULONG, uint8_t>{0x500, 0x7F}));

TEST_F(HidRequestTest, Attributes) {
    ASSERT_EQ(PlugBridge(), STATUS_SUCCESS);
    EXPECT_EQ(Send(IOCTL_HID_GET_DEVICE_ATTRIBUTES, 31).status, STATUS_BUFFER_TOO_SMALL);
    HidAnswer answer = Send(IOCTL_HID_GET_DEVICE_ATTRIBUTES, 40);
    EXPECT_EQ(answer.status, STATUS_SUCCESS);
    ASSERT_EQ(answer.information, 32u);
    Bytes expected{32, 0, 0, 0, 0x5A, 0x59, 0x01, 0x00, 0x00, 0x01};
    expected.resize(32, 0);
    expected.resize(40, 0xCC);
    EXPECT_EQ(answer.out, expected);
}

std::string Utf16(const Bytes& bytes, size_t from, size_t chars) {
    std::string text;
    for (size_t i = 0; i < chars; ++i)
        text += static_cast<char>(bytes[from + 2 * i] | bytes[from + 2 * i + 1] << 8);
    return text;
}

TEST_F(HidRequestTest, EveryStringRequestGetsTheWholeBlock) {
    ASSERT_EQ(PlugBridge(), STATUS_SUCCESS);
    HidAnswer maker =
        Send(IOCTL_HID_GET_STRING, 256, 256, HID_STRING_ID_IMANUFACTURER | 0x04090000);
    ASSERT_EQ(maker.status, STATUS_SUCCESS);
    ASSERT_EQ(maker.information, 74u);
    const Bytes& block = maker.out;
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 6), (Bytes{0x04, 0x03, 0x09, 0x00, 0x26, 0x03}));
    EXPECT_EQ(Utf16(block, 6, 18), "Quessa Corporation");
    EXPECT_EQ(block[42], 0x20);
    EXPECT_EQ(block[43], 0x03);
    EXPECT_EQ(Utf16(block, 44, 15), "Infrared Screen");
    EXPECT_EQ(block[74], 0xCC);
    for (ULONG id : {HID_STRING_ID_IPRODUCT, HID_STRING_ID_ISERIALNUMBER, 3}) {
        HidAnswer other = Send(IOCTL_HID_GET_STRING, 256, 256, id);
        EXPECT_EQ(other.out, maker.out) << id;
    }
}

TEST_F(HidRequestTest, StringLengthComesFromTheInputLengthCutToBlockAndBuffer) {
    ASSERT_EQ(PlugBridge(), STATUS_SUCCESS);
    HidAnswer zero = Send(IOCTL_HID_GET_STRING, 256, 0);
    EXPECT_EQ(zero.status, STATUS_INVALID_USER_BUFFER);
    EXPECT_EQ(zero.information, 0u);
    EXPECT_EQ(Send(IOCTL_HID_GET_STRING, 256, 6).information, 6u);
    EXPECT_EQ(Send(IOCTL_HID_GET_STRING, 10, 100).information, 10u);
    EXPECT_EQ(Send(IOCTL_HID_GET_STRING, 0, 100).status, STATUS_INVALID_USER_BUFFER);
    EXPECT_EQ(SendHid(Device(), IOCTL_HID_GET_STRING, 256, 256, 0, /*nullBuffer=*/true).status,
              STATUS_INVALID_USER_BUFFER);
}

TEST_F(HidRequestTest, RequestsWithoutDataAndUnknownOnes) {
    ASSERT_EQ(PlugBridge(), STATUS_SUCCESS);
    const std::pair<ULONG, NTSTATUS> cases[] = {
        {IOCTL_HID_WRITE_REPORT, STATUS_SUCCESS},
        {IOCTL_HID_ACTIVATE_DEVICE, STATUS_SUCCESS},
        {IOCTL_HID_DEACTIVATE_DEVICE, STATUS_SUCCESS},
        {IOCTL_HID_SET_FEATURE, STATUS_NOT_SUPPORTED},
        {IOCTL_HID_GET_FEATURE, STATUS_NOT_SUPPORTED},
        {IOCTL_GET_PHYSICAL_DESCRIPTOR, STATUS_NOT_SUPPORTED},
        {0xB0017, STATUS_INVALID_DEVICE_REQUEST},
        {0x222004, STATUS_INVALID_DEVICE_REQUEST},
    };
    for (auto [code, status] : cases) {
        HidAnswer answer = Send(code, 8, 8);
        EXPECT_EQ(answer.status, status) << std::hex << code;
        EXPECT_EQ(answer.information, 0u);
        EXPECT_EQ(answer.out, Bytes(8, 0xCC));
    }
}

TEST_F(HidRequestTest, TheClassReadsEverythingAtStart) {
    ASSERT_EQ(PlugBridge(), STATUS_SUCCESS);
    auto devices = hidClass->Devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].startStatus, STATUS_SUCCESS);
    EXPECT_EQ(devices[0].attributes.VendorID, 0x595A);
    EXPECT_EQ(devices[0].reportDescriptor, ReportDescriptor(0xFF));
    EXPECT_EQ(devices[0].product.size(), 74u);
    EXPECT_EQ(devices[0].reportLength, 5u);
    EXPECT_EQ(InputTrace(),
              (Lines{"hid device vendor=0x595A product=0x0001 version=0x0100 report=5"}));
}

// --- Plug and Play requests answered here.

TEST_F(HidRequestTest, QueryIdAnswersEveryTypeWithoutTheRootDevice) {
    ASSERT_EQ(PlugBridge(), STATUS_SUCCESS);
    const std::u16string expected(u"HID\\Vid_05E3&Pid_1205\0", 23);
    for (BUS_QUERY_ID_TYPE type :
         {BusQueryDeviceID, BusQueryHardwareIDs, BusQueryCompatibleIDs, BusQueryInstanceID}) {
        Answer answer = SendPnp(Device(), IRP_MN_QUERY_ID, 0, type);
        ASSERT_EQ(answer.status, STATUS_SUCCESS);
        auto* ids = reinterpret_cast<char16_t*>(answer.information);
        EXPECT_EQ(std::u16string(ids, 23), expected);
        // The answer, and the link's notification context.
        EXPECT_EQ(kernel.OutstandingPoolBlocks(BRIDGE_POOL_TAG), 2u);
        ExFreePoolWithTag(ids, BRIDGE_POOL_TAG);
    }
    EXPECT_EQ(SendPnp(Device(), IRP_MN_QUERY_ID, 0x1234).status, STATUS_UNSUCCESSFUL);
    kernel.SetAllocationFilter([](const platform::kernel::AllocationRequest& request) {
        return request.tag == BRIDGE_POOL_TAG;
    });
    EXPECT_EQ(SendPnp(Device(), IRP_MN_QUERY_ID).status, STATUS_INSUFFICIENT_RESOURCES);
    kernel.SetAllocationFilter(nullptr);
    EXPECT_EQ(root.Count("pnp 13"), 0u);
}

TEST_F(HidRequestTest, StateAndStopQueriesStayHere) {
    ASSERT_EQ(PlugBridge(), STATUS_SUCCESS);
    Answer state = SendPnp(Device(), IRP_MN_QUERY_PNP_DEVICE_STATE, 0x20);
    EXPECT_EQ(state.status, STATUS_SUCCESS);
    EXPECT_EQ(state.information, 0u);
    EXPECT_EQ(SendPnp(Device(), IRP_MN_QUERY_STOP_DEVICE).status, STATUS_SUCCESS);
    EXPECT_EQ(SendPnp(Device(), IRP_MN_CANCEL_STOP_DEVICE).status, STATUS_SUCCESS);
    EXPECT_EQ(root.Count("pnp 14"), 0u);
    EXPECT_EQ(root.Count("pnp 05"), 0u);
    EXPECT_EQ(root.Count("pnp 06"), 0u);
    // Others go down.
    SendPnp(Device(), IRP_MN_QUERY_CAPABILITIES);
    EXPECT_EQ(root.Count("pnp 09"), 1u);
}

TEST_F(HidRequestTest, AsynchronousRootDeviceAndPowerPassThrough) {
    root.later = true;
    ASSERT_EQ(PlugBridge(), STATUS_SUCCESS);
    EXPECT_EQ(kernel.StateOf(node), DeviceState::Started);
    EXPECT_EQ(kernel.SetDevicePower(node, PowerDeviceD3), STATUS_SUCCESS);
    EXPECT_EQ(kernel.SetDevicePower(node, PowerDeviceD0), STATUS_SUCCESS);
    EXPECT_EQ(root.Count("power 02"), 2u);
    EXPECT_EQ(kernel.StopDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(kernel.RestartDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(root.Count("pnp 00"), 2u);
}

} // namespace
} // namespace hid_testing
