// The file calls on the machine's disk: CreateFileA of a path, ReadFile,
// WriteFile, GetFileSize, CopyFileA, DeleteFileA, GetFileAttributesA and
// CreateDirectoryA, with the last errors Windows sets.
//
// Sharing is checked between the open handles of one host file as Windows
// checks it; the image file of a running program counts as opened for
// reading without sharing writes or deletion, so it can be neither
// overwritten nor deleted.
//
// Trace lines: file copy from="..." to="..." [error=N]
//              file delete path="..." [error=N]
#include "platform/trace/trace.h"
#include "platform/win32/disk_files.h"
#include "platform/win32/handle_table.h"
#include "platform/win32/runtime.h"

#include "platform/kernel/kernel.h"

#include <algorithm>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace platform::win32;
using namespace platform::win32::detail;

namespace {

namespace fs = std::filesystem;

struct DiskFile : HandleObject {
    int fd = -1;
    fs::path host;
    bool read = false;
    bool write = false;
    DWORD share = 0;
    ~DiskFile() override {
        if (fd >= 0)
            close(fd);
    }
};

std::mutex gOpenMutex;
std::vector<std::weak_ptr<DiskFile>> gOpen;

void Trace(const std::string& text) {
    platform::trace::Emit(platform::kernel::Kernel::Current().Now(), text);
}

// A sharing conflict of a new open with the handles already open on host.
bool SharingConflict(const fs::path& host, bool read, bool write, bool remove, DWORD share) {
    std::lock_guard lock(gOpenMutex);
    std::erase_if(gOpen, [](const std::weak_ptr<DiskFile>& open) { return open.expired(); });
    for (const auto& weak : gOpen) {
        auto open = weak.lock();
        if (!open || open->host != host)
            continue;
        if ((read && !(open->share & FILE_SHARE_READ)) ||
            (write && !(open->share & FILE_SHARE_WRITE)) ||
            (remove && !(open->share & FILE_SHARE_DELETE)) ||
            (open->read && !(share & FILE_SHARE_READ)) ||
            (open->write && !(share & FILE_SHARE_WRITE)))
            return true;
    }
    return false;
}

bool IsDirectory(const fs::path& host) {
    std::error_code error;
    return fs::is_directory(host, error);
}

void TraceResult(const std::string& text, BOOL ok) {
    Trace(ok ? text : text + " error=" + std::to_string(GetLastError()));
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

namespace platform::win32::detail {

DWORD LookupError(const Disk::Resolved& resolved) {
    switch (resolved.lookup) {
    case Disk::Lookup::Found:
        return ERROR_SUCCESS;
    case Disk::Lookup::Missing:
        return ERROR_FILE_NOT_FOUND;
    case Disk::Lookup::NoPath:
        return ERROR_PATH_NOT_FOUND;
    case Disk::Lookup::BadName:
        break;
    }
    return resolved.path.empty() ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_NAME;
}

bool ImageInUse(const fs::path& host) {
    Runtime* runtime = Runtime::TryCurrent();
    Disk* disk = Disk::TryCurrent();
    if (runtime == nullptr || disk == nullptr)
        return false;
    for (ProcessId id : runtime->RunningProcesses()) {
        Disk::Resolved image = disk->Resolve(runtime->ImagePath(id));
        if (image.lookup == Disk::Lookup::Found && image.host == host)
            return true;
    }
    return false;
}

Disk::Resolved ResolveOnDisk(LPCSTR path) {
    Disk* disk = Disk::TryCurrent();
    if (disk == nullptr || path == nullptr) {
        Disk::Resolved none;
        none.lookup = Disk::Lookup::NoPath;
        return none;
    }
    return disk->Resolve(path);
}

HANDLE OpenDiskFile(LPCSTR path, DWORD access, DWORD share, DWORD disposition) {
    Disk::Resolved resolved = ResolveOnDisk(path);
    const bool read = (access & (GENERIC_READ | GENERIC_ALL)) != 0;
    const bool write = (access & (GENERIC_WRITE | GENERIC_ALL)) != 0;
    if (resolved.lookup != Disk::Lookup::Found && resolved.lookup != Disk::Lookup::Missing) {
        SetLastError(LookupError(resolved));
        return INVALID_HANDLE_VALUE;
    }
    const bool exists = resolved.lookup == Disk::Lookup::Found;
    if (exists && IsDirectory(resolved.host)) {
        SetLastError(disposition == CREATE_NEW ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (disposition == TRUNCATE_EXISTING && !write) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (exists && disposition == CREATE_NEW) {
        SetLastError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
    }
    if (!exists && (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    if (exists && ((write || truncates) && ImageInUse(resolved.host))) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    if (exists && SharingConflict(resolved.host, read, write || truncates, false, share)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    int flags = (exists ? 0 : O_CREAT) | (truncates ? O_TRUNC : 0);
    auto file = std::make_shared<DiskFile>();
    file->fd = open(resolved.host.c_str(), O_RDWR | flags, 0644);
    if (file->fd < 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    file->host = resolved.host;
    file->read = read;
    file->write = write;
    file->share = share;
    {
        std::lock_guard lock(gOpenMutex);
        gOpen.push_back(file);
    }
    // Documented: CREATE_ALWAYS and OPEN_ALWAYS on an existing file succeed
    // with ERROR_ALREADY_EXISTS as the last error.
    bool existed = exists && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return reinterpret_cast<HANDLE>(InsertHandle(std::move(file)));
}

} // namespace platform::win32::detail

namespace {

// The open file of a synchronous ReadFile or WriteFile with the access it
// needs, its count cleared; nullptr with the last error set otherwise.
std::shared_ptr<DiskFile> TransferFile(HANDLE handle, LPDWORD count, LPOVERLAPPED overlapped,
                                       bool DiskFile::*access) {
    auto file = FindHandleAs<DiskFile>(reinterpret_cast<uintptr_t>(handle));
    // No handle is opened for overlapped I/O; the count may be NULL only then.
    DWORD error = !file                                 ? ERROR_INVALID_HANDLE
                  : overlapped != NULL || count == NULL ? ERROR_INVALID_PARAMETER
                  : !((*file).*access)                  ? ERROR_ACCESS_DENIED
                                                        : ERROR_SUCCESS;
    if (count != NULL && overlapped == NULL)
        *count = 0;
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return nullptr;
    }
    return file;
}

} // namespace

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    auto file = TransferFile(hFile, lpNumberOfBytesRead, lpOverlapped, &DiskFile::read);
    if (!file)
        return FALSE;
    DWORD total = 0;
    while (total < nNumberOfBytesToRead) {
        ssize_t got =
            read(file->fd, static_cast<char*>(lpBuffer) + total, nNumberOfBytesToRead - total);
        if (got <= 0)
            break;
        total += static_cast<DWORD>(got);
    }
    *lpNumberOfBytesRead = total;
    return TRUE; // at the end of the file: TRUE with 0 bytes
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    auto file = TransferFile(hFile, lpNumberOfBytesWritten, lpOverlapped, &DiskFile::write);
    if (!file)
        return FALSE;
    DWORD total = 0;
    while (total < nNumberOfBytesToWrite) {
        ssize_t put = write(file->fd, static_cast<const char*>(lpBuffer) + total,
                            nNumberOfBytesToWrite - total);
        if (put <= 0)
            return Fail(ERROR_DISK_FULL);
        total += static_cast<DWORD>(put);
        *lpNumberOfBytesWritten = total;
    }
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    auto file = FindHandleAs<DiskFile>(reinterpret_cast<uintptr_t>(hFile));
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    struct stat info {};
    uint64_t bytes = fstat(file->fd, &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
    if (lpFileSizeHigh != NULL)
        *lpFileSizeHigh = static_cast<DWORD>(bytes >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(bytes);
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
    BOOL ok = FALSE;
    HANDLE source = CreateFileA(lpExistingFileName, GENERIC_READ, FILE_SHARE_READ, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (source != INVALID_HANDLE_VALUE) {
        HANDLE target =
            CreateFileA(lpNewFileName, GENERIC_WRITE, 0, NULL,
                        bFailIfExists ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (target != INVALID_HANDLE_VALUE) {
            std::vector<char> buffer(65536);
            ok = TRUE;
            for (;;) {
                DWORD got = 0;
                DWORD put = 0;
                ok = ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, NULL);
                if (!ok || got == 0)
                    break;
                ok = WriteFile(target, buffer.data(), got, &put, NULL);
                if (!ok)
                    break;
            }
            DWORD error = GetLastError();
            CloseHandle(target);
            SetLastError(ok ? ERROR_SUCCESS : error);
        }
        DWORD error = GetLastError();
        CloseHandle(source);
        SetLastError(error);
    }
    TraceResult(
        "file copy from=" + platform::trace::Quote(lpExistingFileName ? lpExistingFileName : "") +
            " to=" + platform::trace::Quote(lpNewFileName ? lpNewFileName : ""),
        ok);
    return ok;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
    Disk::Resolved resolved = ResolveOnDisk(lpFileName);
    BOOL ok = FALSE;
    if (resolved.lookup != Disk::Lookup::Found)
        Fail(LookupError(resolved));
    else if (IsDirectory(resolved.host) || ImageInUse(resolved.host))
        Fail(ERROR_ACCESS_DENIED);
    else if (SharingConflict(resolved.host, false, false, true, 0))
        Fail(ERROR_SHARING_VIOLATION);
    else {
        std::error_code error;
        ok = fs::remove(resolved.host, error) ? TRUE : Fail(ERROR_ACCESS_DENIED);
    }
    if (ok)
        SetLastError(ERROR_SUCCESS);
    TraceResult("file delete path=" + platform::trace::Quote(lpFileName ? lpFileName : ""), ok);
    return ok;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
    Disk::Resolved resolved = ResolveOnDisk(lpFileName);
    if (resolved.lookup != Disk::Lookup::Found) {
        SetLastError(LookupError(resolved));
        return INVALID_FILE_ATTRIBUTES;
    }
    return IsDirectory(resolved.host) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    UNREFERENCED_PARAMETER(lpSecurityAttributes);
    Disk::Resolved resolved = ResolveOnDisk(lpPathName);
    if (resolved.lookup == Disk::Lookup::Found)
        return Fail(ERROR_ALREADY_EXISTS);
    if (resolved.lookup != Disk::Lookup::Missing)
        return Fail(LookupError(resolved));
    std::error_code error;
    if (!fs::create_directory(resolved.host, error))
        return Fail(ERROR_ACCESS_DENIED);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
