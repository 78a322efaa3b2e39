// Work items and remove locks.
#include "tests/kernel/pnp_drivers.h"

namespace pnp_test {
namespace {

inline int gRuns = 0;
inline KIRQL gRunIrql = 0xff;

VOID CountRun(PDEVICE_OBJECT, PVOID context) {
    ++gRuns;
    gRunIrql = KeGetCurrentIrql();
    if (context)
        *static_cast<uint64_t*>(context) = platform::kernel::Kernel::Current().Now();
}

class WorkItemTest : public PnpFixture {
protected:
    WorkItemTest() {
        gRuns = 0;
        gRunIrql = 0xff;
    }
};

TEST_F(WorkItemTest, QueuedItemRunsAtPassiveFromTheScheduler) {
    PIO_WORKITEM item = IoAllocateWorkItem(CreatePdo());
    ASSERT_NE(item, nullptr);
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old); // queued from a completion routine, say
    IoQueueWorkItem(item, CountRun, DelayedWorkQueue, nullptr);
    KeLowerIrql(old);
    EXPECT_EQ(gRuns, 0);
    EXPECT_EQ(kernel.QueuedWorkItems(), 1u);
    kernel.RunDueEvents();
    EXPECT_EQ(gRuns, 1);
    EXPECT_EQ(gRunIrql, PASSIVE_LEVEL);
    IoQueueWorkItem(item, CountRun, DelayedWorkQueue, nullptr); // reusable once it ran
    kernel.RunDueEvents();
    EXPECT_EQ(gRuns, 2);
    IoFreeWorkItem(item);
}

TEST_F(WorkItemTest, QueueingTwiceAndFreeingWhileQueuedAreReported) {
    ExpectViolation("workitem-double-queue");
    ExpectViolation("workitem-free-queued");
    PIO_WORKITEM item = IoAllocateWorkItem(CreatePdo());
    IoQueueWorkItem(item, CountRun, DelayedWorkQueue, nullptr);
    IoQueueWorkItem(item, CountRun, DelayedWorkQueue, nullptr);
    IoFreeWorkItem(item);
    kernel.RunDueEvents();
    EXPECT_EQ(gRuns, 1);
    IoFreeWorkItem(item);
}

VOID CountExecutiveRun(PVOID context) {
    CountRun(nullptr, context);
}

// ExQueueWorkItem (the one kind Windows 98 has): the caller's item runs once
// at passive level, and may be queued again once it ran, not before.
TEST_F(WorkItemTest, ExecutiveItemRunsAtPassiveOncePerQueueing) {
    WORK_QUEUE_ITEM item;
    ExInitializeWorkItem(&item, CountExecutiveRun, nullptr);
    ExpectViolation("workitem-double-queue");
    ExQueueWorkItem(&item, DelayedWorkQueue);
    ExQueueWorkItem(&item, DelayedWorkQueue);
    EXPECT_EQ(kernel.QueuedWorkItems(), 1u);
    kernel.RunDueEvents();
    EXPECT_EQ(gRuns, 1);
    EXPECT_EQ(gRunIrql, PASSIVE_LEVEL);
    ExQueueWorkItem(&item, DelayedWorkQueue);
    kernel.RunDueEvents();
    EXPECT_EQ(gRuns, 2);
}

TEST_F(WorkItemTest, UnloadWithAQueuedItemIsReported) {
    ExpectViolation("workitem-queued-at-unload");
    ExpectViolation("workitem-leak");
    PIO_WORKITEM item = IoAllocateWorkItem(CreatePdo());
    IoQueueWorkItem(item, CountRun, DelayedWorkQueue, nullptr);
    IoDeleteDevice(pdos.at(0));
    pdos.clear();
    kernel.UnloadDriver(bus);
    bus = kernel.LoadDriver("testbus2", BusEntry);
}

// --- Remove locks

class RemoveLockTest : public kernel_testing::KernelFixture {
protected:
    IO_REMOVE_LOCK lock;
    RemoveLockTest() { IoInitializeRemoveLock(&lock, 0, 0, 0); }
};

TEST_F(RemoveLockTest, ReleaseAndWaitWaitsForOutstandingHolders) {
    int holder;
    ASSERT_EQ(IoAcquireRemoveLock(&lock, &holder), STATUS_SUCCESS);
    ASSERT_EQ(IoAcquireRemoveLock(&lock, this), STATUS_SUCCESS);
    kernel.Schedule(7 * kMs, [&] { IoReleaseRemoveLock(&lock, &holder); });
    IoReleaseRemoveLockAndWait(&lock, this);
    EXPECT_EQ(kernel.Now(), 7 * kMs);
    EXPECT_EQ(IoAcquireRemoveLock(&lock, &holder), STATUS_DELETE_PENDING);
}

TEST_F(RemoveLockTest, WaitingForAHolderThatNeverReleasesIsADeadlock) {
    ExpectViolation("deadlock");
    IoAcquireRemoveLock(&lock, &lock);
    IoAcquireRemoveLock(&lock, this);
    IoReleaseRemoveLockAndWait(&lock, this);
}

TEST_F(RemoveLockTest, ReleasingMoreThanAcquiredIsReported) {
    ExpectViolation("remove-lock-underflow");
    IoAcquireRemoveLock(&lock, this);
    IoReleaseRemoveLockAndWait(&lock, this);
    IoReleaseRemoveLock(&lock, this);
}

} // namespace
} // namespace pnp_test
