// Power: standby and resume, device power requests, a lower driver that
// finishes power-up at dispatch level.
#include "tests/touch/reader_harness.h"

namespace touch_testing {
namespace {

using machine::devices::MakeTouchReport;

using PowerTest = ScreenTest;

TEST_F(PowerTest, StandbyStopsTheReaderAndResumeRestartsItWithFreshSettings) {
    WriteSettings(kGlobalKey, "2");
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    InternalRequest held(ext->DeviceObject, IOCTL_TOUCH_READ_POINT);
    ASSERT_EQ(held.Send(), STATUS_PENDING);

    ASSERT_EQ(kernel.SetSystemPower(PowerSystemSleeping3), STATUS_SUCCESS);
    ASSERT_TRUE(held.Done());
    EXPECT_EQ(held.Status(), STATUS_CANCELLED);
    EXPECT_TRUE(ext->Stopped);
    EXPECT_EQ(Port().HeldRequests(), 0u);
    EXPECT_EQ(InterfaceEnabled(), false);
    EXPECT_EQ(ext->DevicePowerState, PowerDeviceD3);
    EXPECT_EQ(kernel.DevicePower(ext->DeviceObject), PowerDeviceD3);

    WriteSettings(kGlobalKey, "3");
    ASSERT_EQ(kernel.SetSystemPower(PowerSystemWorking), STATUS_SUCCESS);
    EXPECT_FALSE(ext->Stopped);
    EXPECT_TRUE(ext->ReadInFlight);
    EXPECT_EQ(ext->doneMode, 3);
    EXPECT_EQ(InterfaceEnabled(), true);
    EXPECT_EQ(ext->DevicePowerState, PowerDeviceD0);
    EXPECT_EQ(kernel.DevicePower(ext->DeviceObject), PowerDeviceD0);

    Model().SendReport(MakeTouchReport(0x81, 10, 20));
    Advance(1);
    EXPECT_EQ(PopAll().size(), 1u);
}

TEST_F(PowerTest, DevicePowerRequestsStopAndStartTheReader) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    ASSERT_EQ(kernel.SetDevicePower(Node(), PowerDeviceD2), STATUS_SUCCESS);
    EXPECT_TRUE(ext->Stopped);
    EXPECT_EQ(kernel.DevicePower(ext->DeviceObject), PowerDeviceD2);

    // Lighter than D2 but not D0 counts as power-up: the reader restarts.
    ASSERT_EQ(kernel.SetDevicePower(Node(), PowerDeviceD1), STATUS_SUCCESS);
    EXPECT_FALSE(ext->Stopped);
    EXPECT_EQ(ext->DevicePowerState, PowerDeviceD1);

    ASSERT_EQ(kernel.SetDevicePower(Node(), PowerDeviceD0), STATUS_SUCCESS);
    EXPECT_FALSE(ext->Stopped);
    EXPECT_EQ(kernel.DevicePower(ext->DeviceObject), PowerDeviceD0);
    EXPECT_EQ(ext->StartCount, 1);
}

// The reader's start waits for the bus and reads the registry: it must not
// run in a completion at dispatch level (the verifier fails such a wait).
TEST_F(PowerTest, PowerUpFinishedAtDispatchLevelStartsTheReaderAtPassiveLevel) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    Tap().powerAtDispatch = true;
    ASSERT_EQ(kernel.SetSystemPower(PowerSystemSleeping1), STATUS_SUCCESS);
    ASSERT_EQ(kernel.SetSystemPower(PowerSystemWorking), STATUS_SUCCESS);
    EXPECT_FALSE(ext->Stopped);
    EXPECT_TRUE(ext->ReadInFlight);
    EXPECT_EQ(kernel.DevicePower(ext->DeviceObject), PowerDeviceD0);
}

} // namespace
} // namespace touch_testing
