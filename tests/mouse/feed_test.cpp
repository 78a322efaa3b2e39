// The chain of point reads and the packets it makes, against a touch driver
// the test drives step by step.
#include "tests/mouse/feed_fixture.h"

namespace mouse_testing {
namespace {

using Lines = std::vector<std::string>;

TEST_F(FeedTest, UpModePairClicksOnceAtTheLiftPoint) {
    PlugBoth();
    touch->CompleteWithPoint(1, 4000, 10800);
    touch->CompleteWithPoint(0, 4000, 10800);
    EXPECT_EQ(InputTrace(), (Lines{
                                "mouse packet flags=0x0001 buttons=0x0001 raw=0x01 x=4000 y=10800",
                                "pointer move x=62 y=126",
                                "pointer down left x=62 y=126",
                                "mouse packet flags=0x0001 buttons=0x0002 raw=0x00 x=4000 y=10800",
                                "pointer up left x=62 y=126",
                            }));
    EXPECT_EQ(touch->HeldCount(), 1u);
    EXPECT_EQ(touch->Reads(), 3u);
}

TEST_F(FeedTest, ButtonBitsBecomeTransitionsAndTheRestStaysRaw) {
    PlugBoth();
    touch->CompleteWithPoint(0, 0, 0);
    touch->CompleteWithPoint(0, 65535, 65535);
    touch->CompleteWithPoint(0x07, 100, 100);
    touch->CompleteWithPoint(0x07, 100, 100);
    touch->CompleteWithPoint(0x00, 100, 100);
    touch->CompleteWithPoint(0x80, 100, 100);
    EXPECT_EQ(Packets(), (Lines{
                             "flags=0x0001 buttons=0x0000 raw=0x00 x=0 y=0",
                             "flags=0x0001 buttons=0x0000 raw=0x00 x=65535 y=65535",
                             "flags=0x0001 buttons=0x0015 raw=0x07 x=100 y=100",
                             "flags=0x0001 buttons=0x0000 raw=0x07 x=100 y=100",
                             "flags=0x0001 buttons=0x002A raw=0x00 x=100 y=100",
                             "flags=0x0001 buttons=0x0000 raw=0x80 x=100 y=100",
                         }));
    auto pointer = mouseClass->Pointer();
    EXPECT_FALSE(pointer.left || pointer.right || pointer.middle);
    EXPECT_EQ(pointer.x, 1);
    EXPECT_EQ(pointer.y, 1);
}

TEST_F(FeedTest, ReadStatusesDecideWhetherTheChainGoesOn) {
    PlugBoth();
    touch->Complete(STATUS_SUCCESS); // no bytes
    EXPECT_EQ(touch->HeldCount(), 1u);
    touch->Complete(STATUS_IO_TIMEOUT, TOUCH_POINT{1, 5, 5});
    EXPECT_EQ(touch->HeldCount(), 1u);
    EXPECT_EQ(touch->Reads(), 3u);
    EXPECT_TRUE(Packets().empty());

    touch->Complete(STATUS_CANCELLED);
    EXPECT_EQ(touch->HeldCount(), 0u);
    EXPECT_EQ(touch->Reads(), 3u);
    EXPECT_EQ(ReadIrp(), nullptr);
    EXPECT_TRUE(Packets().empty());

    // Only a new link or a new start begins it again.
    kernel.InvalidateDeviceState(node);
    EXPECT_EQ(touch->Reads(), 3u);
    ASSERT_EQ(kernel.StopDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(touch->Releases(), 0u); // nothing was out
    ASSERT_EQ(kernel.RestartDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(touch->HeldCount(), 1u);

    touch->Complete(STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(touch->HeldCount(), 0u);
}

TEST_F(FeedTest, PointsQueuedAtTheTouchDriverFlowInsideTheSendingCall) {
    PlugBoth();
    ASSERT_EQ(kernel.StopDevice(node), STATUS_SUCCESS);
    for (USHORT i = 1; i <= 10; ++i)
        touch->Queue(0, i, i);
    ASSERT_EQ(kernel.RestartDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(Packets().size(), 10u);
    EXPECT_EQ(touch->HeldCount(), 1u);
    EXPECT_EQ(touch->Reads(), 12u);
}

TEST_F(FeedTest, StopReleasesTheHeldReadAndStartReadsAgain) {
    PlugBoth();
    ASSERT_EQ(kernel.StopDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(touch->Releases(), 1u);
    EXPECT_EQ(touch->HeldCount(), 0u);
    EXPECT_EQ(ReadIrp(), nullptr);
    EXPECT_EQ(Link()->TouchDeviceObject, touch->Device()); // still linked

    // Stopped already: nothing to give back.
    ASSERT_EQ(SendPnp(MouseDevice()->AttachedDevice, IRP_MN_STOP_DEVICE).status, STATUS_SUCCESS);
    EXPECT_EQ(touch->Releases(), 1u);
    ASSERT_EQ(kernel.RestartDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(touch->HeldCount(), 1u);
    touch->CompleteWithPoint(0, 7, 8);
    EXPECT_EQ(Packets(), (Lines{"flags=0x0001 buttons=0x0000 raw=0x00 x=7 y=8"}));
}

TEST_F(FeedTest, StartWithoutTheTouchDriverSucceedsAndTheArrivalStartsTheFeed) {
    ASSERT_EQ(PlugMouse(), STATUS_SUCCESS);
    EXPECT_EQ(kernel.StateOf(node), DeviceState::Started);
    EXPECT_EQ(Link()->TouchDeviceObject, nullptr);

    touch.emplace();
    EXPECT_EQ(touch->Reads(), 0u);
    SetInterface(true);
    EXPECT_EQ(Link()->TouchDeviceObject, touch->Device());
    EXPECT_EQ(touch->HeldCount(), 1u);
}

TEST_F(FeedTest, StateQueryLinksATouchDriverThatNeverAnnouncedItself) {
    ASSERT_EQ(PlugMouse(), STATUS_SUCCESS);
    touch.emplace(); // its interface stays off
    kernel.InvalidateDeviceState(node);
    EXPECT_EQ(Link()->TouchDeviceObject, touch->Device());
    EXPECT_EQ(touch->HeldCount(), 1u);
}

TEST_F(FeedTest, ArrivalBeforeTheStartLinksButReadsOnlyAfterIt) {
    touch.emplace();
    touch->SetInterface(true);
    bool checked = false;
    gAfterAddDevice = [&] {
        kernel.RunDueEvents(); // the report of the existing interface
        EXPECT_EQ(Link()->TouchDeviceObject, touch->Device());
        EXPECT_EQ(touch->Reads(), 0u);
        checked = true;
    };
    ASSERT_EQ(PlugMouse(), STATUS_SUCCESS);
    EXPECT_TRUE(checked);
    EXPECT_EQ(touch->Reads(), 1u);
    EXPECT_EQ(touch->HeldCount(), 1u);
}

TEST_F(FeedTest, RemovalAndReArrivalResumeReadingWithoutARestart) {
    PlugBoth();
    // As the touch driver stops: its reads back first, then the interface off.
    touch->Complete(STATUS_CANCELLED);
    SetInterface(false);
    EXPECT_EQ(Link()->TouchDeviceObject, nullptr);
    EXPECT_EQ(Link()->TouchFileObject, nullptr);
    EXPECT_EQ(touch->Reads(), 1u);

    SetInterface(true);
    EXPECT_EQ(Link()->TouchDeviceObject, touch->Device());
    EXPECT_EQ(touch->HeldCount(), 1u);
    touch->CompleteWithPoint(0, 1, 2);
    EXPECT_EQ(Packets().size(), 1u);
    EXPECT_EQ(root.Count("pnp 00"), 1u);
}

struct Delivered {
    MOUSE_INPUT_DATA packet;
    KIRQL irql;
    ULONG count;
};
std::vector<Delivered> gDelivered;

VOID NTAPI RecordingService(PVOID, PVOID first, PVOID end, PVOID) {
    auto* packet = static_cast<PMOUSE_INPUT_DATA>(first);
    gDelivered.push_back({*packet, KeGetCurrentIrql(),
                          static_cast<ULONG>(static_cast<PMOUSE_INPUT_DATA>(end) - packet)});
}

TEST_F(FeedTest, PacketsBeforeTheConnectAreDroppedButTheirButtonsCount) {
    gMouseClass = nullptr;
    gDelivered.clear();
    PlugBoth();
    touch->CompleteWithPoint(1, 10, 10);

    CONNECT_DATA data{rootPdo, reinterpret_cast<PVOID>(&RecordingService)};
    ASSERT_EQ(SendInternal(MouseDevice(), IOCTL_INTERNAL_MOUSE_CONNECT, &data, sizeof data).status,
              STATUS_SUCCESS);
    touch->Complete(STATUS_SUCCESS, TOUCH_POINT{0, 10, 20}, PASSIVE_LEVEL);
    touch->Complete(STATUS_SUCCESS, TOUCH_POINT{4, 30, 40}, DISPATCH_LEVEL);
    ASSERT_EQ(gDelivered.size(), 2u);
    // Raised to dispatch level for the call when the read completed below it.
    EXPECT_EQ(gDelivered[0].irql, DISPATCH_LEVEL);
    EXPECT_EQ(gDelivered[0].count, 1u);
    EXPECT_EQ(gDelivered[0].packet.ButtonFlags, MOUSE_LEFT_BUTTON_UP);
    EXPECT_EQ(gDelivered[0].packet.LastY, 20);
    EXPECT_EQ(gDelivered[1].irql, DISPATCH_LEVEL);
    EXPECT_EQ(gDelivered[1].packet.ButtonFlags, MOUSE_MIDDLE_BUTTON_DOWN);
    EXPECT_EQ(gDelivered[1].packet.UnitId, 0);
    EXPECT_EQ(gDelivered[1].packet.ButtonData, 0);
    EXPECT_EQ(gDelivered[1].packet.ExtraInformation, 0u);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
}

TEST_F(FeedTest, AReadThatCannotBeAllocatedEndsTheChainQuietly) {
    PlugBoth();
    kernel.SetAllocationFilter([](const platform::kernel::AllocationRequest& request) {
        return request.kind == platform::kernel::AllocationRequest::Kind::Irp;
    });
    touch->CompleteWithPoint(0, 3, 4);
    kernel.SetAllocationFilter(nullptr);
    EXPECT_EQ(Packets().size(), 1u);
    EXPECT_EQ(touch->HeldCount(), 0u);
    EXPECT_EQ(ReadIrp(), nullptr);
    ASSERT_EQ(kernel.StopDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(touch->Releases(), 0u);
}

} // namespace
} // namespace mouse_testing
