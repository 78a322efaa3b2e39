// Bulk and interrupt transfers: held until the device has data, cancelled,
// ended by errors and by pulling the device out.
#include "hub_fixture.h"

#include <atomic>
#include <thread>

namespace {

class TransferTest : public usbtest::HubTest {
protected:
    void SetUp() override {
        Plug();
        Configure();
    }
    usbtest::AsyncRequest& Read(USBD_PIPE_HANDLE pipe, ULONG length = 8) {
        return client_->Read(pipe, length);
    }
};

TEST_F(TransferTest, HeldUntilDataThenCompletedAtDispatchFromTheScheduler) {
    auto& read = Read(pipes_[0]);
    EXPECT_EQ(read.callStatus, STATUS_PENDING);
    EXPECT_EQ(read.urb.UrbHeader.Status, USBD_STATUS_PENDING);
    Advance(50 * usbtest::kMs);
    EXPECT_FALSE(read.done);
    EXPECT_EQ(Port().HeldRequests(), 1u);

    device_.Push(0x81, {USBD_STATUS_SUCCESS, {0, 0x81, 0x10, 0x02, 0x20, 0x03, 0, 0}});
    EXPECT_FALSE(read.done) << "data arrives through the clock, not inside the device's call";
    Advance(0);
    ASSERT_TRUE(read.done);
    EXPECT_EQ(read.finalStatus, STATUS_SUCCESS);
    EXPECT_EQ(read.completionIrql, DISPATCH_LEVEL);
    EXPECT_TRUE(read.pendingReturned);
    EXPECT_EQ(read.urb.UrbHeader.Status, USBD_STATUS_SUCCESS);
    EXPECT_EQ(read.Received(), std::vector<uint8_t>({0, 0x81, 0x10, 0x02, 0x20, 0x03, 0, 0}));
    EXPECT_EQ(Port().HeldRequests(), 0u);
}

TEST_F(TransferTest, LengthBecomesWhatWasCopied) {
    device_.Push(0x81, {USBD_STATUS_SUCCESS, {1, 2, 3, 4, 5, 6, 7, 8}});
    device_.Push(0x81, {USBD_STATUS_SUCCESS, {9, 9, 9}});
    auto& shortBuffer = Read(pipes_[0], 4);
    auto& longBuffer = Read(pipes_[0], 8);
    Advance(0);
    EXPECT_EQ(shortBuffer.Received(), std::vector<uint8_t>({1, 2, 3, 4}));
    EXPECT_EQ(longBuffer.Received(), std::vector<uint8_t>({9, 9, 9}));
    EXPECT_EQ(longBuffer.buffer[3], 0xCC);
}

TEST_F(TransferTest, DeviceErrorsEndTheTransferWithTheirStatus) {
    struct Case {
        USBD_STATUS usbd;
        NTSTATUS status;
    };
    const Case cases[] = {
        {USBD_STATUS_TIMEOUT, STATUS_IO_TIMEOUT},
        {USBD_STATUS_CRC, STATUS_DEVICE_DATA_ERROR},
        {USBD_STATUS_DEV_NOT_RESPONDING, STATUS_DEVICE_DATA_ERROR},
        {USBD_STATUS_STALL_PID, STATUS_UNSUCCESSFUL},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        auto& read = Read(pipes_[0]);
        device_.Push(0x81, {cases[i].usbd, {1, 2, 3}});
        Advance(0);
        ASSERT_TRUE(read.done) << i;
        EXPECT_EQ(read.finalStatus, cases[i].status) << i;
        EXPECT_EQ(read.urb.UrbHeader.Status, cases[i].usbd) << i;
        EXPECT_TRUE(read.Received().empty()) << i;
    }
}

TEST_F(TransferTest, CancelEndsAHeldTransfer) {
    auto& read = Read(pipes_[0]);
    ASSERT_NE(read.irp, nullptr);
    EXPECT_TRUE(IoCancelIrp(read.irp));
    ASSERT_TRUE(read.done);
    EXPECT_EQ(read.finalStatus, STATUS_CANCELLED);
    EXPECT_EQ(read.urb.UrbHeader.Status, USBD_STATUS_CANCELED);
    EXPECT_EQ(Port().HeldRequests(), 0u);

    device_.Push(0x81, {USBD_STATUS_SUCCESS, {1}}); // waits for the next transfer
    Advance(0);
    EXPECT_EQ(device_.Queued(), 1u);
}

TEST_F(TransferTest, BadTransfersFailAtOnce) {
    struct Case {
        const char* what;
        USBD_PIPE_HANDLE pipe;
        USBD_STATUS usbd;
        NTSTATUS status;
    };
    int stranger = 0;
    const Case cases[] = {
        {"unknown pipe", &stranger, USBD_STATUS_INVALID_PIPE_HANDLE, STATUS_INVALID_PARAMETER},
        {"OUT pipe", pipes_[2], USBD_STATUS_NOT_SUPPORTED, STATUS_NOT_SUPPORTED},
    };
    for (const Case& c : cases) {
        auto& read = Read(c.pipe);
        EXPECT_EQ(read.callStatus, c.status) << c.what;
        EXPECT_TRUE(read.done) << c.what;
        EXPECT_EQ(read.urb.UrbHeader.Status, c.usbd) << c.what;
    }
}

TEST_F(TransferTest, PullingOutEndsHeldTransfersAndFailsLaterOnes) {
    auto& read = Read(pipes_[0]);
    Port().PullOut();
    ASSERT_TRUE(read.done);
    EXPECT_EQ(read.finalStatus, STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(read.completionIrql, DISPATCH_LEVEL);
    EXPECT_EQ(read.urb.UrbHeader.Status, USBD_STATUS_DEVICE_GONE);

    auto& later = Read(pipes_[0]);
    EXPECT_EQ(later.callStatus, STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(later.urb.UrbHeader.Status, USBD_STATUS_DEVICE_GONE);
    uint8_t idle;
    URB classRequest = usbtest::ClassInterfaceUrb(2, &idle, 1);
    EXPECT_EQ(client_->Submit(&classRequest), STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(client_->Internal(IOCTL_INTERNAL_USB_RESET_PORT, nullptr),
              STATUS_DEVICE_NOT_CONNECTED);
}

TEST_F(TransferTest, UnconfiguringCancelsHeldTransfers) {
    auto& read = Read(pipes_[0]);
    URB urb{};
    UsbBuildSelectConfigurationRequest(&urb, sizeof(struct _URB_SELECT_CONFIGURATION), nullptr);
    EXPECT_EQ(client_->Submit(&urb), STATUS_SUCCESS);
    ASSERT_TRUE(read.done);
    EXPECT_EQ(read.finalStatus, STATUS_CANCELLED);
}

// Re-arms from its completion routine, as the touch driver's reader does.
struct ChainReader {
    PDEVICE_OBJECT lower;
    USBD_PIPE_HANDLE pipe;
    URB urb{};
    uint8_t buffer[8]{};
    std::atomic<int> completed{0};
    std::atomic<int> sum{0};
    std::atomic<bool> stop{false};
    std::atomic<PIRP> current{nullptr};

    void Submit() {
        PIRP irp = IoAllocateIrp(lower->StackSize, FALSE);
        urb = usbtest::InterruptUrb(pipe, buffer, sizeof buffer);
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
        next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
        next->Parameters.Others.Argument1 = &urb;
        IoSetCompletionRoutine(irp, Done, this, TRUE, TRUE, TRUE);
        current = irp;
        IoCallDriver(lower, irp);
    }
    static NTSTATUS Done(PDEVICE_OBJECT, PIRP irp, PVOID context) {
        auto* self = static_cast<ChainReader*>(context);
        const bool ok = NT_SUCCESS(irp->IoStatus.Status);
        if (ok)
            self->sum += self->buffer[0];
        self->current = nullptr;
        IoFreeIrp(irp);
        self->completed++;
        if (ok && !self->stop)
            self->Submit();
        return STATUS_MORE_PROCESSING_REQUIRED;
    }
};

TEST_F(TransferTest, DataFromAnotherThreadReachesAChainOfReads) {
    ChainReader reader{client_->Lower(), pipes_[0]};
    reader.Submit();
    constexpr int kReports = 2000;
    std::thread device([&] {
        for (int i = 0; i < kReports; ++i)
            device_.Push(0x81, {USBD_STATUS_SUCCESS, {static_cast<uint8_t>(i % 7)}});
    });
    std::thread observer([&] {
        while (reader.completed < kReports)
            (void)Port().StatusBits();
    });
    while (reader.completed < kReports)
        kernel.RunDueEvents();
    device.join();
    observer.join();
    int expected = 0;
    for (int i = 0; i < kReports; ++i)
        expected += i % 7;
    EXPECT_EQ(reader.sum, expected);
    reader.stop = true;
    ASSERT_NE(reader.current.load(), nullptr);
    EXPECT_TRUE(IoCancelIrp(reader.current));
    EXPECT_EQ(reader.completed, kReports + 1);
}

} // namespace
