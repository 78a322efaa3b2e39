// Points from a touch driver the test drives step by step, through the
// point queue, to read-report requests the test sends itself.
#include "tests/hid/hid_harness.h"
#include "tests/support/fake_touch_feed.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace hid_testing {
namespace {

class BridgeFeedTest : public input_testing::FakeTouchFeed<HidStackTest> {
protected:
    platform::input::HidClassOptions ClassOptions() override {
        return {1024, 768, /*keepReading=*/false};
    }

    std::unique_ptr<ReadRequest> Read(ULONG length = BRIDGE_REPORT_LENGTH) {
        return std::make_unique<ReadRequest>(Device(), length);
    }
    static Bytes Point(UCHAR button, USHORT x, USHORT y) {
        return {button, UCHAR(x), UCHAR(x >> 8), UCHAR(y), UCHAR(y >> 8)};
    }
};

TEST_F(BridgeFeedTest, ReportIsThePointByteForByte) {
    PlugBoth();
    auto read = Read();
    EXPECT_EQ(read->Returned(), STATUS_PENDING);
    EXPECT_FALSE(read->Done());
    touch->CompleteWithPoint(1, 0x1234, 0xABCD);
    ASSERT_TRUE(read->Done());
    EXPECT_EQ(read->Status(), STATUS_SUCCESS);
    EXPECT_EQ(read->Report(), (Bytes{0x01, 0x34, 0x12, 0xCD, 0xAB}));
    EXPECT_EQ(touch->HeldCount(), 1u); // the chain goes on
}

TEST_F(BridgeFeedTest, OnlyFiveByteReadsAreAccepted) {
    PlugBoth();
    for (ULONG length : {4u, 6u, 0u}) {
        auto read = Read(length);
        EXPECT_EQ(read->Returned(), STATUS_BUFFER_TOO_SMALL) << length;
        EXPECT_EQ(read->Information(), 0u);
    }
    auto exact = Read();
    EXPECT_EQ(exact->Returned(), STATUS_PENDING);
    FlushPendingReads(Bridge());
    EXPECT_EQ(exact->Status(), STATUS_NO_SUCH_DEVICE);
}

TEST_F(BridgeFeedTest, ElevenPointsWithoutAReaderLoseTheFirst) {
    PlugBoth();
    for (USHORT i = 1; i <= 11; ++i)
        touch->CompleteWithPoint(0, i, USHORT(100 + i));
    for (USHORT i = 2; i <= 11; ++i) {
        auto read = Read();
        ASSERT_EQ(read->Returned(), STATUS_SUCCESS) << i;
        EXPECT_EQ(read->Report(), Point(0, i, USHORT(100 + i)));
    }
    auto last = Read();
    EXPECT_EQ(last->Returned(), STATUS_PENDING);
    FlushPendingReads(Bridge());
    EXPECT_EQ(last->Status(), STATUS_NO_SUCH_DEVICE);
}

TEST_F(BridgeFeedTest, OnePointAnswersOnlyTheOldestHeldRead) {
    PlugBoth();
    auto older = Read();
    auto newer = Read();
    touch->CompleteWithPoint(0, 7, 8);
    EXPECT_TRUE(older->Done());
    EXPECT_EQ(older->Report(), Point(0, 7, 8));
    EXPECT_FALSE(newer->Done());
    touch->CompleteWithPoint(1, 9, 10);
    EXPECT_EQ(newer->Report(), Point(1, 9, 10));
}

TEST_F(BridgeFeedTest, StopGivesHeldReadsBackAndKeepsQueuedPoints) {
    PlugBoth();
    auto held = Read();
    ASSERT_EQ(kernel.StopDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(held->Status(), STATUS_NO_SUCH_DEVICE);
    EXPECT_EQ(touch->Releases(), 1u);
    EXPECT_EQ(touch->HeldCount(), 0u);

    ASSERT_EQ(kernel.RestartDevice(node), STATUS_SUCCESS);
    touch->CompleteWithPoint(0, 1, 1);
    touch->CompleteWithPoint(0, 2, 2);
    ASSERT_EQ(kernel.StopDevice(node), STATUS_SUCCESS);
    // Reads are answered in every state while points wait.
    EXPECT_EQ(Read()->Report(), Point(0, 1, 1));
    ASSERT_EQ(kernel.RestartDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(Read()->Report(), Point(0, 2, 2));
}

TEST_F(BridgeFeedTest, SecondStopFlushesAgainWithoutARelease) {
    PlugBoth();
    ASSERT_EQ(kernel.StopDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(touch->Releases(), 1u);
    auto held = Read();
    EXPECT_EQ(held->Returned(), STATUS_PENDING);
    EXPECT_EQ(SendPnp(Device(), IRP_MN_STOP_DEVICE).status, STATUS_SUCCESS);
    EXPECT_EQ(held->Status(), STATUS_NO_SUCH_DEVICE);
    EXPECT_EQ(touch->Releases(), 1u);
}

TEST_F(BridgeFeedTest, TheFirstReadOfANewLinkWaitsAHundredMilliseconds) {
    ASSERT_EQ(PlugBridge(), STATUS_SUCCESS);
    touch.emplace();
    uint64_t readAt = 0;
    touch->onRead = [&](PIRP) { readAt = kernel.Now(); };
    const uint64_t arrival = kernel.Now();
    touch->SetInterface(true);
    kernel.RunDueEvents();
    EXPECT_EQ(Link()->TouchDeviceObject, touch->Device());
    EXPECT_EQ(touch->HeldCount(), 1u);
    EXPECT_EQ(readAt - arrival, 100 * kMs);
}

TEST_F(BridgeFeedTest, AHeldReadCanBeCancelledBySender) {
    PlugBoth();
    auto first = Read();
    auto second = Read();
    auto third = Read();
    EXPECT_TRUE(second->Cancel());
    EXPECT_EQ(second->Status(), STATUS_CANCELLED);
    EXPECT_EQ(second->Information(), 0u);
    EXPECT_FALSE(second->Cancel());                               // nothing left to cancel
    EXPECT_EQ(kernel.OutstandingPoolBlocks(BRIDGE_POOL_TAG), 3u); // and the notification context

    touch->CompleteWithPoint(0, 1, 1);
    touch->CompleteWithPoint(0, 2, 2);
    EXPECT_EQ(first->Report(), Point(0, 1, 1));
    EXPECT_EQ(third->Report(), Point(0, 2, 2));
    EXPECT_EQ(kernel.OutstandingPoolBlocks(BRIDGE_POOL_TAG), 1u); // the notification context
}

TEST_F(BridgeFeedTest, NoMemoryForAHeldReadFailsOnlyThatRead) {
    PlugBoth();
    auto held = Read();
    kernel.SetAllocationFilter([](const platform::kernel::AllocationRequest& request) {
        return request.tag == BRIDGE_POOL_TAG;
    });
    auto failed = Read();
    kernel.SetAllocationFilter(nullptr);
    EXPECT_EQ(failed->Returned(), STATUS_NO_MEMORY);
    touch->CompleteWithPoint(1, 3, 4);
    EXPECT_EQ(held->Report(), Point(1, 3, 4));
}

TEST_F(BridgeFeedTest, ReArrivalWhileTheOldReadIsHeldKeepsOneChain) {
    PlugBoth();
    touch->SetInterface(false);
    kernel.RunDueEvents();
    EXPECT_EQ(Link()->TouchDeviceObject, nullptr);
    touch->SetInterface(true);
    kernel.RunDueEvents();
    EXPECT_EQ(touch->Reads(), 1u); // the old read still carries the chain
    auto read = Read();
    touch->CompleteWithPoint(0, 5, 6);
    EXPECT_EQ(read->Report(), Point(0, 5, 6));
    EXPECT_EQ(touch->HeldCount(), 1u);
    EXPECT_EQ(touch->Reads(), 2u);
}

TEST_F(BridgeFeedTest, SurpriseRemovalEndsTheFeedAndTheRemovalDeletesTheDevice) {
    PlugBoth();
    auto held = Read();
    kernel.SurpriseRemoveDevice(node);
    kernel.RunDueEvents();
    EXPECT_EQ(held->Status(), STATUS_NO_SUCH_DEVICE);
    EXPECT_EQ(touch->HeldCount(), 0u);
    EXPECT_EQ(kernel.StateOf(node), DeviceState::Removed);
    EXPECT_EQ(rootPdo->AttachedDevice, nullptr);
    EXPECT_EQ(root.Count("pnp 17"), 1u);
}

// A read-report request races a point that completes the link's read on
// another thread: FeedLock makes the request either take the point or be
// held before the point looks for a held request, so none is stranded with
// a point waiting.
TEST_F(BridgeFeedTest, ReadsAndPointsOnTwoThreadsLoseNothing) {
    kernel.SetRealThreadWaits(true, std::chrono::seconds(10));
    PlugBoth();
    constexpr USHORT kPoints = 400;
    std::atomic<int> taken{0};
    std::thread feeder([&] {
        for (USHORT i = 1; i <= kPoints; ++i) {
            // One point at a time, each only once the previous is taken, so
            // that the queue never overflows.
            while (taken.load() < i - 1)
                std::this_thread::yield();
            while (!touch->CompleteIfHeld(STATUS_SUCCESS, TOUCH_POINT{0, i, i}))
                std::this_thread::yield();
        }
    });
    for (USHORT i = 1; i <= kPoints; ++i) {
        ReadRequest read(Device());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!read.Done() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        ASSERT_TRUE(read.Done()) << "read " << i << " stranded";
        ASSERT_EQ(read.Report(), Point(0, i, i));
        taken.store(i);
    }
    feeder.join();
}

// The sender cancels held reads while points answer them: each read ends
// exactly once, with a point or cancelled, and no node is left behind.
TEST_F(BridgeFeedTest, CancelAndPointsRaceWithoutDoubleCompletion) {
    kernel.SetRealThreadWaits(true, std::chrono::seconds(10));
    PlugBoth();
    std::atomic<bool> running{true};
    std::thread feeder([&] {
        USHORT x = 0;
        while (running.load())
            if (!touch->CompleteIfHeld(STATUS_SUCCESS, TOUCH_POINT{0, ++x, x}))
                std::this_thread::yield();
    });
    int answered = 0;
    for (int i = 0; i < 300; ++i) {
        ReadRequest read(Device());
        read.Cancel();
        while (!read.Done())
            std::this_thread::yield();
        answered += read.Status() == STATUS_SUCCESS;
        ASSERT_TRUE(read.Status() == STATUS_SUCCESS || read.Status() == STATUS_CANCELLED);
    }
    running.store(false);
    feeder.join();
    FlushPendingReads(Bridge());
    EXPECT_EQ(kernel.OutstandingPoolBlocks(BRIDGE_POOL_TAG), 1u); // the notification context
    RecordProperty("answered", answered);
}

// A completion re-arms at the moment the device stops: the stop waits for
// that read to reach the touch driver, releases it and returns only then.
TEST_F(BridgeFeedTest, StopWaitsForAReadThatIsBeingReArmed) {
    kernel.SetRealThreadWaits(true, std::chrono::seconds(10));
    PlugBoth();
    StopWhileAReadIsReArmed();
    EXPECT_EQ(touch->HeldCount(), 0u);
    EXPECT_EQ(Link()->ReadIrp, nullptr);
    EXPECT_EQ(touch->Releases(), 1u);
    EXPECT_EQ(Read()->Report(), Point(0, 1, 1)); // the point still waits
}

} // namespace
} // namespace hid_testing
