// Kernel objects shared by real host threads: spin locks, interlocked lists,
// events and requests completed on another thread. Run under ThreadSanitizer.
#include "tests/kernel/test_driver.h"

#include <atomic>
#include <thread>

namespace kernel_test {
namespace {

constexpr int kThreads = 4;
constexpr int kPerThread = 300;
constexpr ULONG kTag = 0x74736554; // 'Test'

struct Node {
    LIST_ENTRY link;
    int value;
};

class ThreadsTest : public IoFixture {
protected:
    ThreadsTest() { kernel.SetRealThreadWaits(true, std::chrono::milliseconds(20000)); }
};

TEST_F(ThreadsTest, ProducersAndAConsumerShareAnInterlockedList) {
    KSPIN_LOCK listLock, counterLock;
    KeInitializeSpinLock(&listLock);
    KeInitializeSpinLock(&counterLock);
    LIST_ENTRY head;
    InitializeListHead(&head);
    KEVENT ready;
    KeInitializeEvent(&ready, SynchronizationEvent, FALSE);
    long lockedCount = 0;
    volatile LONG interlockedCount = 0;

    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                auto node =
                    static_cast<Node*>(ExAllocatePoolWithTag(NonPagedPool, sizeof(Node), kTag));
                node->value = t * kPerThread + i;
                ExInterlockedInsertTailList(&head, &node->link, &listLock);
                KeSetEvent(&ready, IO_NO_INCREMENT, FALSE);
                KIRQL old;
                KeAcquireSpinLock(&counterLock, &old);
                EXPECT_EQ(KeGetCurrentIrql(), DISPATCH_LEVEL);
                ++lockedCount;
                KeReleaseSpinLock(&counterLock, old);
                InterlockedIncrement(&interlockedCount);
            }
        });
    }
    long long sum = 0;
    int received = 0;
    std::thread consumer([&] {
        while (received < kThreads * kPerThread) {
            PLIST_ENTRY entry = ExInterlockedRemoveHeadList(&head, &listLock);
            if (!entry) {
                ASSERT_EQ(KeWaitForSingleObject(&ready, Executive, KernelMode, FALSE, nullptr),
                          STATUS_SUCCESS);
                continue;
            }
            Node* node = CONTAINING_RECORD(entry, Node, link);
            sum += node->value;
            ++received;
            ExFreePoolWithTag(node, kTag);
        }
    });
    for (auto& producer : producers)
        producer.join();
    consumer.join();
    const int total = kThreads * kPerThread;
    EXPECT_EQ(received, total);
    EXPECT_EQ(sum, static_cast<long long>(total) * (total - 1) / 2);
    EXPECT_EQ(lockedCount, total);
    EXPECT_EQ(interlockedCount, total);
    EXPECT_TRUE(IsListEmpty(&head));
}

// Requests queued by the dispatch routine and completed by a worker thread.
inline LIST_ENTRY gQueue;
inline KSPIN_LOCK gQueueLock;
inline KEVENT gQueued;

NTSTATUS QueueRequest(PDEVICE_OBJECT device, PIRP irp) {
    UNREFERENCED_PARAMETER(device);
    IoMarkIrpPending(irp);
    ExInterlockedInsertTailList(&gQueue, &irp->Tail.Overlay.ListEntry, &gQueueLock);
    KeSetEvent(&gQueued, IO_NO_INCREMENT, FALSE);
    return STATUS_PENDING;
}

TEST_F(ThreadsTest, RequestsCompleteOnAnotherThread) {
    InitializeListHead(&gQueue);
    KeInitializeSpinLock(&gQueueLock);
    KeInitializeEvent(&gQueued, SynchronizationEvent, FALSE);
    PDEVICE_OBJECT top = CreateStack({QueueRequest, ForwardWithRoutineQuiet});
    const ULONG code = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x810, METHOD_BUFFERED, 0);

    std::thread completer([&] {
        for (int done = 0; done < kThreads * kPerThread / 4;) {
            PLIST_ENTRY entry = ExInterlockedRemoveHeadList(&gQueue, &gQueueLock);
            if (!entry) {
                KeWaitForSingleObject(&gQueued, Executive, KernelMode, FALSE, nullptr);
                continue;
            }
            PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
            auto value = *static_cast<ULONG*>(irp->AssociatedIrp.SystemBuffer);
            *static_cast<ULONG*>(irp->AssociatedIrp.SystemBuffer) = value * 2;
            irp->IoStatus.Status = STATUS_SUCCESS;
            irp->IoStatus.Information = sizeof(ULONG);
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            ++done;
        }
    });
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < kPerThread / 4; ++i) {
                KEVENT event;
                KeInitializeEvent(&event, NotificationEvent, FALSE);
                IO_STATUS_BLOCK iosb{};
                ULONG value = static_cast<ULONG>(t * 1000 + i);
                ULONG answer = 0;
                PIRP irp = IoBuildDeviceIoControlRequest(code, top, &value, sizeof value, &answer,
                                                         sizeof answer, TRUE, &event, &iosb);
                ASSERT_NE(irp, nullptr);
                if (IoCallDriver(top, irp) == STATUS_PENDING)
                    KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
                EXPECT_EQ(iosb.Status, STATUS_SUCCESS);
                EXPECT_EQ(answer, value * 2);
            }
        });
    }
    for (auto& sender : senders)
        sender.join();
    completer.join();
    EXPECT_EQ(kernel.OutstandingIrps(), 0u);
}

} // namespace
} // namespace kernel_test
