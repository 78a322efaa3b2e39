// Starting the reader: the port check, the configuration, the class request,
// the limit on failed starts, memory shortage, and unconfiguring at removal.
#include "tests/touch/reader_harness.h"

namespace touch_testing {
namespace {

using machine::devices::TouchLayout;
using platform::kernel::AllocationRequest;
using Strings = std::vector<std::string>;

using ConfigureTest = ScreenTest;

// The start request keeps the lower driver's status whatever the reader did.
void ExpectStartedButSilent(PTOUCH_DEVICE_EXTENSION ext) {
    ASSERT_NE(ext, nullptr);
    EXPECT_TRUE(ext->Stopped);
    EXPECT_FALSE(ext->ReadInFlight);
    EXPECT_EQ(ext->StartCount, 1);
}

TEST_F(ConfigureTest, StartSequenceOnAGoodPort) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    EXPECT_EQ(Tap().log, (Strings{"pnp 00", "status", "urb 0b", "urb 0b", "urb 00", "urb 0b",
                                  "urb 1b", "urb 09", "pnp 14"}));
    EXPECT_EQ(Model().ClassRequests(), 1u);
    EXPECT_NE(ext->PipeHandle, nullptr);
    EXPECT_EQ(Port().Configuration(), 1);
}

TEST_F(ConfigureTest, PortNotConnectedFailsTheStart) {
    ASSERT_EQ(Plug({}, {.connected = false}), STATUS_SUCCESS);
    ExpectStartedButSilent(ext);
    EXPECT_FALSE(InterfaceEnabled().has_value());
    EXPECT_EQ(Port().Stats().enables, 0u);
    EXPECT_EQ(ConfigureDevice(ext), STATUS_NO_SUCH_DEVICE);
}

TEST_F(ConfigureTest, ConnectedButDisabledPortIsEnabledResetAndStarted) {
    ASSERT_EQ(Plug({}, {.enabled = false}), STATUS_SUCCESS);
    EXPECT_EQ(Port().Stats().enables, 1u);
    EXPECT_EQ(Port().Stats().resets, 1u);
    EXPECT_EQ(Strings(Tap().log.begin(), Tap().log.begin() + 5),
              (Strings{"pnp 00", "status", "enable", "reset", "status"}));
    EXPECT_FALSE(ext->Stopped);
    EXPECT_TRUE(ext->ReadInFlight);
    EXPECT_EQ(InterfaceEnabled(), true);
}

TEST_F(ConfigureTest, ConfigurationWithoutInterfaceFails) {
    ASSERT_EQ(Plug({.layout = TouchLayout::NoInterface}), STATUS_SUCCESS);
    ExpectStartedButSilent(ext);
    EXPECT_EQ(ConfigureDevice(ext), STATUS_NO_SUCH_DEVICE);
    EXPECT_EQ(Model().ClassRequests(), 0u);
}

TEST_F(ConfigureTest, ConfigurationWithoutPipeFails) {
    ASSERT_EQ(Plug({.layout = TouchLayout::NoPipe}), STATUS_SUCCESS);
    ExpectStartedButSilent(ext);
    EXPECT_EQ(ConfigureDevice(ext), STATUS_UNSUCCESSFUL);
}

TEST_F(ConfigureTest, StalledClassRequestFailsTheStart) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    Model().StallClassRequests(true);
    ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);
    ASSERT_EQ(kernel.RestartDevice(Node()), STATUS_SUCCESS);
    EXPECT_TRUE(ext->Stopped);
    EXPECT_EQ(ext->StartCount, 1);
    EXPECT_EQ(InterfaceEnabled(), false);
    EXPECT_NE(ConfigureDevice(ext), STATUS_SUCCESS);
}

TEST_F(ConfigureTest, ThirdStartAfterTwoFailedOnesDoesNotTouchTheBus) {
    ASSERT_EQ(Plug({.layout = TouchLayout::NoPipe}), STATUS_SUCCESS); // first failed start
    ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);
    ASSERT_EQ(kernel.RestartDevice(Node()), STATUS_SUCCESS); // second
    EXPECT_EQ(ext->StartCount, 2);
    ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);

    const size_t sent = Tap().Size();
    ASSERT_EQ(kernel.RestartDevice(Node()), STATUS_SUCCESS);
    EXPECT_EQ(Strings(Tap().log.begin() + static_cast<long>(sent), Tap().log.end()),
              (Strings{"pnp 00", "pnp 14"}));
    EXPECT_EQ(StartReader(ext), STATUS_UNSUCCESSFUL);
    EXPECT_TRUE(ext->Stopped);
}

TEST_F(ConfigureTest, ShortMemoryAtAnyStepFailsWithoutLeaks) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);
    const size_t pool = kernel.OutstandingPoolBlocks();
    const size_t irps = kernel.OutstandingIrps();
    for (int failAt = 1;; ++failAt) {
        SCOPED_TRACE(failAt);
        int seen = 0;
        bool failed = false;
        kernel.SetAllocationFilter([&](const AllocationRequest& request) {
            if (request.kind != AllocationRequest::Kind::Irp &&
                request.kind != AllocationRequest::Kind::Pool)
                return false;
            failed = failed || ++seen == failAt;
            return seen == failAt;
        });
        NTSTATUS status = ConfigureDevice(ext);
        kernel.SetAllocationFilter(nullptr);
        EXPECT_EQ(kernel.OutstandingPoolBlocks(), pool);
        EXPECT_EQ(kernel.OutstandingIrps(), irps);
        if (!failed) {
            EXPECT_EQ(status, STATUS_SUCCESS);
            EXPECT_GT(failAt, 10);
            break;
        }
        EXPECT_FALSE(NT_SUCCESS(status));
    }
}

TEST_F(ConfigureTest, RemovalUnconfiguresBeforeTheRequestGoesDown) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    const size_t sent = Tap().Size();
    ASSERT_EQ(kernel.RemoveDevice(Node()), STATUS_SUCCESS);
    ext = nullptr;
    EXPECT_EQ(Strings(Tap().log.begin() + static_cast<long>(sent), Tap().log.end()),
              (Strings{"pnp 01", "urb 00", "pnp 02"}));
    EXPECT_EQ(Port().Configuration(), 0);
    EXPECT_EQ(kernel.FindDevice("\\Device\\vududo"), nullptr);
    EXPECT_EQ(kernel.FindDevice("\\DosDevices\\vududode"), nullptr); // the driver unloaded
}

} // namespace
} // namespace touch_testing
