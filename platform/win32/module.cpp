// GetModuleFileNameA: the calling program's file on the machine's disk, as
// the program runtime started it.
#include "platform/win32/runtime.h"
#include "platform/win32/win_base.h"

#include <cstring>
#include <string>

using platform::win32::CurrentProcess;
using platform::win32::ProcessInfo;

// As 2000 and XP do it: a path that does not fit is cut to nSize characters
// without a NUL, and the result is nSize.
DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    const ProcessInfo* process = CurrentProcess();
    if (process == nullptr || process->imagePath.empty() ||
        (hModule != NULL && hModule != process->instance)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (nSize == 0)
        return 0;
    const std::string& path = process->imagePath;
    if (path.size() >= nSize) {
        std::memcpy(lpFilename, path.data(), nSize);
        return nSize;
    }
    std::memcpy(lpFilename, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}
