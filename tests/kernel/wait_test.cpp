// Events, waits and timed events on the virtual clock.
#include "tests/support/kernel_fixture.h"

#include <string>
#include <vector>

namespace {

using platform::kernel::Kernel;

constexpr uint64_t kMs = 10'000;

LARGE_INTEGER Relative(uint64_t units) {
    LARGE_INTEGER timeout;
    timeout.QuadPart = -static_cast<LONGLONG>(units);
    return timeout;
}

class WaitTest : public kernel_testing::KernelFixture {
protected:
    KEVENT event;
    WaitTest() { KeInitializeEvent(&event, NotificationEvent, FALSE); }
};

TEST_F(WaitTest, TimeoutMovesTheClockToTheDeadline) {
    kernel.AdvanceTime(3 * kMs);
    LARGE_INTEGER timeout = Relative(1200 * kMs);
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &timeout),
              STATUS_TIMEOUT);
    EXPECT_EQ(kernel.Now(), 1203 * kMs);
}

TEST_F(WaitTest, EventScheduledAtTWakesTheWaiterAtT) {
    kernel.Schedule(40 * kMs, [this] { KeSetEvent(&event, IO_NO_INCREMENT, FALSE); });
    kernel.Schedule(90 * kMs, [] { ADD_FAILURE() << "ran past the wake-up"; });
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(kernel.Now(), 40 * kMs);
    kernel.Cancel(kernel.Schedule(50 * kMs, [] { ADD_FAILURE() << "cancelled event ran"; }));
}

TEST_F(WaitTest, EventsDueAfterTheDeadlineDoNotRun) {
    bool ran = false;
    kernel.Schedule(20 * kMs, [&] { ran = true; });
    LARGE_INTEGER timeout = Relative(10 * kMs);
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &timeout),
              STATUS_TIMEOUT);
    EXPECT_FALSE(ran);
    kernel.AdvanceTime(10 * kMs);
    EXPECT_TRUE(ran);
}

TEST_F(WaitTest, SignalledEventIsNotWaitedFor) {
    KeSetEvent(&event, IO_NO_INCREMENT, FALSE);
    LARGE_INTEGER timeout = Relative(10 * kMs);
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &timeout),
              STATUS_SUCCESS);
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &timeout),
              STATUS_SUCCESS);
    EXPECT_EQ(kernel.Now(), 0u);
}

TEST_F(WaitTest, SynchronizationEventWakesOneWaitAndResets) {
    KEVENT gate;
    KeInitializeEvent(&gate, SynchronizationEvent, TRUE);
    LARGE_INTEGER timeout = Relative(kMs);
    EXPECT_EQ(KeWaitForSingleObject(&gate, Executive, KernelMode, FALSE, &timeout), STATUS_SUCCESS);
    EXPECT_EQ(KeReadStateEvent(&gate), 0);
    EXPECT_EQ(KeWaitForSingleObject(&gate, Executive, KernelMode, FALSE, &timeout), STATUS_TIMEOUT);
}

TEST_F(WaitTest, WaitThatNothingCanEndIsADeadlock) {
    ExpectViolation("deadlock");
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr),
              STATUS_UNSUCCESSFUL);
}

TEST_F(WaitTest, WaitWithATimeoutAtDispatchLevelIsReported) {
    ExpectViolation("wait-at-dispatch");
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    LARGE_INTEGER zero = Relative(0);
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &zero), STATUS_TIMEOUT);
    EXPECT_EQ(CountViolations("wait-at-dispatch"), 0u); // polling is allowed
    LARGE_INTEGER timeout = Relative(kMs);
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &timeout),
              STATUS_TIMEOUT);
    EXPECT_EQ(CountViolations("wait-at-dispatch"), 1u);
    EXPECT_EQ(kernel.Now(), 0u); // it did not wait
    KeLowerIrql(old);
}

TEST_F(WaitTest, DelayRunsTheEventsDueMeanwhile) {
    std::vector<int> order;
    kernel.Schedule(30 * kMs, [&] { order.push_back(3); });
    kernel.Schedule(10 * kMs, [&] { order.push_back(1); });
    kernel.Schedule(10 * kMs, [&] { order.push_back(2); }); // same time: scheduling order
    LARGE_INTEGER interval = Relative(100 * kMs);
    EXPECT_EQ(KeDelayExecutionThread(KernelMode, FALSE, &interval), STATUS_SUCCESS);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(kernel.Now(), 100 * kMs);
}

TEST_F(WaitTest, TimedEventsRunAtTheirIrql) {
    std::vector<KIRQL> seen;
    kernel.Schedule(kMs, [&] { seen.push_back(KeGetCurrentIrql()); });
    kernel.Schedule(
        kMs, [&] { seen.push_back(KeGetCurrentIrql()); }, PASSIVE_LEVEL);
    kernel.RunNextEvent(0);
    EXPECT_TRUE(seen.empty()); // not due yet
    kernel.AdvanceTime(kMs);
    EXPECT_EQ(seen, (std::vector<KIRQL>{DISPATCH_LEVEL, PASSIVE_LEVEL}));
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
}

TEST_F(WaitTest, EventLeavingItsIrqlRaisedIsReported) {
    ExpectViolation("irql-not-restored");
    kernel.Schedule(
        0,
        [] {
            KIRQL old;
            KeRaiseIrql(DISPATCH_LEVEL, &old);
        },
        PASSIVE_LEVEL);
    kernel.RunDueEvents();
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
}

TEST_F(WaitTest, TickCountAndTimeFollowTheClock) {
    EXPECT_EQ(KeQueryTimeIncrement(), 156250u);
    kernel.AdvanceTime(156250 * 3 + 5);
    LARGE_INTEGER ticks;
    KeQueryTickCount(&ticks);
    EXPECT_EQ(ticks.QuadPart, 3);
    kernel.SetTickLength(100000);
    KeQueryTickCount(&ticks);
    EXPECT_EQ(ticks.QuadPart, 4);
    LARGE_INTEGER before, after;
    KeQuerySystemTime(&before);
    kernel.AdvanceTime(7);
    KeQuerySystemTime(&after);
    EXPECT_EQ(after.QuadPart - before.QuadPart, 7);
}

} // namespace
