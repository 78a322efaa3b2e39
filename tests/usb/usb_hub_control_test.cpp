// Control URBs: descriptors, select configuration, class and vendor requests.
#include "hub_fixture.h"

namespace {

using usbtest::HubTest;

TEST_F(HubTest, ConfigurationDescriptorCopiesWhatWasAskedAndExists) {
    Plug();
    const ULONG total = static_cast<ULONG>(device_.configuration.size());
    for (ULONG asked : {0u, 9u, total, total + 30}) {
        std::vector<uint8_t> buffer(total + 40, 0xCC);
        URB urb =
            usbtest::DescriptorUrb(USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, buffer.data(), asked);
        EXPECT_EQ(client_->Submit(&urb), STATUS_SUCCESS) << asked;
        const ULONG copied = std::min(asked, total);
        EXPECT_EQ(urb.UrbControlDescriptorRequest.TransferBufferLength, copied) << asked;
        EXPECT_TRUE(
            std::equal(buffer.begin(), buffer.begin() + copied, device_.configuration.begin()));
        EXPECT_EQ(buffer[copied], 0xCC) << "wrote past what was asked: " << asked;
    }
}

TEST_F(HubTest, MissingDescriptorStalls) {
    Plug();
    uint8_t buffer[64];
    URB urb = usbtest::DescriptorUrb(USB_STRING_DESCRIPTOR_TYPE, 1, buffer, sizeof buffer);
    EXPECT_EQ(client_->Submit(&urb), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(urb.UrbHeader.Status, USBD_STATUS_STALL_PID);
    EXPECT_EQ(urb.UrbControlDescriptorRequest.TransferBufferLength, 0u);
}

TEST_F(HubTest, SelectConfigurationFillsEveryRecord) {
    Plug();
    config_ = device_.configuration;
    PURB urb = BuildSelection();
    ASSERT_NE(urb, nullptr);
    ASSERT_EQ(client_->Submit(urb), STATUS_SUCCESS);
    EXPECT_EQ(urb->UrbHeader.Status, USBD_STATUS_SUCCESS);
    EXPECT_NE(urb->UrbSelectConfiguration.ConfigurationHandle, nullptr);
    EXPECT_EQ(device_.configurations, std::vector<UCHAR>{2});
    EXPECT_EQ(Port().Configuration(), 2);

    PUSBD_INTERFACE_INFORMATION first = list_[0].Interface;
    PUSBD_INTERFACE_INFORMATION second = list_[1].Interface;
    EXPECT_NE(first->InterfaceHandle, nullptr);
    EXPECT_NE(second->InterfaceHandle, first->InterfaceHandle);
    EXPECT_EQ(first->Class, 3);
    EXPECT_EQ(first->SubClass, 1);
    EXPECT_EQ(first->Protocol, 2);
    EXPECT_EQ(second->Class, 0xFF);
    ASSERT_EQ(first->NumberOfPipes, 1u);
    ASSERT_EQ(second->NumberOfPipes, 2u);

    struct Expected {
        PUSBD_PIPE_INFORMATION pipe;
        UCHAR address;
        USBD_PIPE_TYPE type;
        USHORT maxPacket;
        UCHAR interval;
    };
    PUSBD_PIPE_INFORMATION secondPipes = second->Pipes;
    const Expected expected[] = {
        {&first->Pipes[0], 0x81, UsbdPipeTypeInterrupt, 8, 10},
        {&secondPipes[0], 0x82, UsbdPipeTypeBulk, 64, 0},
        {&secondPipes[1], 0x02, UsbdPipeTypeBulk, 64, 0},
    };
    std::vector<USBD_PIPE_HANDLE> handles;
    for (const Expected& e : expected) {
        EXPECT_EQ(e.pipe->EndpointAddress, e.address);
        EXPECT_EQ(e.pipe->PipeType, e.type);
        EXPECT_EQ(e.pipe->MaximumPacketSize, e.maxPacket);
        EXPECT_EQ(e.pipe->Interval, e.interval);
        EXPECT_NE(e.pipe->PipeHandle, nullptr);
        handles.push_back(e.pipe->PipeHandle);
    }
    EXPECT_NE(handles[0], handles[1]);
    EXPECT_NE(handles[1], handles[2]);
    ExFreePool(urb);
}

TEST_F(HubTest, SelectConfigurationRejectsWhatARealHubRejects) {
    struct Case {
        const char* what;
        void (*edit)(std::vector<uint8_t>& config);
        LONG recordInterface; // interface number written into the second record
        USBD_STATUS urbStatus;
        NTSTATUS status;
    };
    const Case cases[] = {
        {"no interfaces", [](std::vector<uint8_t>& c) { c[4] = 0; }, 1,
         USBD_STATUS_INAVLID_CONFIGURATION_DESCRIPTOR, STATUS_UNSUCCESSFUL},
        {"a record for an interface the descriptor lacks", [](std::vector<uint8_t>&) {}, 5,
         USBD_STATUS_INTERFACE_NOT_FOUND, STATUS_UNSUCCESSFUL},
        {"more interfaces announced than records", [](std::vector<uint8_t>& c) { c[4] = 3; }, 1,
         USBD_STATUS_INVALID_PARAMETER, STATUS_INVALID_PARAMETER},
        {"endpoints announced but missing", [](std::vector<uint8_t>& c) { c[13] = 2; }, 1,
         USBD_STATUS_INAVLID_CONFIGURATION_DESCRIPTOR, STATUS_UNSUCCESSFUL},
    };
    Plug();
    for (const Case& c : cases) {
        config_ = device_.configuration;
        c.edit(config_);
        PURB urb = BuildSelection();
        ASSERT_NE(urb, nullptr);
        list_[1].Interface->InterfaceNumber = static_cast<UCHAR>(c.recordInterface);
        EXPECT_EQ(client_->Submit(urb), c.status) << c.what;
        EXPECT_EQ(urb->UrbHeader.Status, c.urbStatus) << c.what;
        EXPECT_EQ(Port().Configuration(), 0) << c.what;
        ExFreePool(urb);
    }
    EXPECT_TRUE(device_.configurations.empty());
}

TEST_F(HubTest, NullDescriptorUnconfiguresAndRetiresPipes) {
    Plug();
    Configure();
    URB urb{};
    UsbBuildSelectConfigurationRequest(&urb, sizeof(struct _URB_SELECT_CONFIGURATION), nullptr);
    EXPECT_EQ(client_->Submit(&urb), STATUS_SUCCESS);
    EXPECT_EQ(device_.configurations.back(), 0);
    EXPECT_EQ(Port().Configuration(), 0);

    uint8_t report[8];
    URB read = usbtest::InterruptUrb(pipes_[0], report, sizeof report);
    EXPECT_EQ(client_->Submit(&read), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(read.UrbHeader.Status, USBD_STATUS_INVALID_PIPE_HANDLE);
}

TEST_F(HubTest, ClassRequestReachesTheDeviceAndReturnsItsData) {
    Plug();
    uint8_t idle = 0xCC;
    URB urb = usbtest::ClassInterfaceUrb(2, &idle, 1);
    EXPECT_EQ(client_->Submit(&urb), STATUS_SUCCESS);
    EXPECT_EQ(urb.UrbHeader.Status, USBD_STATUS_SUCCESS);
    EXPECT_EQ(idle, 0x5A); // the device sent two bytes; one was asked
    EXPECT_EQ(urb.UrbControlVendorClassRequest.TransferBufferLength, 1u);
    ASSERT_EQ(device_.setups.size(), 1u);
    const auto& setup = device_.setups[0];
    EXPECT_EQ(setup.bmRequestType, 0xA1);
    EXPECT_EQ(setup.bRequest, 2);
    EXPECT_EQ(setup.wValue, 0);
    EXPECT_EQ(setup.wIndex, 0);
    EXPECT_EQ(setup.wLength, 1);
}

TEST_F(HubTest, StalledClassRequestFails) {
    Plug();
    device_.stall = true;
    uint8_t idle = 0xCC;
    URB urb = usbtest::ClassInterfaceUrb(2, &idle, 1);
    EXPECT_EQ(client_->Submit(&urb), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(urb.UrbHeader.Status, USBD_STATUS_STALL_PID);
    EXPECT_EQ(urb.UrbControlVendorClassRequest.TransferBufferLength, 0u);
    EXPECT_EQ(idle, 0xCC);
}

TEST_F(HubTest, UnknownUrbFunctionIsRejected) {
    Plug();
    URB urb{};
    urb.UrbHeader.Function = URB_FUNCTION_ABORT_PIPE;
    urb.UrbHeader.Length = sizeof(struct _URB_PIPE_REQUEST);
    EXPECT_EQ(client_->Submit(&urb), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(urb.UrbHeader.Status, USBD_STATUS_INVALID_URB_FUNCTION);
    EXPECT_EQ(client_->Submit(nullptr), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(client_->Internal(CTL_CODE(FILE_DEVICE_UNKNOWN, 0x99, METHOD_NEITHER, 0), nullptr),
              STATUS_INVALID_DEVICE_REQUEST);
}

} // namespace
