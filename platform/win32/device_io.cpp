// CreateFileA of "\\.\name", DeviceIoControl and CloseHandle: a program's
// synchronous device I/O, served by the kernel's I/O manager. Failures set
// the Win32 error that Windows derives from the driver's status.
//
// Paths other than "\\.\name" name files on the machine's disk (file_api.cpp).
#include "platform/kernel/kernel.h"
#include "platform/win32/disk_files.h"
#include "platform/win32/handle_table.h"
#include "platform/win32/status_error.h"
#include "platform/win32/win_base.h"

#include <string>

using namespace platform::win32::detail;

namespace {

struct DeviceFile : HandleObject {
    platform::kernel::UserFile* file = nullptr;
};

} // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    UNREFERENCED_PARAMETER(lpSecurityAttributes);
    UNREFERENCED_PARAMETER(dwFlagsAndAttributes);
    UNREFERENCED_PARAMETER(hTemplateFile);
    if (lpFileName == NULL || dwCreationDisposition < CREATE_NEW ||
        dwCreationDisposition > TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string path = lpFileName;
    if (path.compare(0, 4, "\\\\.\\") != 0)
        return OpenDiskFile(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition);
    if (path.size() == 4) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto device = std::make_shared<DeviceFile>();
    NTSTATUS status = platform::kernel::Kernel::Current().OpenFile(path, &device->file);
    if (!NT_SUCCESS(status)) {
        SetLastErrorFromStatus(status);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return reinterpret_cast<HANDLE>(InsertHandle(std::move(device)));
}

BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer,
                            DWORD nInBufferSize, LPVOID lpOutBuffer, DWORD nOutBufferSize,
                            LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped) {
    auto device = FindHandleAs<DeviceFile>(reinterpret_cast<uintptr_t>(hDevice));
    if (!device) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // No handle is opened for overlapped I/O, and a synchronous call without
    // a byte count faults on Windows.
    if (lpOverlapped != NULL || lpBytesReturned == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ULONG returned = 0;
    NTSTATUS status = platform::kernel::Kernel::Current().DeviceIoControl(
        device->file, dwIoControlCode, lpInBuffer, nInBufferSize, lpOutBuffer, nOutBufferSize,
        &returned);
    *lpBytesReturned = returned;
    if (!NT_SUCCESS(status)) {
        SetLastErrorFromStatus(status);
        return FALSE;
    }
    return TRUE;
}

namespace platform::win32::detail {

void CloseProcessHandles(uint32_t processId) {
    for (const auto& object : RemoveHandlesOf(processId)) {
        if (auto device = std::dynamic_pointer_cast<DeviceFile>(object))
            platform::kernel::Kernel::Current().CloseFile(device->file);
    }
}

} // namespace platform::win32::detail

BOOL WINAPI CloseHandle(HANDLE hObject) {
    auto object = RemoveHandle(reinterpret_cast<uintptr_t>(hObject));
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (auto device = std::dynamic_pointer_cast<DeviceFile>(object))
        platform::kernel::Kernel::Current().CloseFile(device->file);
    return TRUE;
}
