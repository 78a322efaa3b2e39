// User-mode I/O as the I/O manager serves a program's CreateFile,
// DeviceIoControl and CloseHandle. Requests are sent at PASSIVE_LEVEL.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

#include <algorithm>
#include <cstring>

namespace platform::kernel {

using namespace detail;

class UserFile {
public:
    PFILE_OBJECT file = nullptr;
};

namespace {

// "\\.\name" is looked up as "\??\name"; native paths are taken as given.
std::string NativePath(const std::string& path) {
    if (path.compare(0, 4, "\\\\.\\") == 0)
        return "\\??\\" + path.substr(4);
    return path;
}

void CheckPassive(const char* caller) {
    if (ThreadIrql() != PASSIVE_LEVEL)
        K().verifier.Report("irql-invalid", std::string(caller) + " from a program at IRQL " +
                                                std::to_string(ThreadIrql()));
}

} // namespace

NTSTATUS Kernel::OpenFile(const std::string& path, UserFile** file) {
    *file = nullptr;
    CheckPassive("OpenFile");
    std::string native = NativePath(path);
    if (native.empty() || native[0] != '\\')
        return STATUS_OBJECT_NAME_INVALID;
    PDEVICE_OBJECT named;
    {
        std::lock_guard lock(state_->objects.mutex);
        named = state_->objects.Resolve(native);
    }
    if (!named)
        return STATUS_OBJECT_NAME_NOT_FOUND;
    PFILE_OBJECT object;
    NTSTATUS status = OpenDevice(named, UserMode, &object);
    if (!NT_SUCCESS(status))
        return status;
    *file = new UserFile{object};
    return status;
}

NTSTATUS Kernel::DeviceIoControl(UserFile* file, ULONG code, const void* in, ULONG inLength,
                                 void* out, ULONG outLength, ULONG* returned) {
    State& k = *state_;
    if (returned)
        *returned = 0;
    CheckPassive("DeviceIoControl");
    ULONG method = METHOD_FROM_CTL_CODE(code);
    if (method != METHOD_BUFFERED && method != METHOD_NEITHER)
        return STATUS_NOT_IMPLEMENTED; // direct I/O needs MDLs
    PDEVICE_OBJECT top;
    {
        std::lock_guard lock(k.objects.mutex);
        FileInfo* info = file ? k.objects.FindFile(file->file) : nullptr;
        if (!info)
            return STATUS_INVALID_HANDLE;
        top = info->top;
    }
    std::shared_ptr<SyncCompletion> sync;
    PIRP irp = AllocateSystemIrp(top, &sync, SystemIrp::MayFail);
    if (!irp)
        return STATUS_INSUFFICIENT_RESOURCES;
    irp->RequestorMode = UserMode;
    irp->Tail.Overlay.OriginalFileObject = file->file;
    IoGetNextIrpStackLocation(irp)->FileObject = file->file;
    if (!SetUpControlRequest(irp, IRP_MJ_DEVICE_CONTROL, code, in, inLength, out, outLength))
        return STATUS_INSUFFICIENT_RESOURCES;
    NTSTATUS status = SendAndWait(top, irp, sync);
    if (method == METHOD_BUFFERED) {
        std::copy(sync->output.begin(), sync->output.end(), static_cast<unsigned char*>(out));
        if (returned)
            *returned = static_cast<ULONG>(sync->output.size());
    } else if (returned && NT_SUCCESS(status)) {
        *returned = static_cast<ULONG>(sync->iosb.Information);
    }
    return status;
}

NTSTATUS Kernel::CloseFile(UserFile* file) {
    CheckPassive("CloseFile");
    if (!file)
        return STATUS_INVALID_HANDLE;
    SendFileRequest(file->file, IRP_MJ_CLEANUP);
    DereferenceFile(file->file);
    delete file;
    return STATUS_SUCCESS;
}

} // namespace platform::kernel
