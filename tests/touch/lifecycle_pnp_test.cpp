// Plug and Play: surprise removal, a device pulled out under an open panel,
// a second touch screen, query-state as the settings retry point.
#include "tests/touch/reader_harness.h"

namespace touch_testing {
namespace {

using machine::devices::MakeTouchReport;

using LifecycleTest = ScreenTest;

TEST_F(LifecycleTest, SurpriseRemovalDuringATouchGivesEverythingBackAndReadsNoMore) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    Model().Press(300, 400);
    Advance(1);
    ASSERT_FALSE(PopAll().empty());
    InternalRequest held(ext->DeviceObject, IOCTL_TOUCH_READ_POINT);
    ASSERT_EQ(held.Send(), STATUS_PENDING);

    kernel.SurpriseRemoveDevice(Node());
    ASSERT_TRUE(held.Done());
    EXPECT_EQ(held.Status(), STATUS_CANCELLED);
    const size_t reads = ReadsSent();
    Advance(100); // the finger stays on
    EXPECT_EQ(ReadsSent(), reads);
    EXPECT_EQ(Port().HeldRequests(), 0u);

    // Nothing was open: the remove request followed at once.
    EXPECT_EQ(kernel.StateOf(Node()), DeviceState::Removed);
    EXPECT_EQ(kernel.FindDevice("\\Device\\vududo"), nullptr);
    EXPECT_EQ(kernel.FindDevice("\\DosDevices\\vududode"), nullptr);
    EXPECT_EQ(InterfaceEnabled(), false);
    ext = nullptr;
}

TEST_F(LifecycleTest, PulledOutUnderAnOpenPanelIsRemovedWhenThePanelCloses) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    platform::kernel::UserFile* panel = nullptr;
    ASSERT_EQ(kernel.OpenFile("\\\\.\\vududode", &panel), STATUS_SUCCESS);
    const size_t reads = ReadsSent();

    Port().PullOut(); // the held transfer ends as not connected
    Advance(1);
    EXPECT_FALSE(ext->ReadInFlight);
    EXPECT_EQ(ReadsSent(), reads);
    kernel.SurpriseRemoveDevice(Node());
    EXPECT_EQ(kernel.StateOf(Node()), DeviceState::SurpriseRemoved);
    EXPECT_TRUE(ext->Stopped);

    // The panel's polls and commands now fail, telling it the screen is gone.
    UCHAR frame[16] = {};
    ULONG returned = 99;
    EXPECT_EQ(kernel.DeviceIoControl(panel, IOCTL_TOUCH_GET_POINT, nullptr, 0, frame, sizeof frame,
                                     &returned),
              STATUS_DELETE_PENDING);
    EXPECT_EQ(returned, 0u);
    frame[0] = TOUCH_CMD_RAW_ON;
    EXPECT_EQ(kernel.DeviceIoControl(panel, IOCTL_TOUCH_COMMAND, frame, sizeof frame, nullptr, 0,
                                     &returned),
              STATUS_DELETE_PENDING);
    EXPECT_FALSE(ext->RawMode);

    EXPECT_EQ(kernel.CloseFile(panel), STATUS_SUCCESS);
    Advance(1);
    EXPECT_EQ(kernel.StateOf(Node()), DeviceState::Removed);
    EXPECT_EQ(ReadsSent(), reads);
    ext = nullptr;
}

TEST_F(LifecycleTest, SecondTouchScreenFailsWhileTheFirstKeepsWorking) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    EXPECT_EQ(Plug(), STATUS_OBJECT_NAME_COLLISION);
    EXPECT_EQ(ReadsSent(1), 0u);
    EXPECT_EQ(Tap(1).Count("pnp 00"), 0u);

    Model(0).SendReport(MakeTouchReport(0x81, 10, 20));
    Advance(1);
    EXPECT_EQ(PopAll().size(), 1u);
    EXPECT_TRUE(ext->ReadInFlight);
}

TEST_F(LifecycleTest, QueryStateRetriesSettingsUntilLoadedThenLeavesThem) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS); // no settings anywhere yet
    EXPECT_FALSE(ext->CalibrationLoaded);
    EXPECT_EQ(ext->doneMode, 1);

    WriteSettings(kGlobalKey, "2");
    kernel.InvalidateDeviceState(Node()); // the hub does not answer it
    EXPECT_TRUE(ext->CalibrationLoaded);
    EXPECT_EQ(ext->doneMode, 2);

    WriteSettings(kGlobalKey, "3");
    kernel.InvalidateDeviceState(Node()); // the hub does not answer it
    EXPECT_EQ(ext->doneMode, 2);
}

TEST_F(LifecycleTest, QueryStateFallsBackToTheBackupKey) {
    WriteSettings(BackupKey(), "3");
    ASSERT_EQ(Plug(), STATUS_SUCCESS); // the start's own query-state loads it
    EXPECT_TRUE(ext->CalibrationLoaded);
    EXPECT_EQ(ext->doneMode, 3);
}

TEST_F(LifecycleTest, StopAndRestartReloadsSettingsAndAnnouncesTheInterfaceAgain) {
    WriteSettings(kGlobalKey, "2");
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    EXPECT_EQ(ext->doneMode, 2);
    WriteSettings(kGlobalKey, "3");

    ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);
    EXPECT_EQ(InterfaceEnabled(), false);
    EXPECT_EQ(ext->doneMode, 2);
    ASSERT_EQ(kernel.RestartDevice(Node()), STATUS_SUCCESS);
    EXPECT_EQ(InterfaceEnabled(), true);
    EXPECT_EQ(ext->doneMode, 3);
    EXPECT_EQ(ext->StartCount, 1);
}

} // namespace
} // namespace touch_testing
