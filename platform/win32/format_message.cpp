// FormatMessageA with the system's own texts of the error codes the programs
// meet, and the local memory it hands out (LocalAlloc, LocalFree).
#include "platform/win32/win_base.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The English system texts, as 2000 and XP word them.
const char* SystemText(DWORD id) {
    switch (id) {
    case ERROR_SUCCESS:
        return "The operation completed successfully.";
    case ERROR_INVALID_FUNCTION:
        return "Incorrect function.";
    case ERROR_FILE_NOT_FOUND:
        return "The system cannot find the file specified.";
    case ERROR_PATH_NOT_FOUND:
        return "The system cannot find the path specified.";
    case ERROR_ACCESS_DENIED:
        return "Access is denied.";
    case ERROR_INVALID_HANDLE:
        return "The handle is invalid.";
    case ERROR_NOT_ENOUGH_MEMORY:
        return "Not enough storage is available to process this command.";
    case ERROR_BAD_FORMAT:
        return "An attempt was made to load a program with an incorrect format.";
    case ERROR_OUTOFMEMORY:
        return "Not enough storage is available to complete this operation.";
    case ERROR_SHARING_VIOLATION:
        return "The process cannot access the file because it is being used by another process.";
    case ERROR_FILE_EXISTS:
        return "The file exists.";
    case ERROR_INVALID_PARAMETER:
        return "The parameter is incorrect.";
    case ERROR_DISK_FULL:
        return "There is not enough space on the disk.";
    case ERROR_INSUFFICIENT_BUFFER:
        return "The data area passed to a system call is too small.";
    case ERROR_INVALID_NAME:
        return "The filename, directory name, or volume label syntax is incorrect.";
    case ERROR_ALREADY_EXISTS:
        return "Cannot create a file when that file already exists.";
    case ERROR_BAD_EXE_FORMAT:
        return "%1 is not a valid Win32 application.";
    case ERROR_NO_MORE_ITEMS:
        return "No more data is available.";
    case ERROR_NOT_ALL_ASSIGNED:
        return "Not all privileges or groups referenced are assigned to the caller.";
    case ERROR_PRIVILEGE_NOT_HELD:
        return "A required privilege is not held by the client.";
    default:
        return nullptr;
    }
}

} // namespace

DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                            LPSTR lpBuffer, DWORD nSize, va_list* Arguments) {
    UNREFERENCED_PARAMETER(lpSource);
    UNREFERENCED_PARAMETER(dwLanguageId);
    UNREFERENCED_PARAMETER(Arguments);
    const char* text = (dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) ? SystemText(dwMessageId) : nullptr;
    if (text == nullptr) {
        SetLastError((dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) ? ERROR_MR_MID_NOT_FOUND
                                                            : ERROR_INVALID_PARAMETER);
        return 0;
    }
    // Inserts are left as they are: the programs ask for none.
    std::string message = std::string(text) + "\r\n";
    if (lpBuffer == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        // lpBuffer is then where the address of a LocalAlloc'ed buffer goes.
        DWORD bytes = static_cast<DWORD>(message.size() + 1);
        if (bytes < nSize)
            bytes = nSize;
        auto* memory = static_cast<char*>(LocalAlloc(LPTR, bytes));
        if (memory == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        std::memcpy(memory, message.c_str(), message.size() + 1);
        *reinterpret_cast<char**>(lpBuffer) = memory;
    } else {
        if (message.size() + 1 > nSize) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(lpBuffer, message.c_str(), message.size() + 1);
    }
    return static_cast<DWORD>(message.size());
}

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    void* memory = (uFlags & LMEM_ZEROINIT) ? std::calloc(uBytes ? uBytes : 1, 1)
                                            : std::malloc(uBytes ? uBytes : 1);
    if (memory == nullptr)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return memory;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
    std::free(hMem);
    return NULL;
}
