// IoBuildDeviceIoControlRequest: a request the I/O manager finishes and frees.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

#include <algorithm>
#include <cstring>

using namespace platform::kernel::detail;

namespace platform::kernel::detail {

bool SetUpControlRequest(PIRP irp, UCHAR major, ULONG code, const void* in, ULONG inLength,
                         void* out, ULONG outLength) {
    auto& k = K();
    irp->UserBuffer = out;
    PIO_STACK_LOCATION sp = IoGetNextIrpStackLocation(irp);
    sp->MajorFunction = major;
    sp->Parameters.DeviceIoControl.IoControlCode = code;
    sp->Parameters.DeviceIoControl.InputBufferLength = inLength;
    sp->Parameters.DeviceIoControl.OutputBufferLength = outLength;
    if (METHOD_FROM_CTL_CODE(code) == METHOD_NEITHER) {
        sp->Parameters.DeviceIoControl.Type3InputBuffer = const_cast<void*>(in);
        return true;
    }
    ULONG length = std::max(inLength, outLength);
    if (length == 0)
        return true;
    PVOID buffer = ExAllocatePoolWithTag(NonPagedPool, length, kKernelPoolTag);
    auto lock = k.irps.Lock();
    IrpRecord* record = k.irps.Find(irp);
    if (!buffer) {
        k.irps.Retire(record);
        return false;
    }
    if (in && inLength)
        std::memcpy(buffer, in, inLength);
    irp->AssociatedIrp.SystemBuffer = buffer;
    record->systemBuffer = buffer;
    record->copyOut = out && outLength;
    record->outputLength = outLength;
    return true;
}

} // namespace platform::kernel::detail

PIRP IoBuildDeviceIoControlRequest(ULONG IoControlCode, PDEVICE_OBJECT DeviceObject,
                                   PVOID InputBuffer, ULONG InputBufferLength, PVOID OutputBuffer,
                                   ULONG OutputBufferLength, BOOLEAN InternalDeviceIoControl,
                                   PKEVENT Event, PIO_STATUS_BLOCK IoStatusBlock) {
    auto& k = K();
    if (ThreadIrql() != PASSIVE_LEVEL)
        k.verifier.Report("irql-invalid",
                          "IoBuildDeviceIoControlRequest at IRQL " + std::to_string(ThreadIrql()));
    ULONG method = METHOD_FROM_CTL_CODE(IoControlCode);
    if (method == METHOD_IN_DIRECT || method == METHOD_OUT_DIRECT) {
        k.verifier.Report("stand-in-unsupported",
                          "IoBuildDeviceIoControlRequest(" + Hex(IoControlCode) +
                              "): direct I/O needs MDLs, which the stand-in does not have");
        return nullptr;
    }
    {
        Findings findings;
        std::lock_guard lock(k.objects.mutex);
        if (!k.objects.FindDevice(DeviceObject)) {
            findings.Add("device-invalid", "IoBuildDeviceIoControlRequest(" + Hex(DeviceObject) +
                                               "): not a device object of this kernel");
            return nullptr;
        }
    }
    PIRP irp = k.irps.Allocate(DeviceObject->StackSize, IrpOrigin::Threaded);
    if (!irp)
        return nullptr;
    irp->RequestorMode = KernelMode;
    irp->UserIosb = IoStatusBlock;
    irp->UserEvent = Event;
    UCHAR major = InternalDeviceIoControl ? IRP_MJ_INTERNAL_DEVICE_CONTROL : IRP_MJ_DEVICE_CONTROL;
    if (!SetUpControlRequest(irp, major, IoControlCode, InputBuffer, InputBufferLength,
                             OutputBuffer, OutputBufferLength))
        return nullptr;
    return irp;
}
