// File objects: opens of devices, their cleanup and close requests, and the
// object references that keep them.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"

namespace platform::kernel::detail {

namespace {

PIRP BuildFileRequest(PFILE_OBJECT file, PDEVICE_OBJECT top, UCHAR major, KPROCESSOR_MODE mode,
                      std::shared_ptr<SyncCompletion>* sync) {
    PIRP irp = AllocateSystemIrp(
        top, sync, major == IRP_MJ_CREATE ? SystemIrp::MayFail : SystemIrp::MustSucceed);
    if (!irp)
        return nullptr;
    irp->RequestorMode = mode;
    irp->Tail.Overlay.OriginalFileObject = file;
    PIO_STACK_LOCATION sp = IoGetNextIrpStackLocation(irp);
    sp->MajorFunction = major;
    sp->FileObject = file;
    return irp;
}

} // namespace

NTSTATUS OpenDevice(PDEVICE_OBJECT named, KPROCESSOR_MODE mode, PFILE_OBJECT* file) {
    auto& k = K();
    *file = nullptr;
    PDEVICE_OBJECT top;
    {
        std::lock_guard lock(k.objects.mutex);
        if (named->Flags & DO_DEVICE_INITIALIZING)
            return STATUS_NO_SUCH_DEVICE;
        if ((named->Flags & DO_EXCLUSIVE) && named->ReferenceCount != 0)
            return STATUS_ACCESS_DENIED;
        top = k.objects.TopOfStack(named);
    }
    auto info = std::make_unique<FileInfo>();
    info->object = std::make_unique<FILE_OBJECT>();
    info->object->Type = kTypeFile;
    info->object->Size = sizeof(FILE_OBJECT);
    info->object->DeviceObject = named;
    info->top = top;
    PFILE_OBJECT object = info->object.get();

    std::shared_ptr<SyncCompletion> sync;
    PIRP irp = BuildFileRequest(object, top, IRP_MJ_CREATE, mode, &sync);
    if (!irp)
        return STATUS_INSUFFICIENT_RESOURCES;
    {
        std::lock_guard lock(k.objects.mutex);
        InterlockedIncrement(&named->ReferenceCount);
        k.objects.files[object] = std::move(info);
    }
    NTSTATUS status = SendAndWait(top, irp, sync);
    if (!NT_SUCCESS(status)) {
        std::lock_guard lock(k.objects.mutex);
        InterlockedDecrement(&named->ReferenceCount);
        k.objects.files.erase(object);
        return status;
    }
    *file = object;
    return STATUS_SUCCESS;
}

void SendFileRequest(PFILE_OBJECT file, UCHAR major) {
    auto& k = K();
    PDEVICE_OBJECT top;
    {
        std::lock_guard lock(k.objects.mutex);
        FileInfo* info = k.objects.FindFile(file);
        if (!info)
            return;
        top = info->top;
        DeviceInfo* device = k.objects.FindDevice(top);
        if (!device || device->driver->unloaded)
            return; // nobody left to tell
    }
    std::shared_ptr<SyncCompletion> sync;
    if (PIRP irp = BuildFileRequest(file, top, major, KernelMode, &sync))
        SendAndWait(top, irp, sync);
}

bool DereferenceFile(PFILE_OBJECT file) {
    auto& k = K();
    {
        std::lock_guard lock(k.objects.mutex);
        FileInfo* info = k.objects.FindFile(file);
        if (!info)
            return false;
        if (--info->references > 0)
            return true;
    }
    SendFileRequest(file, IRP_MJ_CLOSE);
    {
        std::lock_guard lock(k.objects.mutex);
        InterlockedDecrement(&file->DeviceObject->ReferenceCount);
        k.objects.files.erase(file);
    }
    k.pnp.OnFileClosed();
    return true;
}

} // namespace platform::kernel::detail
