// The interrupt read: reports to points, how each final status of a read is
// handled, stopping a reader with a read in flight, the read request short
// of memory.
#include "tests/touch/reader_harness.h"

namespace touch_testing {
namespace {

using machine::devices::MakeTouchReport;
using Strings = std::vector<std::string>;

using ReaderTest = ScreenTest;

TEST_F(ReaderTest, ATouchBecomesPointsWhileOneReadStaysOutstanding) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    EXPECT_FALSE(ext->Stopped);
    EXPECT_EQ(InterfaceEnabled(), true);
    EXPECT_EQ(Port().HeldRequests(), 1u);

    InternalRequest held(ext->DeviceObject, IOCTL_TOUCH_READ_POINT);
    EXPECT_EQ(held.Send(), STATUS_PENDING);
    Model().Tap(100, 200, 25 * kMs);
    Advance(50);

    ASSERT_TRUE(held.Done());
    EXPECT_EQ(held.Status(), STATUS_SUCCESS);
    EXPECT_EQ(held.Information(), sizeof(TOUCH_POINT));
    EXPECT_FALSE(PopAll().empty());
    EXPECT_EQ(Port().HeldRequests(), 1u);
    EXPECT_GE(ReadsSent(), 4u); // press, holds, lift: one transfer each, and the next one
    EXPECT_EQ(kernel.OutstandingIrps(), 2u); // the point read and our one read request
}

struct StatusRow {
    const char* name;
    NTSTATUS status;
    bool decoded;
    Strings after; // what the driver sends once this read has ended
};

class ReadStatusTest : public ScreenTest, public ::testing::WithParamInterface<StatusRow> {};

// The read held at the hub ends with a real report; its re-armed successor
// ends with the status under test.
TEST_P(ReadStatusTest, FinalStatusDecidesDecodeRearmAndReset) {
    const StatusRow& row = GetParam();
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    Tap().readResults.push_back(row.status);
    const size_t start = Tap().Size();
    Model().SendReport(MakeTouchReport(0x81, 10, 20));
    Advance(1);

    Strings sent(Tap().log.begin() + static_cast<long>(start), Tap().log.end());
    Strings expected{"urb 09"};
    expected.insert(expected.end(), row.after.begin(), row.after.end());
    EXPECT_EQ(sent, expected);
    // The injected success leaves the last report in the buffer: decoded twice.
    EXPECT_EQ(PopAll().size(), row.decoded ? 2u : 1u);
    const bool reading = !row.after.empty() && row.after.back() == "urb 09";
    EXPECT_EQ(KeReadStateEvent(&ext->ReadDoneEvent) != 0, !reading);
    EXPECT_EQ(ext->ReadInFlight, reading);
    EXPECT_FALSE(ext->RecoveryInFlight);
    EXPECT_FALSE(ext->Stopped);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadStatusTest,
    ::testing::Values(
        StatusRow{"Success", STATUS_SUCCESS, true, {"urb 09"}},
        StatusRow{"Timeout", STATUS_IO_TIMEOUT, false, {"urb 09"}},
        StatusRow{"DataError", STATUS_DEVICE_DATA_ERROR, false, {"reset", "status", "urb 09"}},
        StatusRow{"DeletePending", STATUS_DELETE_PENDING, false, {}},
        StatusRow{"NotConnected", STATUS_DEVICE_NOT_CONNECTED, false, {}},
        StatusRow{"Cancelled", STATUS_CANCELLED, false, {}},
        StatusRow{"Other", STATUS_UNSUCCESSFUL, false, {}}),
    [](const ::testing::TestParamInfo<StatusRow>& info) { return info.param.name; });

TEST_F(ReaderTest, IdleReaderIgnoresStartsUntilTheNextStop) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    Tap().readResults.push_back(STATUS_UNSUCCESSFUL);
    Model().SendReport(MakeTouchReport(0x81, 10, 20));
    Advance(1);
    ASSERT_FALSE(ext->ReadInFlight);

    EXPECT_EQ(StartReader(ext), STATUS_SUCCESS);
    EXPECT_EQ(ext->ReadInFlight, FALSE);
    ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);
    ASSERT_EQ(kernel.RestartDevice(Node()), STATUS_SUCCESS);
    EXPECT_EQ(ext->ReadInFlight, TRUE);
    EXPECT_EQ(Port().HeldRequests(), 1u);
}

TEST_F(ReaderTest, StopReturnsWhenTheCancelledReadIsBackNotAfterTheLimit) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    InternalRequest held(ext->DeviceObject, IOCTL_TOUCH_READ_POINT);
    held.Send();
    const size_t reads = ReadsSent();
    const uint64_t before = kernel.Now();

    ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);
    const uint64_t took = kernel.Now() - before;
    EXPECT_GE(took, 100 * kMs); // the pause before the cancel
    EXPECT_LT(took, 200 * kMs);
    ASSERT_TRUE(held.Done());
    EXPECT_EQ(held.Status(), STATUS_CANCELLED);
    EXPECT_EQ(Port().HeldRequests(), 0u);
    EXPECT_FALSE(ext->ReadInFlight);
    EXPECT_EQ(ReadsSent(), reads);
    EXPECT_EQ(InterfaceEnabled(), false);

    // A report arriving while stopped is not read.
    Model().SendReport(MakeTouchReport(0x81, 10, 20));
    Advance(20);
    EXPECT_EQ(ReadsSent(), reads);
    EXPECT_TRUE(PopAll().empty());
}

// A lower driver that cannot cancel: the stop gives up after 1.2 s, but the
// removal must not free the request before it is back.
TEST_F(ReaderTest, RemovalWaitsForAReadThatOutlivedTheStop) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    Tap().readResults.push_back(STATUS_SUCCESS);
    Tap().readDelay = 5000 * kMs;
    Model().SendReport(MakeTouchReport(0x81, 10, 20));
    Advance(1);
    ASSERT_TRUE(ext->ReadInFlight);

    const uint64_t before = kernel.Now();
    ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);
    EXPECT_GE(kernel.Now() - before, 1300 * kMs); // pause + limit
    EXPECT_TRUE(ext->ReadInFlight);

    ASSERT_EQ(kernel.RemoveDevice(Node()), STATUS_SUCCESS);
    EXPECT_GE(kernel.Now() - before, 4900 * kMs); // until the late completion
    ext = nullptr;
}

TEST_F(ReaderTest, ReadRequestShortOfMemoryLeavesTheReaderIdleUntilRestarted) {
    bool failed = false;
    kernel.SetAllocationFilter([&](const platform::kernel::AllocationRequest& request) {
        // The first request allocated after the class request: the read.
        if (failed || request.kind != platform::kernel::AllocationRequest::Kind::Irp ||
            Tap().Count("urb 1b") == 0)
            return false;
        return failed = true;
    });
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    kernel.SetAllocationFilter(nullptr);
    EXPECT_TRUE(failed);
    EXPECT_EQ(ReadsSent(), 0u);
    EXPECT_FALSE(ext->Stopped);
    EXPECT_EQ(InterfaceEnabled(), true);

    ASSERT_EQ(kernel.StopDevice(Node()), STATUS_SUCCESS);
    ASSERT_EQ(kernel.RestartDevice(Node()), STATUS_SUCCESS);
    EXPECT_EQ(ReadsSent(), 1u);
    Model().SendReport(MakeTouchReport(0x81, 10, 20));
    Advance(1);
    EXPECT_EQ(PopAll().size(), 1u);
}

} // namespace
} // namespace touch_testing
