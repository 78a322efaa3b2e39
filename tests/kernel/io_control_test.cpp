// Requests the I/O manager finishes itself: IoBuildDeviceIoControlRequest and
// user-mode DeviceIoControl with METHOD_BUFFERED, and cancellation.
#include "tests/kernel/test_driver.h"

#include <cstring>

namespace kernel_test {
namespace {

constexpr ULONG kBufferedCode = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x801, METHOD_BUFFERED, 0);

// Checks the input in the system buffer, then overwrites the buffer.
NTSTATUS AnswerFromSystemBuffer(PDEVICE_OBJECT device, PIRP irp) {
    auto buffer = static_cast<unsigned char*>(irp->AssociatedIrp.SystemBuffer);
    PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
    gLog.push_back(std::string("input ") +
                   std::string(reinterpret_cast<char*>(buffer),
                               sp->Parameters.DeviceIoControl.InputBufferLength));
    std::memset(buffer, 'x', sp->Parameters.DeviceIoControl.OutputBufferLength);
    return CompleteRequest(device, irp);
}

class IoControlTest : public IoFixture {
protected:
    // A user-mode open of "\Device\probe", whose control requests go to handler.
    platform::kernel::UserFile* OpenProbe(PDRIVER_DISPATCH handler) {
        LayerOf(CreateDevice("\\Device\\probe"))->handler = handler;
        platform::kernel::UserFile* file = nullptr;
        EXPECT_EQ(kernel.OpenFile("\\Device\\probe", &file), STATUS_SUCCESS);
        return file;
    }

    std::vector<unsigned char> Filled(size_t bytes) {
        return std::vector<unsigned char>(bytes, 0xee);
    }
};

TEST_F(IoControlTest, BuiltRequestCopiesInformationBytesBackAndSetsTheEvent) {
    PDEVICE_OBJECT top = CreateStack({AnswerFromSystemBuffer});
    gInformation = 3;
    auto output = Filled(8);
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK iosb{};
    char input[] = "abc";
    PIRP irp = IoBuildDeviceIoControlRequest(kBufferedCode, top, input, 3, output.data(), 8, FALSE,
                                             &event, &iosb);
    ASSERT_NE(irp, nullptr);
    EXPECT_EQ(IoGetNextIrpStackLocation(irp)->MajorFunction, IRP_MJ_DEVICE_CONTROL);
    EXPECT_EQ(IoCallDriver(top, irp), STATUS_SUCCESS);
    EXPECT_EQ(gLog.back(), "dispatch a");
    EXPECT_TRUE(KeReadStateEvent(&event));
    EXPECT_EQ(iosb.Status, STATUS_SUCCESS);
    EXPECT_EQ(iosb.Information, 3u);
    EXPECT_EQ(output, (std::vector<unsigned char>{'x', 'x', 'x', 0xee, 0xee, 0xee, 0xee, 0xee}));
    EXPECT_EQ(kernel.OutstandingIrps(), 0u);
    EXPECT_EQ(kernel.OutstandingPoolBlocks(), 0u); // the system buffer went with it
}

TEST_F(IoControlTest, PendingBuiltRequestIsWaitedForOnTheClock) {
    PDEVICE_OBJECT top = CreateStack({HoldRequest});
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK iosb{};
    PIRP irp =
        IoBuildDeviceIoControlRequest(0x220003, top, nullptr, 0, nullptr, 0, TRUE, &event, &iosb);
    EXPECT_EQ(IoGetNextIrpStackLocation(irp)->MajorFunction, IRP_MJ_INTERNAL_DEVICE_CONTROL);
    ASSERT_EQ(IoCallDriver(top, irp), STATUS_PENDING);
    kernel.Schedule(5 * kMs, [] {
        gHeld.at(0)->IoStatus.Status = STATUS_IO_TIMEOUT;
        IoCompleteRequest(gHeld.at(0), IO_NO_INCREMENT);
    });
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(kernel.Now(), 5 * kMs);
    EXPECT_EQ(iosb.Status, STATUS_IO_TIMEOUT);
}

TEST_F(IoControlTest, SynchronousFailureLeavesEventAndStatusBlockAlone) {
    PDEVICE_OBJECT top = CreateStack({CompleteRequest});
    gStatus = STATUS_INVALID_PARAMETER;
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK iosb{};
    iosb.Status = 12345;
    PIRP irp = IoBuildDeviceIoControlRequest(kBufferedCode, top, nullptr, 0, nullptr, 0, FALSE,
                                             &event, &iosb);
    EXPECT_EQ(IoCallDriver(top, irp), STATUS_INVALID_PARAMETER);
    EXPECT_FALSE(KeReadStateEvent(&event));
    EXPECT_EQ(iosb.Status, 12345);
    EXPECT_EQ(kernel.OutstandingIrps(), 0u);
}

TEST_F(IoControlTest, UserRequestCopiesExactlyInformationBytes) {
    gLog.clear();
    platform::kernel::UserFile* file = OpenProbe(AnswerFromSystemBuffer);
    ASSERT_NE(file, nullptr);
    gInformation = 5;
    auto output = Filled(16);
    ULONG returned = 99;
    EXPECT_EQ(kernel.DeviceIoControl(file, kBufferedCode, "hello", 5, output.data(), 16, &returned),
              STATUS_SUCCESS);
    EXPECT_EQ(returned, 5u);
    EXPECT_EQ(std::count(output.begin(), output.end(), 'x'), 5);
    EXPECT_EQ(output[5], 0xee);
    EXPECT_EQ(kernel.CloseFile(file), STATUS_SUCCESS);
    EXPECT_EQ(gLog, (std::vector<std::string>{"create a", "input hello", "dispatch a", "cleanup a",
                                              "close a"}));
}

TEST_F(IoControlTest, UserRequestFailingWithAnErrorCopiesNothing) {
    platform::kernel::UserFile* file = OpenProbe(AnswerFromSystemBuffer);
    ASSERT_NE(file, nullptr);
    gInformation = 4;
    gStatus = STATUS_DEVICE_NOT_READY;
    auto output = Filled(4);
    ULONG returned = 99;
    EXPECT_EQ(kernel.DeviceIoControl(file, kBufferedCode, nullptr, 0, output.data(), 4, &returned),
              STATUS_DEVICE_NOT_READY);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(output, Filled(4));
    kernel.CloseFile(file);
}

TEST_F(IoControlTest, PendingUserRequestIsAnsweredWhenCompleted) {
    platform::kernel::UserFile* file = OpenProbe(HoldRequest);
    ASSERT_NE(file, nullptr);
    kernel.Schedule(2 * kMs, [] {
        PIRP irp = gHeld.at(0);
        std::memcpy(irp->AssociatedIrp.SystemBuffer, "ok", 2);
        irp->IoStatus.Status = STATUS_SUCCESS;
        irp->IoStatus.Information = 2;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    });
    char output[4] = {};
    ULONG returned = 0;
    EXPECT_EQ(kernel.DeviceIoControl(file, kBufferedCode, nullptr, 0, output, 4, &returned),
              STATUS_SUCCESS);
    EXPECT_EQ(returned, 2u);
    EXPECT_EQ(std::string(output), "ok");
    EXPECT_EQ(kernel.Now(), 2 * kMs);
    kernel.CloseFile(file);
}

TEST_F(IoControlTest, InformationBeyondTheOutputBufferIsReportedAndClamped) {
    ExpectViolation("irp-information-overrun");
    platform::kernel::UserFile* file = OpenProbe(AnswerFromSystemBuffer);
    ASSERT_NE(file, nullptr);
    gInformation = 64;
    auto output = Filled(16);
    ULONG returned = 0;
    kernel.DeviceIoControl(file, kBufferedCode, "0123456789abcdef", 16, output.data(), 4,
                           &returned);
    EXPECT_EQ(returned, 4u);
    EXPECT_EQ(output[4], 0xee);
    kernel.CloseFile(file);
}

// --- Cancellation

inline int gCancelCalls = 0;

VOID CancelHeld(PDEVICE_OBJECT device, PIRP irp) {
    UNREFERENCED_PARAMETER(device);
    ++gCancelCalls;
    EXPECT_EQ(KeGetCurrentIrql(), DISPATCH_LEVEL);
    IoReleaseCancelSpinLock(irp->CancelIrql);
    irp->IoStatus.Status = STATUS_CANCELLED;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

NTSTATUS HoldCancellable(PDEVICE_OBJECT device, PIRP irp) {
    IoSetCancelRoutine(irp, CancelHeld);
    return HoldRequest(device, irp);
}

TEST_F(IoControlTest, CancelRoutineRunsOnceAndTheRequestEndsCancelled) {
    gCancelCalls = 0;
    PDEVICE_OBJECT top = CreateStack({HoldCancellable, ForwardWithRoutine});
    PIRP irp = BuildRequest(top);
    ASSERT_EQ(IoCallDriver(top, irp), STATUS_PENDING);
    gLog.clear();
    EXPECT_TRUE(IoCancelIrp(irp));
    EXPECT_FALSE(IoCancelIrp(irp));
    EXPECT_EQ(gCancelCalls, 1);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
    EXPECT_EQ(irp->IoStatus.Status, STATUS_CANCELLED);
    EXPECT_EQ(gLog, (std::vector<std::string>{"completion b pending", "claim top pending"}));
    IoFreeIrp(irp);
}

TEST_F(IoControlTest, CancelWithoutRoutineOnlyMarksTheRequest) {
    PDEVICE_OBJECT top = CreateStack({HoldRequest});
    PIRP irp = BuildRequest(top);
    IoCallDriver(top, irp);
    EXPECT_FALSE(IoCancelIrp(irp));
    EXPECT_TRUE(irp->Cancel);
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    IoFreeIrp(irp);
}

TEST_F(IoControlTest, CompletingWithACancelRoutineSetIsReported) {
    ExpectViolation("irp-complete-with-cancel-routine");
    PDEVICE_OBJECT top = CreateStack({HoldCancellable});
    PIRP irp = BuildRequest(top);
    IoCallDriver(top, irp);
    IoCompleteRequest(gHeld.at(0), IO_NO_INCREMENT);
    EXPECT_EQ(irp->CancelRoutine, nullptr);
    IoFreeIrp(irp);
}

TEST_F(IoControlTest, CancelRoutineKeepingTheCancelLockIsReported) {
    ExpectViolation("cancel-lock-not-released");
    PDEVICE_OBJECT top = CreateStack({[](PDEVICE_OBJECT device, PIRP irp) {
        IoSetCancelRoutine(irp, [](PDEVICE_OBJECT, PIRP held) {
            held->IoStatus.Status = STATUS_CANCELLED;
            IoCompleteRequest(held, IO_NO_INCREMENT);
        });
        return HoldRequest(device, irp);
    }});
    PIRP irp = BuildRequest(top);
    IoCallDriver(top, irp);
    IoCancelIrp(irp);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql); // free again
    IoReleaseCancelSpinLock(irql);
    IoFreeIrp(irp);
}

} // namespace
} // namespace kernel_test
