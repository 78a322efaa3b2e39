// GetVersionExA from the machine's operating system. 9x knows only the
// 148-byte OSVERSIONINFOA; 2000 and XP also fill the 156-byte
// OSVERSIONINFOEXA. Any other size fails with ERROR_INSUFFICIENT_BUFFER.
#include "platform/win32/system_info.h"

#include <cstring>

using platform::win32::OsVersion;
using platform::win32::System;

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
    if (lpVersionInformation == NULL) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    const OsVersion version = System::Current().Version();
    DWORD size = lpVersionInformation->dwOSVersionInfoSize;
    bool extended = size == sizeof(OSVERSIONINFOEXA) && version.major >= 5 &&
                    version.platformId == VER_PLATFORM_WIN32_NT;
    if (size != sizeof(OSVERSIONINFOA) && !extended) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    lpVersionInformation->dwMajorVersion = version.major;
    lpVersionInformation->dwMinorVersion = version.minor;
    lpVersionInformation->dwBuildNumber =
        version.platformId == VER_PLATFORM_WIN32_WINDOWS
            ? (version.major << 24 | version.minor << 16 | (version.build & 0xFFFF))
            : version.build;
    lpVersionInformation->dwPlatformId = version.platformId;
    char* csd = lpVersionInformation->szCSDVersion;
    std::memset(csd, 0, sizeof lpVersionInformation->szCSDVersion);
    std::strncpy(csd, version.csdVersion.c_str(), sizeof lpVersionInformation->szCSDVersion - 1);
    if (extended) {
        auto* ex = reinterpret_cast<LPOSVERSIONINFOEXA>(lpVersionInformation);
        ex->wServicePackMajor = version.servicePackMajor;
        ex->wServicePackMinor = version.servicePackMinor;
        ex->wSuiteMask = 0;
        ex->wProductType = VER_NT_WORKSTATION;
        ex->wReserved = 0;
    }
    return TRUE;
}
