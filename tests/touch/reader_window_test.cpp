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
    // The first time the reader lock is dropped with the flag clear, the
    // Plug and Play manager removes the screen right there.
    void RemoveWhenDroppedWith(BOOLEAN TOUCH_DEVICE_EXTENSION::*flag) {
        kernel.SetLockReleaseHook([this, flag](PKSPIN_LOCK lock) {
            if (removed_ || lock != &ext->ReaderLock || ext->*flag)
                return;
            removed_ = true;
            EXPECT_EQ(kernel.RemoveDevice(Node()), STATUS_SUCCESS);
        });
    }

    void TearDown() override {
        kernel.SetLockReleaseHook(nullptr);
        ScreenTest::TearDown();
    }

    bool removed_ = false;
};

// A lower driver that cannot cancel keeps the read past the stop's limit.
TEST_F(WindowTest, RemovalRightAfterALateReadDropsTheLock) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    Tap().readResults.push_back(STATUS_CANCELLED);
    Tap().readDelay = 3000 * kMs;
    Model().SendReport(machine::devices::MakeTouchReport(0x81, 10, 20));
    Advance(1);
    ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);
    ASSERT_TRUE(ext->ReadInFlight);

    RemoveWhenDroppedWith(&TOUCH_DEVICE_EXTENSION::ReadInFlight);
    Advance(3000);
    EXPECT_TRUE(removed_);
    EXPECT_EQ(kernel.StateOf(Node()), DeviceState::Removed);
    ext = nullptr;
}

// The same for a port reset the hub will not cancel.
TEST_F(WindowTest, RemovalRightAfterALateRecoveryDropsTheLock) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    Tap().resetResults.push_back(STATUS_SUCCESS);
    Tap().resetDelay = 3000 * kMs;
    Model().FailTransfers(TransferFault::DataError, 1);
    Advance(1);
    ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);
    ASSERT_TRUE(ext->RecoveryInFlight);

    RemoveWhenDroppedWith(&TOUCH_DEVICE_EXTENSION::RecoveryInFlight);
    Advance(3000);
    EXPECT_TRUE(removed_);
    EXPECT_EQ(kernel.StateOf(Node()), DeviceState::Removed);
    ext = nullptr;
}

} // namespace
} // namespace touch_testing
