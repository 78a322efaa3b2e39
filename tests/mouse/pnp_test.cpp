// Plug and Play and power of the mouse service driver: a root device that
// answers later, surprise removal, power passed through.
#include "tests/mouse/feed_fixture.h"

namespace mouse_testing {
namespace {

using PnpTest = FeedTest;

// Every request pelmoxp passes down comes back pending, completed at
// DISPATCH_LEVEL from the scheduler; the pending mark has to travel up
// through pelmoxp's location (the verifier checks it).
TEST_F(PnpTest, ARootDeviceThatAnswersLaterThroughTheWholeLife) {
    root.later = true;
    PlugBoth();
    EXPECT_EQ(root.Count("pnp 00"), 1u);
    EXPECT_EQ(root.Count("pnp 14"), 1u);
    EXPECT_EQ(mouseClass->Ports().size(), 1u);

    ASSERT_EQ(kernel.InvalidateDeviceState(node), STATUS_SUCCESS);
    ASSERT_EQ(kernel.StopDevice(node), STATUS_SUCCESS);
    ASSERT_EQ(kernel.RestartDevice(node), STATUS_SUCCESS);
    ASSERT_EQ(kernel.SetSystemPower(PowerSystemSleeping3), STATUS_SUCCESS);
    ASSERT_EQ(kernel.SetSystemPower(PowerSystemWorking), STATUS_SUCCESS);
    touch->CompleteWithPoint(1, 100, 100);
    EXPECT_EQ(Packets().size(), 1u);
    ASSERT_EQ(kernel.RemoveDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(root.Count("pnp 04"), 1u);
    EXPECT_EQ(root.Count("pnp 02"), 1u);
    EXPECT_EQ(root.Count("power 02"), 2u);
    EXPECT_EQ(touch->HeldCount(), 0u);
}

TEST_F(PnpTest, SurpriseRemovalIsAnsweredHereAndGivesTheReadBack) {
    PlugBoth();
    EXPECT_EQ(SendPnp(MouseDevice(), IRP_MN_SURPRISE_REMOVAL).status, STATUS_NOT_SUPPORTED);
    EXPECT_EQ(touch->Releases(), 1u);
    ASSERT_EQ(SendPnp(MouseDevice()->AttachedDevice, IRP_MN_START_DEVICE).status, STATUS_SUCCESS);
    ASSERT_EQ(touch->HeldCount(), 1u);

    kernel.SurpriseRemoveDevice(node);
    EXPECT_EQ(root.Count("pnp 17"), 0u);
    EXPECT_EQ(touch->Releases(), 2u);
    EXPECT_EQ(touch->HeldCount(), 0u);
    // Nothing is open on the stack: the removal follows at once.
    kernel.RunDueEvents();
    EXPECT_EQ(kernel.StateOf(node), DeviceState::Removed);
    EXPECT_EQ(root.Count("pnp 02"), 1u);
}

TEST_F(PnpTest, PowerGoesDownUnderTheRemoveLockAndLeavesTheFeedAlone) {
    PlugBoth();
    ASSERT_EQ(kernel.SetDevicePower(node, PowerDeviceD3), STATUS_SUCCESS);
    ASSERT_EQ(kernel.SetDevicePower(node, PowerDeviceD0), STATUS_SUCCESS);
    EXPECT_EQ(root.Count("power 02"), 2u);
    EXPECT_EQ(Mouse()->RemoveLock.IoCount, 1); // only the bias left
    EXPECT_EQ(touch->HeldCount(), 1u);
    EXPECT_EQ(touch->Releases(), 0u);
}

} // namespace
} // namespace mouse_testing
