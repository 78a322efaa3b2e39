// Port recovery after data errors: repeated resets, resuming, giving up, and
// a stop that meets a reset still outstanding.
#include "tests/touch/reader_harness.h"

namespace touch_testing {
namespace {

using machine::devices::MakeTouchReport;
using machine::devices::TransferFault;
using platform::kernel::AllocationRequest;

using RecoveryTest = ScreenTest;

TEST_F(RecoveryTest, ResetsRepeatWhileTheyReportDataErrorsThenReadingResumes) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    const size_t reads = ReadsSent();
    Model().FailResets(2);
    Model().FailTransfers(TransferFault::DataError, 1);
    Advance(1);

    EXPECT_EQ(Model().Resets(), 3u);
    EXPECT_EQ(Tap().Count("reset"), 3u);
    EXPECT_EQ(ReadsSent(), reads + 1); // only after the good reset and port check
    EXPECT_FALSE(ext->ResetInFlight);
    EXPECT_FALSE(ext->RecoveryInFlight);
    EXPECT_EQ(kernel.QueuedWorkItems(), 0u);

    Model().SendReport(MakeTouchReport(0x81, 10, 20));
    Advance(1);
    EXPECT_EQ(PopAll().size(), 1u);
}

TEST_F(RecoveryTest, ResetEndingWithAnotherErrorLeavesTheReaderIdle) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    const size_t reads = ReadsSent();
    Tap().resetResults.push_back(STATUS_DEVICE_NOT_CONNECTED);
    Model().FailTransfers(TransferFault::DataError, 1);
    Advance(5);

    EXPECT_EQ(Tap().Count("reset"), 1u);
    EXPECT_EQ(ReadsSent(), reads);
    EXPECT_FALSE(ext->Stopped);
    EXPECT_FALSE(ext->RecoveryInFlight);
}

TEST_F(RecoveryTest, FailedPortCheckAfterAGoodResetLeavesTheReaderIdle) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    const size_t reads = ReadsSent();
    kernel.SetAllocationFilter([this](const AllocationRequest& request) {
        // Once the reset is out, the port check cannot build its request.
        return request.kind == AllocationRequest::Kind::Irp && Tap().Count("reset") > 0;
    });
    Model().FailTransfers(TransferFault::DataError, 1);
    Advance(1);
    kernel.SetAllocationFilter(nullptr);

    EXPECT_EQ(Model().Resets(), 1u);
    EXPECT_EQ(ReadsSent(), reads);
    EXPECT_FALSE(ext->ReadInFlight);
    EXPECT_FALSE(ext->RecoveryInFlight);
    EXPECT_FALSE(ext->Stopped);
}

TEST_F(RecoveryTest, StopWaitsForAnOutstandingResetAndReadsNoMore) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    const size_t reads = ReadsSent();
    Tap().resetResults.push_back(STATUS_SUCCESS);
    Tap().resetDelay = 300 * kMs;
    Model().FailTransfers(TransferFault::DataError, 1);
    Advance(1);
    ASSERT_EQ(Tap().Count("reset"), 1u);
    ASSERT_TRUE(ext->RecoveryInFlight);

    const uint64_t before = kernel.Now();
    ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);
    EXPECT_GE(kernel.Now() - before, 299 * kMs);
    EXPECT_FALSE(ext->RecoveryInFlight);
    EXPECT_FALSE(ext->ResetInFlight);
    EXPECT_EQ(kernel.QueuedWorkItems(), 0u);
    EXPECT_EQ(Tap().Count("status"), 1u); // no port check after the late reset
    EXPECT_EQ(ReadsSent(), reads);

    ASSERT_EQ(kernel.RestartDevice(Node()), STATUS_SUCCESS);
    EXPECT_EQ(ReadsSent(), reads + 1);
}

// The recovery's work item lives in the device context; only the reset
// request is allocated, and without it the reader is idle.
TEST_F(RecoveryTest, NoMemoryForTheResetRequestLeavesTheReaderIdle) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    const size_t reads = ReadsSent();
    kernel.SetAllocationFilter([](const AllocationRequest& request) {
        return request.kind == AllocationRequest::Kind::Irp;
    });
    Model().FailTransfers(TransferFault::DataError, 1);
    Advance(1);
    kernel.SetAllocationFilter(nullptr);
    EXPECT_EQ(Tap().Count("reset"), 0u);
    EXPECT_EQ(ReadsSent(), reads);
    EXPECT_FALSE(ext->RecoveryInFlight);
    ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);
    ASSERT_EQ(kernel.RestartDevice(Node()), STATUS_SUCCESS);
}

} // namespace
} // namespace touch_testing
