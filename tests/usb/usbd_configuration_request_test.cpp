#include "platform/usb/usbd_version.h"
#include "usb_test_support.h"

namespace {

using usbtest::KernelTest;

// Interface 0: one endpoint; interface 1: none; interface 2: three.
std::vector<uint8_t> ThreeInterfaces() {
    std::vector<uint8_t> d = {
        9, 2, 0,    0, 3,  1,    0,  0x80, 50, //
        9, 4, 0,    0, 1,  3,    0,  0,    0,  //
        7, 5, 0x81, 3, 8,  0,    10,           //
        9, 4, 1,    0, 0,  0xFF, 0,  0,    0,  //
        9, 4, 2,    1, 3,  0xFF, 0,  0,    0,  //
        7, 5, 0x82, 2, 64, 0,    0,            //
        7, 5, 0x02, 2, 64, 0,    0,            //
        7, 5, 0x83, 3, 8,  0,    1,            //
    };
    d[2] = static_cast<uint8_t>(d.size());
    return d;
}

class ConfigurationRequest : public KernelTest {};

TEST_F(ConfigurationRequest, OneRecordPerListEntrySizedForItsPipes) {
    auto d = ThreeInterfaces();
    auto* config = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(d.data());
    USBD_INTERFACE_LIST_ENTRY list[4] = {};
    for (LONG i = 0; i < 3; ++i) {
        list[i].InterfaceDescriptor =
            USBD_ParseConfigurationDescriptorEx(config, config, i, -1, -1, -1, -1);
        list[i].Interface = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(0x1); // poisoned
    }
    PURB urb = USBD_CreateConfigurationRequestEx(config, list);
    ASSERT_NE(urb, nullptr);

    const size_t expected = GET_SELECT_CONFIGURATION_REQUEST_SIZE(3, 5);
    EXPECT_EQ(urb->UrbHeader.Length, expected);
    EXPECT_EQ(urb->UrbHeader.Function, URB_FUNCTION_SELECT_CONFIGURATION);
    EXPECT_EQ(urb->UrbSelectConfiguration.ConfigurationDescriptor, config);

    const ULONG pipes[] = {1, 0, 3};
    const UCHAR alternates[] = {0, 0, 1};
    auto* first = reinterpret_cast<uint8_t*>(&urb->UrbSelectConfiguration.Interface);
    uint8_t* record = first;
    for (int i = 0; i < 3; ++i) {
        auto* info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(record);
        EXPECT_EQ(list[i].Interface, info) << i;
        EXPECT_EQ(info->InterfaceNumber, i);
        EXPECT_EQ(info->AlternateSetting, alternates[i]);
        EXPECT_EQ(info->NumberOfPipes, pipes[i]);
        const ULONG room = pipes[i] > 1 ? pipes[i] : 1;
        EXPECT_EQ(info->Length,
                  sizeof(USBD_INTERFACE_INFORMATION) + (room - 1) * sizeof(USBD_PIPE_INFORMATION));
        for (ULONG p = 0; p < pipes[i]; ++p)
            EXPECT_EQ(info->Pipes[p].MaximumTransferSize, USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE);
        record += info->Length;
    }
    EXPECT_EQ(record, reinterpret_cast<uint8_t*>(urb) + urb->UrbHeader.Length);
    EXPECT_EQ(kernel.OutstandingPoolBlocks(), 1u);
    ExFreePool(urb);
    EXPECT_EQ(kernel.OutstandingPoolBlocks(), 0u);
}

TEST_F(ConfigurationRequest, NothingToSelectOrNoMemoryGivesNull) {
    auto d = ThreeInterfaces();
    auto* config = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(d.data());
    USBD_INTERFACE_LIST_ENTRY empty[1] = {};
    EXPECT_EQ(USBD_CreateConfigurationRequestEx(config, empty), nullptr);
    EXPECT_EQ(USBD_CreateConfigurationRequestEx(config, nullptr), nullptr);

    USBD_INTERFACE_LIST_ENTRY list[2] = {
        {USBD_ParseConfigurationDescriptorEx(config, config, 0, -1, -1, -1, -1), nullptr}, {}};
    kernel.SetAllocationFilter([](const platform::kernel::AllocationRequest& r) {
        return r.kind == platform::kernel::AllocationRequest::Kind::Pool;
    });
    EXPECT_EQ(USBD_CreateConfigurationRequestEx(config, list), nullptr);
    EXPECT_EQ(list[0].Interface, nullptr);
}

TEST(UsbdVersion, DefaultsToXpAndFollowsTheHost) {
    USBD_VERSION_INFORMATION info{0xdeadbeef, 0xdeadbeef};
    USBD_GetUSBDIVersion(&info);
    EXPECT_EQ(info.USBDI_Version, 0x500u);
    EXPECT_EQ(info.Supported_USB_Version, 0x200u);

    platform::usb::SetUsbdiVersion(platform::usb::kUsbdiVersion98, 0x110);
    USBD_GetUSBDIVersion(&info);
    EXPECT_LT(info.USBDI_Version, 0x300u);
    EXPECT_EQ(info.Supported_USB_Version, 0x110u);
    platform::usb::SetUsbdiVersion(platform::usb::kUsbdiVersionXp);
    USBD_GetUSBDIVersion(nullptr); // tolerated
}

} // namespace
