// Port requests, arrival and removal, and the PDO's Plug and Play answers.
#include "hub_fixture.h"

namespace {

using platform::usb::UsbPortOptions;
using usbtest::HubTest;

ULONG QueryStatus(usbtest::UsbTestClient& client, NTSTATUS* status = nullptr) {
    ULONG bits = 0xdeadbeef;
    const NTSTATUS result = client.Internal(IOCTL_INTERNAL_USB_GET_PORT_STATUS, &bits);
    if (status != nullptr)
        *status = result;
    return bits;
}

TEST_F(HubTest, PortStatusReportsConnectionAndEnable) {
    struct Case {
        UsbPortOptions options;
        ULONG bits;
    };
    const Case cases[] = {
        {{true, true}, USBD_PORT_CONNECTED | USBD_PORT_ENABLED},
        {{true, false}, USBD_PORT_CONNECTED},
        {{false, true}, 0},
    };
    for (const Case& c : cases) {
        Plug(c.options);
        NTSTATUS status;
        EXPECT_EQ(QueryStatus(*client_, &status), c.bits);
        EXPECT_EQ(status, STATUS_SUCCESS);
        Release();
        hub_.emplace();
    }
    Plug();
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_GET_PORT_STATUS, nullptr),
              STATUS_INVALID_PARAMETER);
}

TEST_F(HubTest, EnableOrResetEnablesADisabledPort) {
    Plug({true, false});
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_ENABLE_PORT, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(QueryStatus(*client_), USBD_PORT_CONNECTED | USBD_PORT_ENABLED);
    Release();

    hub_.emplace();
    Plug({true, false});
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_RESET_PORT, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(QueryStatus(*client_), USBD_PORT_CONNECTED | USBD_PORT_ENABLED);
    EXPECT_EQ(device_.resets, 1u);
    const auto stats = Port().Stats();
    EXPECT_EQ(stats.resets, 1u);
    EXPECT_EQ(stats.statusQueries, 1u);
}

TEST_F(HubTest, FailedResetIsADataErrorAndLeavesThePortDisabled) {
    Plug();
    device_.resetStatus = USBD_STATUS_CRC;
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_RESET_PORT, nullptr), STATUS_DEVICE_DATA_ERROR);
    EXPECT_EQ(QueryStatus(*client_), USBD_PORT_CONNECTED);
    device_.resetStatus = USBD_STATUS_SUCCESS;
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_RESET_PORT, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(QueryStatus(*client_), USBD_PORT_CONNECTED | USBD_PORT_ENABLED);
}

TEST_F(HubTest, ResetSentAtDispatchIsServedAtPassiveFromTheScheduler) {
    Plug({true, false});
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    auto& reset = client_->Send(IOCTL_INTERNAL_USB_RESET_PORT, nullptr);
    KeLowerIrql(old);
    EXPECT_EQ(reset.callStatus, STATUS_PENDING);
    EXPECT_FALSE(reset.done);
    EXPECT_EQ(device_.resets, 0u);
    Advance(0);
    ASSERT_TRUE(reset.done);
    EXPECT_EQ(reset.finalStatus, STATUS_SUCCESS);
    EXPECT_EQ(reset.completionIrql, PASSIVE_LEVEL);
    EXPECT_TRUE(reset.pendingReturned);
    EXPECT_EQ(QueryStatus(*client_), USBD_PORT_CONNECTED | USBD_PORT_ENABLED);
}

TEST_F(HubTest, NothingConnectedFailsEveryRequest) {
    Plug({false, false});
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_ENABLE_PORT, nullptr),
              STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_RESET_PORT, nullptr),
              STATUS_DEVICE_NOT_CONNECTED);
    uint8_t buffer[18];
    URB urb = usbtest::DescriptorUrb(USB_DEVICE_DESCRIPTOR_TYPE, 0, buffer, sizeof buffer);
    EXPECT_EQ(client_->Submit(&urb), STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(urb.UrbHeader.Status, USBD_STATUS_DEVICE_GONE);
    EXPECT_EQ(device_.resets, 0u);
}

TEST_F(HubTest, DisabledPortDoesNotReachTheDevice) {
    Plug({true, false});
    uint8_t buffer[18];
    URB urb = usbtest::DescriptorUrb(USB_DEVICE_DESCRIPTOR_TYPE, 0, buffer, sizeof buffer);
    EXPECT_EQ(client_->Submit(&urb), STATUS_DEVICE_DATA_ERROR);
    EXPECT_EQ(urb.UrbHeader.Status, USBD_STATUS_DEV_NOT_RESPONDING);
}

TEST_F(HubTest, ArrivalAndRemovalAreAnnounced) {
    std::vector<std::pair<std::string, PDEVICE_OBJECT>> events;
    Port().onArrival = [&](PDEVICE_OBJECT pdo) { events.push_back({"arrival", pdo}); };
    Port().onRemoval = [&](PDEVICE_OBJECT pdo) { events.push_back({"removal", pdo}); };
    Plug();
    PDEVICE_OBJECT pdo = Port().Pdo();
    EXPECT_EQ(Port().Plug(device_), nullptr) << "a second device on an occupied port";
    Port().PullOut();
    Port().PullOut(); // once only
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], std::make_pair(std::string("arrival"), pdo));
    EXPECT_EQ(events[1], std::make_pair(std::string("removal"), pdo));
    EXPECT_EQ(Port().StatusBits(), 0u);
}

TEST_F(HubTest, RemoveAfterPullOutDeletesThePdoOnceTheStackUnwound) {
    Plug();
    Port().PullOut();
    EXPECT_EQ(client_->Pnp(IRP_MN_SURPRISE_REMOVAL), STATUS_SUCCESS);
    EXPECT_EQ(client_->Pnp(IRP_MN_REMOVE_DEVICE), STATUS_SUCCESS);
    EXPECT_NE(Port().Pdo(), nullptr);
    client_.reset(); // the function driver detaches and deletes its device
    Advance(0);
    EXPECT_EQ(Port().Pdo(), nullptr);

    Plug(); // the port takes a device again
    EXPECT_NE(Port().Pdo(), nullptr);
}

TEST_F(HubTest, RemoveWhileConnectedKeepsThePdo) {
    Plug();
    Configure();
    EXPECT_EQ(client_->Pnp(IRP_MN_REMOVE_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(Port().Configuration(), 0);
    client_.reset();
    Advance(0);
    EXPECT_NE(Port().Pdo(), nullptr);
}

TEST_F(HubTest, QueryIdNamesVendorProductAndRevision) {
    Plug();
    auto query = [&](BUS_QUERY_ID_TYPE type) {
        ULONG_PTR information = 0;
        EXPECT_EQ(client_->Pnp(IRP_MN_QUERY_ID, &information, type), STATUS_SUCCESS);
        auto* text = reinterpret_cast<PWCHAR>(information);
        std::string all; // NULs kept as '|'
        for (size_t i = 0; text != nullptr; ++i) {
            all += text[i] ? static_cast<char>(text[i]) : '|';
            if (text[i] == 0 && (type != BusQueryHardwareIDs || text[i + 1] == 0))
                break;
        }
        ExFreePool(text);
        return all;
    };
    EXPECT_EQ(query(BusQueryDeviceID), "USB\\VID_1234&PID_5678|");
    EXPECT_EQ(query(BusQueryHardwareIDs),
              "USB\\VID_1234&PID_5678&REV_0201|USB\\VID_1234&PID_5678|");
    EXPECT_EQ(query(BusQueryInstanceID), "1|");
}

} // namespace
