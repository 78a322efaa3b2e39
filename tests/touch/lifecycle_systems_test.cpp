// One life of the screen on each system the driver ships for: reads, a port
// recovery, standby and resume, and a pull-out with a point read held. On
// Windows 98 the pull-out is a plain removal ("IRP_MN_SURPRISE_REMOVAL",
// learn.microsoft.com: not sent on Windows 98/Me).
#include "tests/touch/reader_harness.h"

namespace touch_testing {
namespace {

using machine::devices::MakeTouchReport;
using machine::devices::TransferFault;
using System = platform::kernel::Kernel::System;

class SystemsTest : public ScreenTest, public ::testing::WithParamInterface<System> {};

TEST_P(SystemsTest, ReadsRecoveryStandbyAndPullOut) {
    kernel.SetSystem(GetParam());
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    Model().SendReport(MakeTouchReport(0x81, 10, 20));
    Advance(1);
    EXPECT_EQ(PopAll().size(), 1u);

    Model().FailTransfers(TransferFault::DataError, 1);
    Advance(1);
    EXPECT_EQ(Model().Resets(), 1u);
    EXPECT_FALSE(ext->RecoveryInFlight);
    Model().SendReport(MakeTouchReport(0x81, 30, 40));
    Advance(1);
    EXPECT_EQ(PopAll().size(), 1u);

    ASSERT_EQ(kernel.SetSystemPower(PowerSystemSleeping3), STATUS_SUCCESS);
    EXPECT_TRUE(ext->Stopped);
    ASSERT_EQ(kernel.SetSystemPower(PowerSystemWorking), STATUS_SUCCESS);
    EXPECT_TRUE(ext->ReadInFlight);

    InternalRequest held(ext->DeviceObject, IOCTL_TOUCH_READ_POINT);
    ASSERT_EQ(held.Send(), STATUS_PENDING);
    Port().PullOut();
    kernel.SurpriseRemoveDevice(Node());
    ASSERT_TRUE(held.Done());
    EXPECT_EQ(held.Status(), STATUS_CANCELLED);
    EXPECT_EQ(kernel.StateOf(Node()), DeviceState::Removed);
    EXPECT_EQ(Tap().Count("pnp 17"), GetParam() == System::Windows98 ? 0u : 1u);
    EXPECT_EQ(Tap().Count("pnp 02"), 1u);
    ext = nullptr;
}

// 98 removes the device at once although the panel still holds it open; the
// panel's requests on that handle fail as on the other systems.
TEST_F(ScreenTest, PulledOutUnderAnOpenPanelOn98IsRemovedAtOnce) {
    kernel.SetSystem(System::Windows98);
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    platform::kernel::UserFile* panel = nullptr;
    ASSERT_EQ(kernel.OpenFile("\\\\.\\vududode", &panel), STATUS_SUCCESS);
    Port().PullOut();
    kernel.SurpriseRemoveDevice(Node());
    EXPECT_EQ(kernel.StateOf(Node()), DeviceState::Removed);
    EXPECT_EQ(kernel.FindDevice("\\Device\\vududo"), nullptr);

    UCHAR frame[16] = {};
    ULONG returned = 99;
    EXPECT_EQ(kernel.DeviceIoControl(panel, IOCTL_TOUCH_GET_POINT, nullptr, 0, frame, sizeof frame,
                                     &returned),
              STATUS_DELETE_PENDING);
    EXPECT_EQ(kernel.CloseFile(panel), STATUS_SUCCESS);
    Advance(1); // the driver goes once the last reference to its device has
    ext = nullptr;
}

// A bus that completes set-power requests at dispatch level is fine on XP
// and a fault on 98 ("Differences in WDM Versions": 98/Me complete power
// requests at PASSIVE_LEVEL); the driver's own completions stay passive.
TEST_F(ScreenTest, PowerCompletedAbovePassiveIsAFaultOnlyOn98) {
    for (System system : {System::WindowsXP, System::Windows98}) {
        kernel.SetSystem(system);
        if (system == System::Windows98) {
            ExpectViolation("power-irp-completed-above-passive");
        }
        if (ext == nullptr) {
            ASSERT_EQ(Plug(), STATUS_SUCCESS);
        }
        Tap().powerAtDispatch = true;
        ASSERT_EQ(kernel.SetSystemPower(PowerSystemSleeping3), STATUS_SUCCESS);
        ASSERT_EQ(kernel.SetSystemPower(PowerSystemWorking), STATUS_SUCCESS);
        Tap().powerAtDispatch = false;
        EXPECT_FALSE(ext->Stopped);
    }
}

INSTANTIATE_TEST_SUITE_P(EverySystem, SystemsTest,
                         ::testing::Values(System::Windows98, System::Windows2000,
                                           System::WindowsXP));

} // namespace
} // namespace touch_testing
