// The namespace calls: symbolic links, IoGetDeviceObjectPointer and object
// references.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

using namespace platform::kernel::detail;
using platform::kernel::Narrow;

NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING SymbolicLinkName, PUNICODE_STRING DeviceName) {
    auto& k = K();
    std::string link = Narrow(*SymbolicLinkName);
    std::lock_guard lock(k.objects.mutex);
    std::string key = ObjectTable::Key(link);
    if (link.empty())
        return STATUS_OBJECT_NAME_INVALID;
    if (k.objects.names.count(key))
        return STATUS_OBJECT_NAME_COLLISION;
    k.objects.names[key] = NameEntry{link, nullptr, Narrow(*DeviceName), nullptr};
    return STATUS_SUCCESS;
}

NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING SymbolicLinkName) {
    auto& k = K();
    std::lock_guard lock(k.objects.mutex);
    auto found = k.objects.names.find(ObjectTable::Key(Narrow(*SymbolicLinkName)));
    if (found == k.objects.names.end() || found->second.linkTarget.empty())
        return STATUS_OBJECT_NAME_NOT_FOUND;
    k.objects.names.erase(found);
    return STATUS_SUCCESS;
}

// As on Windows: the open's handle is closed at once (IRP_MJ_CLEANUP), and the
// last ObDereferenceObject of the file object sends IRP_MJ_CLOSE.
NTSTATUS IoGetDeviceObjectPointer(PUNICODE_STRING ObjectName, ACCESS_MASK DesiredAccess,
                                  PFILE_OBJECT* FileObject, PDEVICE_OBJECT* DeviceObject) {
    UNREFERENCED_PARAMETER(DesiredAccess);
    auto& k = K();
    if (ThreadIrql() != PASSIVE_LEVEL)
        k.verifier.Report("irql-invalid",
                          "IoGetDeviceObjectPointer at IRQL " + std::to_string(ThreadIrql()));
    PDEVICE_OBJECT named;
    {
        std::lock_guard lock(k.objects.mutex);
        named = k.objects.Resolve(Narrow(*ObjectName));
    }
    if (!named)
        return STATUS_OBJECT_NAME_NOT_FOUND;
    PFILE_OBJECT file;
    NTSTATUS status = OpenDevice(named, KernelMode, &file);
    if (!NT_SUCCESS(status))
        return status;
    SendFileRequest(file, IRP_MJ_CLEANUP);
    std::lock_guard lock(k.objects.mutex);
    *FileObject = file;
    *DeviceObject = k.objects.FindFile(file)->top;
    return STATUS_SUCCESS;
}

VOID ObReferenceObject(PVOID Object) {
    auto& k = K();
    Findings findings;
    std::lock_guard lock(k.objects.mutex);
    if (FileInfo* file = k.objects.FindFile(static_cast<PFILE_OBJECT>(Object)))
        ++file->references;
    else if (!k.objects.FindDevice(static_cast<PDEVICE_OBJECT>(Object)))
        findings.Add("object-invalid",
                     "ObReferenceObject(" + Hex(Object) + "): not a file or device object");
}

VOID ObDereferenceObject(PVOID Object) {
    auto& k = K();
    if (DereferenceFile(static_cast<PFILE_OBJECT>(Object)))
        return;
    Findings findings;
    std::lock_guard lock(k.objects.mutex);
    if (k.objects.FindDevice(static_cast<PDEVICE_OBJECT>(Object)))
        return; // device objects live until the kernel goes away
    findings.Add("object-invalid",
                 "ObDereferenceObject(" + Hex(Object) + "): not a file or device object");
}
