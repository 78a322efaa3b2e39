// What the driver keeps within bounds whatever the device or the hub does:
// a configuration descriptor that grows between its two reads, a hub that
// never answers a port check while the system goes to sleep, a screen whose
// start failed but whose interface a command switched on.
#include "tests/touch/reader_harness.h"

namespace touch_testing {
namespace {

using machine::devices::TransferFault;

using BoundsTest = ScreenTest;

TEST_F(BoundsTest, SecondConfigurationReadClaimingMoreIsCutToWhatArrived) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);
    // The selection below would walk 1 KB of a 50-byte buffer
    // (usbd-descriptor-overrun) if the claim were believed.
    Tap().claimedTotalLength = 0x400;
    ASSERT_EQ(kernel.RestartDevice(Node()), STATUS_SUCCESS);
    EXPECT_FALSE(ext->Stopped);
    EXPECT_EQ(Port().Configuration(), 1);
}

// On the virtual clock a wait that nothing ends is a deadlock: before the
// port check was bounded, the recovery below never ended and a sleep behind
// it never began; the same holds for the power-up's start.
TEST_F(BoundsTest, HubThatNeverAnswersThePortCheckDoesNotHoldUpSleep) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    Tap().holdStatus = true;
    Model().FailTransfers(TransferFault::DataError, 1);
    uint64_t before = kernel.Now();
    Advance(1); // reset, then the port check that is never answered
    EXPECT_EQ(Tap().Count("status"), 2u);
    EXPECT_GE(kernel.Now() - before, 1200 * kMs);
    EXPECT_FALSE(ext->RecoveryInFlight);
    EXPECT_FALSE(ext->ReadInFlight); // idle: the port could not be checked

    before = kernel.Now();
    ASSERT_EQ(kernel.SetSystemPower(PowerSystemSleeping3), STATUS_SUCCESS);
    EXPECT_LE(kernel.Now() - before, 200 * kMs);
    before = kernel.Now();
    ASSERT_EQ(kernel.SetSystemPower(PowerSystemWorking), STATUS_SUCCESS);
    EXPECT_LE(kernel.Now() - before, 1300 * kMs);
    EXPECT_TRUE(ext->Stopped); // the start's port check failed too

    Tap().holdStatus = false;
    ASSERT_EQ(kernel.SetSystemPower(PowerSystemSleeping3), STATUS_SUCCESS);
    ASSERT_EQ(kernel.SetSystemPower(PowerSystemWorking), STATUS_SUCCESS);
    EXPECT_FALSE(ext->Stopped);
    EXPECT_TRUE(ext->ReadInFlight);
}

// A reset the hub holds is cancelled by the stop; the hub completes it from
// its cancel routine, inside the stop's call, which must not hold the
// reader's lock then.
TEST_F(BoundsTest, StopCancelsAResetTheHubHolds) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    Tap().holdReset = true;
    Model().FailTransfers(TransferFault::DataError, 1);
    Advance(1);
    ASSERT_TRUE(ext->ResetInFlight);
    const uint64_t before = kernel.Now();
    ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);
    EXPECT_LE(kernel.Now() - before, 200 * kMs);
    EXPECT_FALSE(ext->ResetInFlight);
    EXPECT_FALSE(ext->RecoveryInFlight);
    Tap().holdReset = false;
    ASSERT_EQ(kernel.RestartDevice(Node()), STATUS_SUCCESS);
    EXPECT_TRUE(ext->ReadInFlight);
}

// The reported case: class request stalled, the panel's command switches the
// interface on, an input driver holds a point read; the removal must give it
// back and switch the interface off although the reader never ran.
TEST_F(BoundsTest, RemovalOfAScreenWhoseStartFailedGivesBackTheHeldRead) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    Model().StallClassRequests(true);
    ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);
    ASSERT_EQ(kernel.RestartDevice(Node()), STATUS_SUCCESS);
    ASSERT_TRUE(ext->Stopped);

    platform::kernel::UserFile* panel = nullptr;
    ASSERT_EQ(kernel.OpenFile("\\\\.\\vududode", &panel), STATUS_SUCCESS);
    UCHAR frame[16] = {TOUCH_CMD_RELOAD};
    ULONG returned = 0;
    ASSERT_EQ(kernel.DeviceIoControl(panel, IOCTL_TOUCH_COMMAND, frame, sizeof frame, nullptr, 0,
                                     &returned),
              STATUS_SUCCESS);
    ASSERT_EQ(InterfaceEnabled(), true);
    InternalRequest held(ext->DeviceObject, IOCTL_TOUCH_READ_POINT);
    ASSERT_EQ(held.Send(), STATUS_PENDING);
    ASSERT_EQ(kernel.CloseFile(panel), STATUS_SUCCESS);

    Port().PullOut();
    kernel.SurpriseRemoveDevice(Node());
    Advance(300);
    ASSERT_TRUE(held.Done());
    EXPECT_EQ(held.Status(), STATUS_CANCELLED);
    EXPECT_EQ(InterfaceEnabled(), false);
    EXPECT_EQ(kernel.StateOf(Node()), DeviceState::Removed);
    ext = nullptr;
}

} // namespace
} // namespace touch_testing
