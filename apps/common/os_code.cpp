#include "apps/common/os_code.h"

#include "apps/common/settings_store.h"

#include <string.h>

INT GetOsCode(void) {
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) {
        return OS_CODE_UNKNOWN;
    }
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32_NT:
        if (version.dwMajorVersion != 5) {
            return OS_CODE_UNKNOWN;
        }
        return version.dwMinorVersion == 0 ? OS_CODE_2000 : OS_CODE_XP;
    case VER_PLATFORM_WIN32_WINDOWS:
        return OS_CODE_9X;
    case VER_PLATFORM_WIN32s:
        return OS_CODE_WIN32S;
    default:
        return OS_CODE_UNKNOWN;
    }
}

BOOL Win2000RunsXpDrivers(INT osCode) {
    if (osCode != OS_CODE_2000) {
        return FALSE;
    }
    char flag[OS_FLAG_BUFFER];
    memset(flag, 0, sizeof flag);
    ReadOsFlag(flag);
    return lstrcmpiA(flag, "xp") == 0;
}
