// A removal on another processor that samples "read in flight" or "recovery
// in flight" the moment a completion drops the reader lock. Finding the flag
// clear, it frees the requests and deletes the device at once; whatever the
// completion does after the lock must not touch the device.
#include "tests/touch/reader_harness.h"

namespace touch_testing {
namespace {

using machine::devices::TransferFault;

class WindowTest : public ScreenTest {
protected:
    // Stops the screen while the request behind flag outlives the stop's
    // limit; the first time its completion drops the reader lock with the
    // flag clear, the Plug and Play manager removes the screen right there.
    void RemoveInTheWindowOf(BOOLEAN TOUCH_DEVICE_EXTENSION::*flag) {
        ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);
        ASSERT_TRUE(ext->*flag);
        bool removed = false;
        kernel.SetLockReleaseHook([this, flag, &removed](PKSPIN_LOCK lock) {
            if (removed || lock != &ext->ReaderLock || ext->*flag)
                return;
            removed = true;
            EXPECT_EQ(kernel.RemoveDevice(Node()), STATUS_SUCCESS);
        });
        Advance(3000);
        kernel.SetLockReleaseHook(nullptr);
        EXPECT_TRUE(removed);
        EXPECT_EQ(kernel.StateOf(Node()), DeviceState::Removed);
        ext = nullptr;
    }
};

// A lower driver that cannot cancel keeps the read past the stop's limit.
TEST_F(WindowTest, RemovalRightAfterALateReadDropsTheLock) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    Tap().readResults.push_back(STATUS_CANCELLED);
    Tap().readDelay = 3000 * kMs;
    Model().SendReport(machine::devices::MakeTouchReport(0x81, 10, 20));
    Advance(1);
    RemoveInTheWindowOf(&TOUCH_DEVICE_EXTENSION::ReadInFlight);
}

// The same for a port reset the hub will not cancel.
TEST_F(WindowTest, RemovalRightAfterALateRecoveryDropsTheLock) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    Tap().resetResults.push_back(STATUS_SUCCESS);
    Tap().resetDelay = 3000 * kMs;
    Model().FailTransfers(TransferFault::DataError, 1);
    Advance(1);
    RemoveInTheWindowOf(&TOUCH_DEVICE_EXTENSION::RecoveryInFlight);
}

} // namespace
} // namespace touch_testing
