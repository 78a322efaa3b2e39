// Unload: point reads still held are given back while the link still exists.
#include "tests/touch/touch_harness.h"

namespace touch_testing {
namespace {

using UnloadTest = TouchTest;

struct LinkWitness {
    bool done = false;
    bool linkPresent = false;
    NTSTATUS status = STATUS_PENDING;
};

NTSTATUS NTAPI NoteLink(PDEVICE_OBJECT, PIRP irp, PVOID context) {
    auto* witness = static_cast<LinkWitness*>(context);
    witness->linkPresent =
        platform::kernel::Kernel::Current().FindDevice("\\DosDevices\\vududode") != nullptr;
    witness->status = irp->IoStatus.Status;
    witness->done = true;
    return STATUS_MORE_PROCESSING_REQUIRED;
}

TEST_F(UnloadTest, HeldReadsAreGivenBackBeforeTheLinkIsDeleted) {
    LinkWitness witnesses[2];
    UCHAR buffers[2][sizeof(TOUCH_POINT)];
    PIRP irps[2];
    for (int i = 0; i < 2; ++i) {
        irps[i] = IoAllocateIrp(ext->DeviceObject->StackSize, FALSE);
        irps[i]->AssociatedIrp.SystemBuffer = buffers[i];
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irps[i]);
        next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        next->Parameters.DeviceIoControl.IoControlCode = IOCTL_TOUCH_READ_POINT;
        next->Parameters.DeviceIoControl.OutputBufferLength = sizeof(TOUCH_POINT);
        IoSetCompletionRoutine(irps[i], NoteLink, &witnesses[i], TRUE, TRUE, TRUE);
        ASSERT_EQ(IoCallDriver(ext->DeviceObject, irps[i]), STATUS_PENDING);
    }

    TouchUnload(driver);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(witnesses[i].done);
        EXPECT_EQ(witnesses[i].status, STATUS_CANCELLED);
        EXPECT_TRUE(witnesses[i].linkPresent);
        IoFreeIrp(irps[i]);
    }
    EXPECT_EQ(kernel.FindDevice("\\DosDevices\\vududode"), nullptr);
}

} // namespace
} // namespace touch_testing
