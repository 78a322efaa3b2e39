// Pool records, the verifier's pool rules and the low-resources switch.
#include "tests/kernel/test_driver.h"

namespace kernel_test {
namespace {

constexpr ULONG kTag = 0x7265734d; // 'Mser'

class PoolTest : public kernel_testing::KernelFixture {};

TEST_F(PoolTest, FreshBlocksAreNotZeroed) {
    auto block = static_cast<unsigned char*>(ExAllocatePoolWithTag(NonPagedPool, 16, kTag));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::count(block, block + 16, 0), 0);
    EXPECT_EQ(kernel.OutstandingPoolBlocks(kTag), 1u);
    EXPECT_EQ(kernel.OutstandingPoolBlocks(0x11111111), 0u);
    ExFreePoolWithTag(block, kTag);
    EXPECT_EQ(kernel.OutstandingPoolBlocks(), 0u);
}

TEST_F(PoolTest, BlockLeftAtTeardownIsALeak) {
    ExpectViolation("pool-leak");
    ExAllocatePoolWithTag(NonPagedPool, 24, kTag);
    ExAllocatePoolWithTag(NonPagedPool, 8, kTag);
    kernel.CheckForLeaks();
    EXPECT_EQ(CountViolations("pool-leak"), 2u);
    EXPECT_NE(kernel.Violations().back().detail.find("'Mser' NonPagedPool 8 bytes"),
              std::string::npos);
}

TEST_F(PoolTest, FreeingUnderAnotherTagIsReported) {
    ExpectViolation("pool-tag-mismatch");
    PVOID block = ExAllocatePoolWithTag(NonPagedPool, 8, kTag);
    ExFreePoolWithTag(block, 0x72657373);          // 'sser'
    EXPECT_EQ(kernel.OutstandingPoolBlocks(), 0u); // freed all the same
}

TEST_F(PoolTest, DoubleAndBadFreesAreReported) {
    ExpectViolation("pool-double-free");
    ExpectViolation("pool-bad-free");
    PVOID block = ExAllocatePoolWithTag(NonPagedPool, 8, kTag);
    ExFreePoolWithTag(block, kTag);
    ExFreePoolWithTag(block, kTag);
    int local = 0;
    ExFreePool(&local);
}

TEST_F(PoolTest, PagedPoolAtDispatchLevelIsReportedAndRefused) {
    ExpectViolation("pool-paged-at-dispatch");
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    EXPECT_EQ(ExAllocatePoolWithTag(PagedPool, 8, kTag), nullptr);
    PVOID resident = ExAllocatePoolWithTag(NonPagedPool, 8, kTag);
    EXPECT_NE(resident, nullptr);
    KeLowerIrql(old);
    ExFreePoolWithTag(resident, kTag);
}

// --- Low resources

class LowResourcesTest : public IoFixture {};

TEST_F(LowResourcesTest, ChosenAllocationsFail) {
    std::vector<platform::kernel::AllocationRequest> seen;
    kernel.SetAllocationFilter([&](const platform::kernel::AllocationRequest& request) {
        seen.push_back(request);
        return (request.kind == platform::kernel::AllocationRequest::Kind::Pool &&
                request.tag == kTag && request.serial == 2) ||
               request.kind == platform::kernel::AllocationRequest::Kind::Irp;
    });
    PVOID first = ExAllocatePoolWithTag(NonPagedPool, 4, kTag);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(ExAllocatePoolWithTag(NonPagedPool, 4, kTag), nullptr);
    PVOID third = ExAllocatePoolWithTag(NonPagedPool, 4, kTag);
    EXPECT_NE(third, nullptr);
    EXPECT_EQ(IoAllocateIrp(2, FALSE), nullptr);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[3].serial, 1u); // serials count per kind
    EXPECT_EQ(seen[1].bytes, 4u);
    ExFreePoolWithTag(first, kTag);
    ExFreePoolWithTag(third, kTag);
}

TEST_F(LowResourcesTest, DeviceObjectAndRequestBuffersCanFail) {
    using Kind = platform::kernel::AllocationRequest::Kind;
    kernel.SetAllocationFilter([](const platform::kernel::AllocationRequest& request) {
        return request.kind == Kind::DeviceObject || request.kind == Kind::Pool;
    });
    PDEVICE_OBJECT device = nullptr;
    EXPECT_EQ(IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device),
              STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(device, nullptr);
    kernel.SetAllocationFilter(nullptr);
    PDEVICE_OBJECT top = CreateStack({CompleteRequest});
    kernel.SetAllocationFilter([](const platform::kernel::AllocationRequest& request) {
        return request.kind == Kind::Pool;
    });
    char buffer[4];
    IO_STATUS_BLOCK iosb;
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    EXPECT_EQ(IoBuildDeviceIoControlRequest(CTL_CODE(0x22, 1, METHOD_BUFFERED, 0), top, buffer, 4,
                                            buffer, 4, FALSE, &event, &iosb),
              nullptr);
    EXPECT_EQ(kernel.OutstandingIrps(), 0u);
}

} // namespace
} // namespace kernel_test
