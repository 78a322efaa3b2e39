// The two races of the touch link, forced: a read held across an interface
// removal and re-arrival, and a stop that meets a read being re-armed.
#include "tests/mouse/feed_fixture.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace mouse_testing {
namespace {

using LinkRaceTest = FeedTest;

// The touch driver switched its interface off and on without giving back
// the read it held (A); A completes only under the new link.
class StaleReadTest : public FeedTest {
protected:
    void HoldAcrossRelink(bool newDevice = false) {
        PlugBoth();
        first = touch->HeldReads().front();
        SetInterface(false);
        EXPECT_EQ(Link()->TouchDeviceObject, nullptr);
        if (newDevice)
            touch->MoveNameToNewDevice();
        SetInterface(true);
        EXPECT_EQ(Link()->TouchDeviceObject, touch->Device());
        // The new link sends nothing while A is out.
        EXPECT_EQ(touch->Reads(), 1u);
        EXPECT_EQ(ReadIrp(), first.irp);
    }

    FakeTouch::Held first{};
};

TEST_F(StaleReadTest, LatePointIsDeliveredAndTheChainGoesOnOnce) {
    HoldAcrossRelink();
    touch->CompleteWithPoint(0, 11, 12);
    EXPECT_EQ(Packets(),
              (std::vector<std::string>{"flags=0x0001 buttons=0x0000 raw=0x00 x=11 y=12"}));
    EXPECT_EQ(touch->HeldCount(), 1u);
    EXPECT_EQ(touch->Reads(), 2u);
}

TEST_F(StaleReadTest, LateCancelDoesNotEndTheNewChain) {
    HoldAcrossRelink();
    touch->Complete(STATUS_CANCELLED);
    EXPECT_EQ(touch->HeldCount(), 1u);
    EXPECT_NE(ReadIrp(), nullptr);
    touch->CompleteWithPoint(0, 1, 1);
    EXPECT_EQ(Packets().size(), 1u);
    EXPECT_EQ(touch->HeldCount(), 1u);
}

TEST_F(StaleReadTest, TheChainMovesToTheDeviceOfTheNewLink) {
    HoldAcrossRelink(true);
    EXPECT_NE(first.device, touch->Device());
    touch->Complete(STATUS_CANCELLED);
    auto held = touch->HeldReads();
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(held[0].device, touch->Device());
}

TEST_F(StaleReadTest, RemovalWhileUnlinkedReleasesTheReadWhereItIsHeld) {
    PlugBoth();
    SetInterface(false); // the read stays held, and we are unlinked
    EXPECT_EQ(Link()->TouchDeviceObject, nullptr);
    ASSERT_NE(ReadIrp(), nullptr);
    EXPECT_EQ(kernel.RemoveDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(touch->Releases(), 1u);
    EXPECT_EQ(touch->HeldCount(), 0u);
    EXPECT_EQ(kernel.StateOf(node), DeviceState::Removed);
}

TEST_F(StaleReadTest, ReadsOfAnUnlinkedChainEndOnAnyStatus) {
    PlugBoth();
    SetInterface(false);
    touch->CompleteWithPoint(1, 5, 5); // delivered, not re-armed
    EXPECT_EQ(Packets().size(), 1u);
    EXPECT_EQ(touch->HeldCount(), 0u);
    EXPECT_EQ(ReadIrp(), nullptr);
}

// A completion re-arms (read B) at the moment the device stops: B reaches
// the touch driver only after the stop has disabled reading. A release sent
// before B is held would miss it; the stop must wait for B to land, release
// it, and return only when B is back.
TEST_F(LinkRaceTest, StopWaitsForAReadThatIsBeingReArmed) {
    kernel.SetRealThreadWaits(true, std::chrono::seconds(10));
    PlugBoth();
    StopWhileAReadIsReArmed();
    EXPECT_EQ(touch->HeldCount(), 0u);
    EXPECT_EQ(ReadIrp(), nullptr);
    EXPECT_EQ(touch->Reads(), 2u);
    EXPECT_EQ(touch->Releases(), 1u);
}

// Points keep completing reads on another thread while the device stops and
// starts again and again; every stop returns with nothing of ours out.
TEST_F(LinkRaceTest, StopsAmidAStreamOfPointsLeaveNothingOut) {
    kernel.SetRealThreadWaits(true, std::chrono::seconds(10));
    PlugBoth();
    std::atomic<bool> running{true};
    std::thread stream([&] {
        USHORT x = 0;
        while (running.load()) {
            if (!touch->CompleteIfHeld(STATUS_SUCCESS, TOUCH_POINT{0, ++x, x}))
                std::this_thread::yield();
        }
    });
    for (int round = 0; round < 40; ++round) {
        // Stop while points are flowing.
        const size_t before = mouseClass->Packets();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (mouseClass->Packets() == before && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        ASSERT_GT(mouseClass->Packets(), before) << round;
        ASSERT_EQ(kernel.StopDevice(node), STATUS_SUCCESS);
        EXPECT_EQ(ReadIrp(), nullptr) << round;
        EXPECT_EQ(touch->HeldCount(), 0u) << round;
        ASSERT_EQ(kernel.RestartDevice(node), STATUS_SUCCESS);
    }
    running.store(false);
    stream.join();
}

} // namespace
} // namespace mouse_testing

namespace mouse_testing {
namespace {

// Windows does not wait for a notification already on its way when a driver
// unregisters (IoUnregisterPlugPlayNotification gives no such guarantee):
// an arrival posted before the mouse device's removal reaches the callback
// after it. It must find the link retired: no open of the touch driver, no
// reference left behind, nothing touched in the freed device context.
TEST_F(LinkRaceTest, ArrivalDeliveredAfterTheRemovalDoesNotLinkAgain) {
    kernel.SetLateNotifications(true);
    ASSERT_EQ(Plug(), STATUS_SUCCESS); // no touch driver yet: not linked
    touch.emplace();
    touch->SetInterface(true); // the arrival is posted, not yet delivered
    ASSERT_EQ(Link()->TouchDeviceObject, nullptr);
    ASSERT_EQ(kernel.RemoveDevice(node), STATUS_SUCCESS);
    kernel.RunDueEvents();
    EXPECT_EQ(touch->Device()->ReferenceCount, 0);
    EXPECT_EQ(touch->HeldCount(), 0u);
}

} // namespace
} // namespace mouse_testing
